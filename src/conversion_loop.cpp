#include "conversion_loop.hpp"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "column_copy.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"

namespace v2list {

namespace {

static_assert(std::max(max_copied_line, max_record_line) <= max_line);

// The record line of a piece of length characters, text_length of them
// before any zero byte, or 0 when it is not a complete record; note(way)
// hears which way it went. Copying columns is chosen at compile time where
// the layout allows it: the shortcut when the piece is plain, else the
// middle way, which refuses a piece just where the scan would fail.
template <typename Note>
inline std::size_t convert_text(const char* piece, std::size_t length, std::size_t text_length,
                                char* line, Note note)
{
    if constexpr (copies_columns) {
        if (text_length >= shortest_record) {
            if (std::size_t written = copy_plain_columns(piece, line)) {
                note(piece_way::copied);
                return written;
            }
        }
        std::size_t written = copy_shifted_columns(piece, text_length, line);
        note(written > 0 ? piece_way::copied_shifted : piece_way::dropped);
        return written;
    } else {
        input_record record;
        if (read_record(piece, length, record) != field_count) {
            note(piece_way::dropped);
            return 0;
        }
        note(piece_way::read_and_written);
        return write_record(record, line);
    }
}

} // namespace

std::size_t convert_piece(const char* piece, std::size_t length, char* line)
{
    piece_way way;
    return convert_piece(piece, length, line, way);
}

std::size_t convert_piece(const char* piece, std::size_t length, char* line, piece_way& way)
{
    return convert_text(piece, length, text_length_of(piece, length), line,
                        [&way](piece_way taken) { way = taken; });
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
        [&](const char* piece, std::size_t length, std::size_t text_length) {
            if (std::size_t(std::end(listing.buffer) - out) < max_line && !write_out())
                return false;
            out += convert_text(piece, length, text_length, out, [](piece_way) {});
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
