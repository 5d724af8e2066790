// What v2list does with one piece of input, and why, from one reading of it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "byte_blocks.hpp"
#include "input_record.hpp"
#include "plain_copy.hpp"

namespace v2list {

// The fates of a piece, the problems first. shifted:
// converted with a field from columns not its own; suspect: from its own, but
// a field the line shows holds a control character; split: of a line, that
// goes on past its first piece; compressed: of an input that is compressed
// data, and not read; incomplete: of an input not read to its end, or whose
// count of records differs from the one it states.
enum class piece_fate : unsigned char {
    dropped,
    shifted,
    suspect,
    split,
    compressed,
    incomplete,
    converted
};
inline constexpr std::size_t problem_fates = std::size_t(piece_fate::converted);

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
    multibyte_text,    // a text's UTF-8 characters of several bytes account for a shift
    gzip,              // the input begins as gzip data does
    bzip2,             // or bzip2
    xz,                // or xz
    zstd,              // or zstd
    line_split,        // the line is longer than a piece
    glued_records,     // so, and it holds whole records glued together by lost newlines
    cut_short,         // the compressed data ends before its end
    damaged,           // the compressed data fails its check, or is no such data
    count_differs,     // the records read are not as many as a line states
    count_missing,     // no line states the count of records
    count_twice,       // two lines state it
};

// Where a message on a cause points, counted from 1 in the line.
enum class cause_place : unsigned char {
    judged,       // where the judgement found it
    step_columns, // the first of the step's own columns
    step_start,   // where the step's characters start
    step_end,     // where the step stopped
    text_end,     // where the text ends (a zero byte)
    line_end,     // just past the line's last character
};

// Where character at (from 0) of a piece that starts at line_column (from
// 0) stands in its line, counted from 1 as every column v2check writes is.
constexpr std::uint64_t column_in_line(std::uint64_t line_column, std::size_t at)
{
    return line_column + at + 1;
}

// What v2list does with a piece and why, in a few words: what the counts
// and the tally need. The diagnosis (diagnosis.hpp) has the rest.
struct piece_verdict {
    piece_fate fate;
    piece_cause cause;
    std::size_t step;  // the step the cause is about: the number that shifted, the step that failed
    std::size_t field; // the field shown shifted or with a control character
    std::size_t at;    // where a message on it points: a character of the piece, from 0
    // Where the reading left the layout for good, and how many columns late
    // (negative: early) it read after it; shift 0 where it never left.
    std::size_t left;
    std::ptrdiff_t shift;
    // Why the reading of a dropped piece stopped: zero_byte, line_too_short
    // (its text ran out), literal_missing, takes_sign or not_a_digit.
    piece_cause stopped;
    std::size_t characters; // multibyte_text: the text's UTF-8 characters of several bytes
    bool plain;             // settled as a plain piece, without a reading
};

namespace verdict_detail {

// A control character is a byte below 0x20, or 0x7f.
inline constexpr bool is_control(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

// For each column, the field whose characters the line shows there (a
// number shows its value, not its characters), or field_count; and the
// blocks of 16 columns that hold any.
inline constexpr auto shown_field_at = [] {
    std::array<std::size_t, record_length> at{};
    at.fill(field_count);
    for (std::size_t f = 0; f < field_count; ++f)
        for (std::size_t c = 0;
             shown_fields[f] && fields[f].shape != shape_number && c < field_places[f].width; ++c)
            at[field_places[f].column + c] = f;
    return at;
}();
inline constexpr std::size_t shown_blocks = [] {
    std::size_t last = 0;
    for (std::size_t c = 0; c < record_length; ++c)
        last = shown_field_at[c] < field_count ? c : last;
    return last / 16 + 1;
}();
inline constexpr auto shown_bytes = [] {
    std::array<unsigned char, 16 * shown_blocks> bytes{};
    for (std::size_t c = 0; c < record_length && c < bytes.size(); ++c)
        bytes[c] = shown_field_at[c] < field_count ? 0xff : 0;
    return bytes;
}();

// Whether a field the line shows as characters may hold a control
// character: the blocks tested together, or the text too short for them.
[[gnu::always_inline]] inline bool may_show_control(const char* piece, std::size_t text_length)
{
    if (text_length < 16 * shown_blocks)
        return true;
    byte_block found{};
    for (std::size_t b = 0; b < shown_blocks; ++b) {
        byte_block block = load_block(piece + 16 * b);
        found |= ((block < 0x20) | (block == 0x7f)) &
                 load_block(reinterpret_cast<const char*>(shown_bytes.data()) + 16 * b);
    }
    return block_bits(found) != 0;
}

// What judge_piece leaves out of line: a piece that is not plain, or whose
// shown fields may hold a control character.
void judge_further(const char* piece, std::size_t length, std::size_t text_length,
                   std::uint64_t line_column, input_record& reading, piece_verdict& verdict);

std::size_t write_read_line(const input_record& reading, char* line);

} // namespace verdict_detail

// Judges the piece of length characters, text_length of them before any zero
// byte, that starts at line_column (from 0) of its line, as v2list reads it
// into reading (left as it was for a plain piece).
// A plain piece whose shown fields hold no control character is settled
// inline, the common case, which makes v2check measurably faster
// (doc/performance.md).
[[gnu::always_inline]] inline void judge_piece(const char* piece, std::size_t length,
                                               std::size_t text_length, std::uint64_t line_column,
                                               input_record& reading, piece_verdict& verdict)
{
    // step, field and at are set with every cause but none.
    verdict.fate = piece_fate::converted;
    verdict.cause = piece_cause::none;
    verdict.plain = copies_plain && text_length >= shortest_record && plain_record(piece);
    if (!verdict.plain || verdict_detail::may_show_control(piece, text_length))
        verdict_detail::judge_further(piece, length, text_length, line_column, reading, verdict);
}

// The line v2list writes for a piece the verdict converts, read as reading;
// returns its length.
[[gnu::always_inline]] inline std::size_t verdict_line(const piece_verdict& verdict,
                                                       const input_record& reading,
                                                       const char* piece, char* line)
{
    if constexpr (copies_plain)
        if (verdict.plain)
            return copy_plain_columns(piece, line);
    return verdict_detail::write_read_line(reading, line);
}

// How many columns late (negative: early) the reading of step ended.
inline std::ptrdiff_t ended_late(const input_record& r, std::size_t step)
{
    return std::ptrdiff_t(r.to(step)) - std::ptrdiff_t(step_end(step));
}

// The step whose own columns hold column (from 0).
std::size_t step_at(std::size_t column);

} // namespace v2list
