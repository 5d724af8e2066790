// The fixed-column input record: its layout, its fields, and the reader that
// extracts one record from one piece of input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "format_text.hpp"

namespace v2list {

// The input layout, column by column: every field's width, the ignored
// columns and the literal "-", in the order the fields are assigned. Which
// member of input_record each assigning conversion fills is the field table
// below, in the same order.
inline constexpr char scan_format[] =
    "%14c%2d%2d%*c%c%c%c%c%c%c%c-%c%*2c%c%*c%15c%*c%c%*2c%1d%1d%1d%*c%2c%*c%16c";

inline constexpr format_reading scan_reading = read_scan_format(scan_format);
static_assert(format_is_sound<scan_reading.fault, scan_reading.fault_step>());
inline constexpr auto scan_steps = parse_scan_format<scan_reading.count>(scan_format);

struct input_record {
    char text14[14 + 1];
    std::int32_t number1;
    std::int32_t number2;
    char code[7];
    char code_suffix;
    char mark1;
    char text15[15 + 1];
    char mark2;
    std::int32_t digit1;
    std::int32_t digit2;
    std::int32_t digit3;
    char text2[2 + 1];
    char text16[16]; // required for a complete record, never written
};

// The fields in the order the scan format assigns them, grouped as the
// record groups them.
// clang-format off
enum field_id : unsigned char {
    field_text14, field_number1, field_number2,
    field_code1, field_code2, field_code3, field_code4,
    field_code5, field_code6, field_code7,
    field_code_suffix, field_mark1, field_text15, field_mark2,
    field_digit1, field_digit2, field_digit3, field_text2, field_text16,
    field_count
};
// clang-format on

// What a field holds: a terminated text, a number, a single character, or
// the unterminated tail that no listing shows.
enum field_shape : unsigned char { shape_text, shape_number, shape_character, shape_tail };

struct field_info {
    const char* name;
    field_shape shape;
    std::size_t capacity; // characters held, not counting a text's terminator; 0 for a number
    std::size_t offset;   // where the field lives in input_record
};

// The one description of the fields, in field_id order; the reader, the
// writer, the shortcut and the tests all go by it.
inline constexpr field_info fields[] = {
    {"text14", shape_text, sizeof input_record::text14 - 1, offsetof(input_record, text14)},
    {"number1", shape_number, 0, offsetof(input_record, number1)},
    {"number2", shape_number, 0, offsetof(input_record, number2)},
    {"code", shape_character, 1, offsetof(input_record, code) + 0},
    {"code", shape_character, 1, offsetof(input_record, code) + 1},
    {"code", shape_character, 1, offsetof(input_record, code) + 2},
    {"code", shape_character, 1, offsetof(input_record, code) + 3},
    {"code", shape_character, 1, offsetof(input_record, code) + 4},
    {"code", shape_character, 1, offsetof(input_record, code) + 5},
    {"code", shape_character, 1, offsetof(input_record, code) + 6},
    {"code_suffix", shape_character, 1, offsetof(input_record, code_suffix)},
    {"mark1", shape_character, 1, offsetof(input_record, mark1)},
    {"text15", shape_text, sizeof input_record::text15 - 1, offsetof(input_record, text15)},
    {"mark2", shape_character, 1, offsetof(input_record, mark2)},
    {"digit1", shape_number, 0, offsetof(input_record, digit1)},
    {"digit2", shape_number, 0, offsetof(input_record, digit2)},
    {"digit3", shape_number, 0, offsetof(input_record, digit3)},
    {"text2", shape_text, sizeof input_record::text2 - 1, offsetof(input_record, text2)},
    {"text16", shape_tail, sizeof input_record::text16, offsetof(input_record, text16)},
};
static_assert(std::size(fields) == field_count);

// A field's characters (for a text, the first of them).
inline char* field_characters(input_record& record, field_id field)
{
    return reinterpret_cast<char*>(&record) + fields[field].offset;
}

inline const char* field_characters(const input_record& record, field_id field)
{
    return reinterpret_cast<const char*>(&record) + fields[field].offset;
}

inline std::int32_t field_value(const input_record& record, field_id field)
{
    std::int32_t value;
    std::memcpy(&value, field_characters(record, field), sizeof value);
    return value;
}

inline void set_field_value(input_record& record, field_id field, std::int32_t value)
{
    std::memcpy(field_characters(record, field), &value, sizeof value);
}

// The field each scan step assigns (for a step that assigns none, the next).
inline constexpr auto scan_step_fields = argument_indexes(scan_steps);

enum class scan_result { assigned, skipped, mismatch, end_of_text };

// Reads one "%Nd" of the given width at p: white space first (not counted
// in the width), then an optional sign and digits, the sign counting in the
// width. start is left where the white space ends. A p past the end meets
// the end at once. Inlined, so that each caller's width is a constant.
[[gnu::always_inline]] inline scan_result scan_number(const char*& p, const char* end,
                                                      unsigned width, const char*& start,
                                                      std::int32_t& value)
{
    bool negative = false;
    // Most numbers start with a digit; the rest may have white space and a
    // sign first.
    if (p >= end || !is_digit(*p)) {
        while (p < end && is_white_space(static_cast<unsigned char>(*p)))
            ++p;
        if (p >= end) {
            start = p;
            return scan_result::end_of_text;
        }
        if (*p == '-' || *p == '+') {
            negative = *p == '-';
            --width;
            start = p++;
        } else {
            start = p;
        }
    } else {
        start = p;
    }
    const char* digits = p;
    value = 0;
    for (; width > 0 && p < end && is_digit(*p); --width)
        value = value * 10 + (*p++ - '0');
    if (p == digits)
        return scan_result::mismatch;
    if (negative)
        value = -value;
    return scan_result::assigned;
}

// Where each scan step starts when every step before it takes its whole
// width, counted from 0: the columns a record is written in.
inline constexpr auto scan_step_columns = [] {
    std::array<std::size_t, scan_steps.size()> columns{};
    std::size_t column = 0;
    for (std::size_t i = 0; i < scan_steps.size(); ++i) {
        columns[i] = column;
        column += scan_steps[i].width;
    }
    return columns;
}();

// Where a scan step's own columns end.
constexpr std::size_t step_end(std::size_t step)
{
    return scan_step_columns[step] + scan_steps[step].width;
}

// The columns of a whole record, every step at its whole width.
inline constexpr std::size_t record_length = step_end(scan_steps.size() - 1);

// The characters a record with every field at its own columns needs: all
// of them but for a last "%Nc", which counts once it took one character.
inline constexpr std::size_t shortest_record =
    scan_step_columns.back() +
    (scan_steps.back().kind == scan_step::characters ? 1 : scan_steps.back().width);

// Where each field stands when every conversion takes exactly its width,
// and the scan step that assigns it.
struct field_place {
    std::size_t column, width, step;
};

inline constexpr auto field_places = [] {
    std::array<field_place, field_count> places{};
    for (std::size_t i = 0; i < scan_steps.size(); ++i)
        if (scan_steps[i].assigns)
            places[scan_step_fields[i]] = {scan_step_columns[i], scan_steps[i].width, i};
    return places;
}();

// Scans one piece of input (at most 80 characters, the last of which may be
// its newline; a zero byte ends it early) into record. A text field is
// terminated after the characters the scan took, and trimmed of its
// trailing spaces when the scan took all of its width. Returns the number
// of fields assigned: field_count for a complete record, fewer when the
// piece stops matching, or -1 when the piece is empty. Fields not reached
// keep their old values.
int read_record(const char* piece, std::size_t length, input_record& record);

// Where the scan of one piece took each step's characters, and where it
// stopped: what v2check reports, from the very steps read_record runs.
struct scan_trace {
    std::size_t steps_run; // the steps that ran, the one that stopped the scan included
    bool ran_out;          // the last step run met the end of the text
    struct {
        std::size_t from, to; // counted from 0; a number's from is after its white space
    } steps[scan_steps.size()];
};

// The text of a piece: its characters before the first zero byte, or all.
std::size_t text_length_of(const char* piece, std::size_t length);

// As read_record, for the text of a piece (its characters before any zero
// byte), and says where every step went.
int read_text(const char* text, std::size_t text_length, input_record& record, scan_trace& trace);

// The length of the length characters at text without their trailing
// spaces (only the byte 0x20), as the listing shows a text.
inline std::size_t trimmed_length(const char* text, std::size_t length)
{
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return length;
}

// Removes the trailing spaces of a text of length characters, terminated.
inline void trim_trailing_spaces(char* text, std::size_t length)
{
    text[trimmed_length(text, length)] = '\0';
}

} // namespace v2list
