// The conversion loop: every complete record read converted to the listing.
#pragma once

#include <cstddef>

#include "input_record.hpp"
#include "output_buffer.hpp"
#include "output_listing.hpp"
#include "piece_loop.hpp"
#include "plain_copy.hpp"

namespace v2list {

// Writes the record line of a piece whose text (before any zero byte) has
// text_length characters, returning its length, or 0 when it is not a
// complete record: a plain piece copied, any other read. v2list converts
// every piece so.
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

// Everything one conversion works in, about 200 KiB; the caller owns it.
struct conversion {
    piece_input input;
    output_buffer listing;
};

// error is 0, or the errno of a failed read (failed_read) or write.
struct conversion_result {
    int error;
    bool failed_read;
};

// Writes the header, then the listing of every piece read from in_fd, to
// out_fd. On a read error the lines converted before it are still written.
conversion_result convert(conversion& work, int in_fd, int out_fd);

} // namespace v2list
