// The fixed-column input record: its layout, its fields, and the reader.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "format_text.hpp"

namespace v2list {

// The input layout, column by column; the field table below says which field
// each assigning conversion fills, in the same order.
inline constexpr char scan_format[] =
    "%14c%2d%2d%*c%c%c%c%c%c%c%c-%c%*2c%c%*c%15c%*c%c%*2c%1d%1d%1d%*c%2c%*c%16c";

inline constexpr auto scan_steps = scan_steps_of<scan_format>;

// The fields in the order the scan format assigns them.
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

// What a field holds; the tail is what a complete record needs and no line shows.
enum field_shape : unsigned char { shape_text, shape_number, shape_character, shape_tail };

struct field_info {
    std::string_view name;
    field_shape shape;
};

// The one description of the fields, in field_id order.
inline constexpr field_info fields[] = {
    {"text14", shape_text},    {"number1", shape_number},        {"number2", shape_number},
    {"code", shape_character}, {"code", shape_character},        {"code", shape_character},
    {"code", shape_character}, {"code", shape_character},        {"code", shape_character},
    {"code", shape_character}, {"code_suffix", shape_character}, {"mark1", shape_character},
    {"text15", shape_text},    {"mark2", shape_character},       {"digit1", shape_number},
    {"digit2", shape_number},  {"digit3", shape_number},         {"text2", shape_text},
    {"text16", shape_tail},
};
static_assert(std::size(fields) == field_count);

// The field each scan step assigns (for a step that assigns none, the next).
inline constexpr auto scan_step_fields = argument_indexes(scan_steps);

enum class scan_result { assigned, skipped, mismatch, end_of_text };

// Reads one "%Nd" at p: white space (not counted in the width), then an
// optional sign (counted) and digits; start is left where the white space
// ends. Inlined, so that each caller's width is a constant.
[[gnu::always_inline]] inline scan_result scan_number(const char*& p, const char* end,
                                                      unsigned width, const char*& start,
                                                      std::int32_t& value)
{
    bool negative = false;
    // Most numbers start with a digit.
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

// Where each scan step's own columns start, counted from 0: where it
// starts when every step before it takes its whole width.
inline constexpr auto scan_step_columns = [] {
    std::array<std::size_t, scan_steps.size()> columns{};
    std::size_t column = 0;
    for (std::size_t i = 0; i < scan_steps.size(); ++i) {
        columns[i] = column;
        column += scan_steps[i].width;
    }
    return columns;
}();

// Where a scan step's own columns end, counted from 0.
constexpr std::size_t step_end(std::size_t step)
{
    return scan_step_columns[step] + scan_steps[step].width;
}

// The columns of a whole record, every step at its whole width.
inline constexpr std::size_t record_length = step_end(scan_steps.size() - 1);

// The characters a record with every field at its own columns needs: a
// last "%Nc" counts once it took one.
inline constexpr std::size_t shortest_record =
    scan_step_columns.back() +
    (scan_steps.back().kind == scan_step::characters ? 1 : scan_steps.back().width);

// Where each field's own columns are, and the scan step that assigns it.
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

// The last number step before each step, or no_number.
inline constexpr std::size_t no_number = ~std::size_t(0);
inline constexpr auto number_before = [] {
    std::array<std::size_t, scan_steps.size()> before{};
    std::size_t last = no_number;
    for (std::size_t i = 0; i < scan_steps.size(); ++i) {
        before[i] = last;
        if (scan_steps[i].kind == scan_step::number)
            last = i;
    }
    return before;
}();

// One piece as read by the layout: each number's value and where it took
// its characters, and where and why the reading stopped. Every other step
// takes its characters as they come, so where a number ends says where the
// steps after it, up to the next number, took theirs.
struct input_record {
    const char* text;
    std::size_t length;    // of the text
    int count;             // fields assigned: field_count for a complete record, -1 for no text
    std::size_t steps_run; // the steps that ran, the one that stopped the reading included
    bool ran_out;          // the last step run met the end of the text
    // For number steps, where the digits (after white space) start and end.
    const char* starts[scan_steps.size()];
    const char* ends[scan_steps.size()];
    std::int32_t values[field_count]; // the numbers, by field

    // Where a step run took its characters, from and to counted from 0 and
    // never past the text.
    const char* start(std::size_t step) const
    {
        if (scan_steps[step].kind == scan_step::number)
            return starts[step];
        std::size_t n = number_before[step];
        return n == no_number ? text + scan_step_columns[step]
                              : ends[n] + (scan_step_columns[step] - step_end(n));
    }
    std::size_t from(std::size_t step) const
    {
        return std::min(std::size_t(start(step) - text), length);
    }
    std::size_t to(std::size_t step) const
    {
        std::size_t end = scan_steps[step].kind == scan_step::number
                              ? std::size_t(ends[step] - text)
                              : std::size_t(start(step) - text) + scan_steps[step].width;
        return std::min(end, length);
    }
};

namespace reading_detail {

// Step S: a constant, so each step compiles to its own few lines.
template <std::size_t S>
[[gnu::always_inline]] inline scan_result read_step(const char*& p, const char* end,
                                                    input_record& r)
{
    constexpr scan_step step = scan_steps[S];
    if constexpr (step.kind == scan_step::number) {
        std::int32_t value;
        scan_result result = scan_number(p, end, step.width, r.starts[S], value);
        r.ends[S] = p;
        if (result != scan_result::assigned)
            return result;
        if constexpr (!step.assigns)
            return scan_result::skipped;
        r.values[scan_step_fields[S]] = value;
        return result;
    } else if ((step.kind == scan_step::literal || S + 1 == scan_steps.size()) && p >= end) {
        return scan_result::end_of_text;
    } else if constexpr (step.kind == scan_step::literal) {
        return *p++ == step.symbol ? scan_result::skipped : scan_result::mismatch;
    } else {
        // "%Nc" takes up to N characters as they are, and counts once it
        // took one; p may pass the end here.
        p += step.width;
        return step.assigns ? scan_result::assigned : scan_result::skipped;
    }
}

// Character steps take their width without looking for the end of the
// text, which is cheaper: a later number or literal, or the last step, finds
// itself past it. Where the reading ran out, this says where.
void mend_end(input_record& record);

template <bool Exact, std::size_t... S>
[[gnu::always_inline]] inline void read_steps(const char* text, std::size_t text_length,
                                              input_record& r, std::index_sequence<S...>)
{
    const char* p = text;
    const char* end = text + text_length;
    r.text = text;
    r.length = text_length;
    // Locals, not the reading's members, so that they stay in registers.
    int count = 0;
    std::size_t steps_run = 0;
    scan_result last = scan_result::skipped;
    auto run = [&](std::size_t s, scan_result result) {
        if constexpr (Exact)
            count += result == scan_result::assigned;
        steps_run = s + 1;
        last = result;
        return result == scan_result::assigned || result == scan_result::skipped;
    };
    bool complete = (run(S, read_step<S>(p, end, r)) && ...);
    // Running out of text before the first field is "no record at all".
    r.count = complete                                         ? int(field_count)
              : count == 0 && last == scan_result::end_of_text ? -1
                                                               : count;
    r.steps_run = steps_run;
    r.ran_out = last == scan_result::end_of_text;
    if constexpr (Exact)
        if (!complete)
            mend_end(r);
}

} // namespace reading_detail

// Reads the text of a piece (its characters before any zero byte) step by
// step until a step fails. Not Exact, the reading of a piece that is not a
// complete record says only that, which is all v2list needs.
template <bool Exact = true>
[[gnu::always_inline]] inline void read_record(const char* text, std::size_t text_length,
                                               input_record& record)
{
    reading_detail::read_steps<Exact>(text, text_length, record,
                                      std::make_index_sequence<scan_steps.size()>());
}

// The text of a piece: its characters before the first zero byte, or all.
std::size_t text_length_of(const char* piece, std::size_t length);

// The length of a text without its trailing spaces (0x20 only).
inline std::size_t trim_trailing_spaces(const char* text, std::size_t length)
{
    while (length > 0 && text[length - 1] == ' ')
        --length;
    return length;
}

} // namespace v2list
