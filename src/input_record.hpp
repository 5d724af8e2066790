// The fixed-column input record: its layout, its fields, and the reader that
// extracts one record from one piece of input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format_text.hpp"

namespace v2list {

// The input layout, column by column; the reader follows it step by step.
inline constexpr char scan_format[] =
    "%14c%2d%2d%*c%c%c%c%c%c%c%c-%c%*2c%c%*c%15c%*c%c%*2c%1d%1d%1d%*c%2c%*c%16c";

inline constexpr auto scan_steps =
    parse_scan_format<count_scan_steps(scan_format)>(scan_format);

// The fields in the order the scan format assigns them.
enum field_id : unsigned char {
    field_text14, field_number1, field_number2,
    field_code1, field_code2, field_code3, field_code4,
    field_code5, field_code6, field_code7,
    field_code_suffix, field_mark1, field_text15, field_mark2,
    field_digit1, field_digit2, field_digit3, field_text2, field_text16,
    field_count
};

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

// What a field holds: a terminated text, a number, a single character, or
// the unterminated tail that no listing shows.
enum field_shape : unsigned char { shape_text, shape_number, shape_character, shape_tail };

constexpr field_shape shape_of(field_id field)
{
    switch (field) {
    case field_text14: case field_text15: case field_text2: return shape_text;
    case field_number1: case field_number2:
    case field_digit1: case field_digit2: case field_digit3: return shape_number;
    case field_text16: return shape_tail;
    default: return shape_character;
    }
}

// How many characters a non-number field holds, not counting a terminator.
constexpr std::size_t character_capacity(field_id field)
{
    switch (field) {
    case field_text14: return sizeof input_record::text14 - 1;
    case field_text15: return sizeof input_record::text15 - 1;
    case field_text2: return sizeof input_record::text2 - 1;
    case field_text16: return sizeof input_record::text16;
    default: return 1;
    }
}

// Where each field lives: its characters (the first of a text), or nullptr
// for a number; its number, or nullptr for anything else.
inline char* field_characters(input_record& record, field_id field)
{
    switch (field) {
    case field_text14: return record.text14;
    case field_code1: case field_code2: case field_code3: case field_code4:
    case field_code5: case field_code6: case field_code7:
        return &record.code[field - field_code1];
    case field_code_suffix: return &record.code_suffix;
    case field_mark1: return &record.mark1;
    case field_text15: return record.text15;
    case field_mark2: return &record.mark2;
    case field_text2: return record.text2;
    case field_text16: return record.text16;
    default: return nullptr;
    }
}

inline std::int32_t* field_number(input_record& record, field_id field)
{
    switch (field) {
    case field_number1: return &record.number1;
    case field_number2: return &record.number2;
    case field_digit1: return &record.digit1;
    case field_digit2: return &record.digit2;
    case field_digit3: return &record.digit3;
    default: return nullptr;
    }
}

inline const char* field_characters(const input_record& record, field_id field)
{
    return field_characters(const_cast<input_record&>(record), field);
}

inline std::int32_t field_value(const input_record& record, field_id field)
{
    return *field_number(const_cast<input_record&>(record), field);
}

// Scans one piece of input (at most 80 characters, the last of which may be
// its newline; a zero byte ends it early) into record, then terminates and
// trims those of text14, text15 and text2 that it reached. Returns the
// number of fields assigned: field_count for a complete record, fewer when
// the piece stops matching, or -1 when the piece is empty. Fields not
// reached keep their old values.
int read_record(const char* piece, std::size_t length, input_record& record);

// Removes the trailing spaces (only the byte 0x20) of a terminated text.
void trim_trailing_spaces(char* text);

} // namespace v2list
