// What v2list does with one piece of input, and why: converts it, converts it
// with a field read from columns that are not its own, or drops it.
#pragma once

#include <cstddef>

namespace v2list {

enum class piece_fate { converted, shifted, dropped };

struct piece_verdict {
    piece_fate fate;
    std::size_t column; // for shifted and dropped: where, counted from 1 in the line
    char reason[1024];  // for shifted and dropped: why, in plain words
};

// Judges the piece of length characters, text_length of them before any
// zero byte, as v2list reads it; line_column is where the piece starts in
// its line, counted from 0.
void check_piece(const char* piece, std::size_t length, std::size_t text_length,
                 std::size_t line_column, piece_verdict& verdict);

// Writes the length characters at text to out (room for size, terminated),
// with a backslash escape for every byte that is not printable ASCII, for a
// backslash and for a double quote; returns the characters written.
std::size_t escape_text(const char* text, std::size_t length, char* out, std::size_t size);

} // namespace v2list
