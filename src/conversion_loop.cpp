#include "conversion_loop.hpp"

#include <iterator>

#include "input_record.hpp"
#include "output_listing.hpp"
#include "plain_copy.hpp"

namespace v2list {

namespace {

static_assert(max_record_line <= max_line);

// The record line of a piece whose text has text_length characters, or 0
// when it is not a complete record: a plain piece copied, any other read.
[[gnu::always_inline]] inline std::size_t convert_text(const char* piece, std::size_t text_length,
                                                       char* line)
{
    if constexpr (copies_plain)
        if (text_length >= shortest_record && plain_record(piece))
            return copy_plain_columns(piece, line);
    input_record record;
    read_record<false>(piece, text_length, record);
    return record.count == field_count ? write_record(record, line) : 0;
}

} // namespace

std::size_t convert_piece(const char* piece, std::size_t length, char* line)
{
    return convert_text(piece, text_length_of(piece, length), line);
}

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
