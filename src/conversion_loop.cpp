#include "conversion_loop.hpp"

#include <iterator>

#include "output_listing.hpp"

namespace v2list {

conversion_result convert(conversion& work, int in_fd, int out_fd)
{
    output_buffer& listing = work.listing;
    open_output(listing, out_fd);
    write_header(listing);
    // The end of the listing is kept here, not in listing.used, as the
    // compiler cannot know the lines written leave that alone.
    char* out = listing.buffer + listing.used;
    auto write_out = [&] {
        listing.used = std::size_t(out - listing.buffer);
        out = listing.buffer;
        return flush_output(listing);
    };
    pieces_end end = for_each_piece(
        work.input, in_fd,
        // Inlined, whatever the compiler thinks of its size (doc/performance.md).
        [&](const char* piece, std::size_t, std::size_t text_length)
            __attribute__((always_inline)) {
                if (std::size_t(std::end(listing.buffer) - out) < max_line && !write_out())
                    return false;
                out += convert_text(piece, text_length, out);
                return true;
            },
        // Nothing converted waits for input that has not come yet.
        write_out);
    write_out();
    if (end.read_error != 0 && listing.error == 0)
        return {end.read_error, true};
    return {listing.error, false};
}

} // namespace v2list
