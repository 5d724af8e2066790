// What v2list does with one piece of input, and why: converts it, converts it
// with a field read from columns that are not its own, or drops it; and the
// cause: where the reading left the layout for good, or, where nothing
// shifted, where it failed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace v2list {

// suspect: converted from its own columns, but the line shows a control
// character in a field.
enum class piece_fate { converted, shifted, dropped, suspect };

enum class piece_cause : unsigned char {
    none,              // converted from its own columns
    columns_blank,     // a number's own columns are blank, and it read on past them
    skips_white_space, // a number skipped white space and read on past its columns
    reads_neighbour,   // so, and its own value took a neighbour's column
    stops_short,       // a number ended before its width, at a character that is no digit
    takes_sign,        // a number took a sign and found no digit after it
    not_a_digit,       // no digit where a number is read
    literal_missing,   // the literal is not in its column
    zero_byte,         // a zero byte ends the text before the last field
    line_too_short,    // the line ends before the last field
    empty_line,        // a line of its newline alone
    control_character, // a field the line shows holds a byte below 0x20, or 0x7f
};
inline constexpr std::size_t cause_count = std::size_t(piece_cause::control_character) + 1;

struct piece_verdict {
    piece_fate fate;
    piece_cause cause;
    std::size_t
        step; // the scan step the cause is about: the number that shifted, the step that failed
    std::size_t field; // for shifted: the first field shown with a value not from its own columns
    std::uint64_t column; // for a message: where, counted from 1 in the line
    char reason[1024];    // for a message: why, the cause first, in plain words
};

// Judges the piece of length characters, text_length of them before any
// zero byte, as v2list reads it; line_column is where the piece starts in
// its line, counted from 0. A record whose every step is at its own
// columns is settled from them alone, any other piece by reading it in
// full, once. With explain, a piece
// dropped or shifted also gets the column and the reason of its message.
void judge_piece(const char* piece, std::size_t length, std::size_t text_length,
                 std::uint64_t line_column, bool explain, piece_verdict& verdict);

// "converted", "shifted" or "dropped": a fate as messages and the tally
// name it.
const char* fate_name(piece_fate fate);

// The stable code of a cause, such as "line_too_short", as the JSON report
// has it; "none" for a converted piece.
const char* cause_code(piece_cause cause);

// Whether a cause is about one step of the layout (a number, a field, the
// literal), which the verdict's step then names; else about the line.
bool cause_is_about_step(piece_cause cause);

// The field a verdict's cause is about (the number that shifted, the
// field that failed or shows a control character), or null where it is
// about no field.
const char* cause_field(const piece_verdict& verdict);

// The few fixed words that name a verdict's cause in the tally, such as
// "number1 skips white space" or "line too short"; returns their length.
std::size_t cause_words(const piece_verdict& verdict, char* out, std::size_t size);

// Writes the length characters at text to out (room for size, terminated),
// with a backslash escape for every byte that is not printable ASCII, for a
// backslash and for a double quote; returns the characters written.
std::size_t escape_text(const char* text, std::size_t length, char* out, std::size_t size);

} // namespace v2list
