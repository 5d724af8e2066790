// The conversion loop: reads input in large blocks, cuts it into the pieces
// that a line reader with room for 80 characters would give, and converts
// every complete record to the listing.
#pragma once

#include <cstddef>

#include "output_buffer.hpp"
#include "piece_loop.hpp"

namespace v2list {

// Room for any record line convert_piece writes.
inline constexpr std::size_t max_line = 256;

// Writes the record line of one piece to line, which has room for max_line
// characters, and returns its length; returns 0 when the piece is not a
// complete record. v2list converts every piece so.
std::size_t convert_piece(const char* piece, std::size_t length, char* line);

// Everything one conversion works in: the input read so far and the listing
// not yet written. About 200 KiB; the caller owns it, so that conversions
// can run side by side without allocating.
struct conversion {
    piece_input input;
    output_buffer listing;
};

// How a conversion ended. error is 0 on success, else the errno of the
// failure, which failed_read tells apart: reading input or writing output.
struct conversion_result {
    int error;
    bool failed_read;
};

// Writes the header, then converts every piece read from in_fd, writing the
// listing to out_fd. On a read error, the lines converted before it are still
// written out; an unfinished piece at that point is dropped, as nobody knows
// how it would have ended.
conversion_result convert(conversion& work, int in_fd, int out_fd);

} // namespace v2list
