// The conversion loop: every complete record read converted to the listing.
#pragma once

#include <cstddef>

#include "output_buffer.hpp"
#include "piece_loop.hpp"

namespace v2list {

// Room for any record line convert_piece writes.
inline constexpr std::size_t max_line = 256;

// Writes the record line of one piece, returning its length, or 0 when the
// piece is not a complete record. v2list converts every piece so.
std::size_t convert_piece(const char* piece, std::size_t length, char* line);

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
