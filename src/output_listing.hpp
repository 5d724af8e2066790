// The version-2 listing: its header, the record line layout and its writer.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

#include "decimal_text.hpp"
#include "format_text.hpp"
#include "input_record.hpp"
#include "output_buffer.hpp"

namespace v2list {

inline constexpr char listing_header[] = "#Version: 2";

// The record line layout, column by column; print_fields says which field
// each conversion writes.
inline constexpr char print_format[] = "%-18s %02d%02d %c%c%c%c%c%c%c-%c %c %-15s %d%d%d %2s %c\n";

inline constexpr auto print_steps = print_steps_of<print_format>;

// clang-format off
inline constexpr field_id print_fields[] = {
    field_text14, field_number1, field_number2,
    field_code1, field_code2, field_code3, field_code4,
    field_code5, field_code6, field_code7,
    field_code_suffix, field_mark1, field_text15,
    field_digit1, field_digit2, field_digit3, field_text2, field_mark2,
};
// clang-format on

// Whether the listing shows each field.
inline constexpr auto shown_fields = [] {
    std::array<bool, field_count> shown{};
    for (field_id field : print_fields)
        shown[field] = true;
    return shown;
}();

// For every print step, the print field it writes (a literal: the next one's).
inline constexpr auto print_step_arguments = argument_indexes(print_steps);

static_assert(std::size(print_fields) ==
                  print_step_arguments.back() + print_steps.back().takes_argument(),
              "the print format takes as many fields as print_fields names");

namespace listing_detail {

// Characters copied into the line: from a field's own columns (from 0) or
// from where the reading took step.
struct copy_op {
    std::size_t from, to, length;
    std::size_t justify_width; // nonzero: trim, then justify right in this width
    std::size_t step;          // the first step the characters belong to
    std::size_t shift_group;   // the numbers read before it: copies merge only within one
};

// Copies, each run of neighbours in the input and the line, that no number
// between them may shift apart, in one.
struct copy_list {
    copy_op ops[print_steps.size()]{};
    std::size_t count = 0;

    constexpr void add(copy_op op)
    {
        if (count > 0 && op.justify_width == 0) {
            copy_op& last = ops[count - 1];
            if (last.justify_width == 0 && last.shift_group == op.shift_group &&
                last.from + last.length == op.from && last.to + last.length == op.to) {
                last.length += op.length;
                return;
            }
        }
        ops[count++] = op;
    }
};

// A number the line shows, printed from its value into its place.
struct number_op {
    std::size_t field, to, print_step, width;
};

// Where everything goes in a record line, from the two format texts: every
// field has a place of a fixed width in a template of the literals.
struct line_plan {
    const char* refusal = nullptr; // why a plain piece cannot be copied as it stands
    std::size_t line_length = 0;
    char line_template[256]{}; // the line's literals, spaces where fields go
    copy_list plain_copies;    // every field, from its own columns, numbers as their digits
    copy_list read_copies;     // the fields other than numbers, from where they were read
    number_op numbers[print_steps.size()]{};
    std::size_t number_count = 0;
};

constexpr line_plan make_plan()
{
    using format_detail::bad_format;
    line_plan plan;
    auto refuse = [&plan](const char* why) {
        if (plan.refusal == nullptr)
            plan.refusal = why;
    };
    if (!scan_steps.back().assigns)
        refuse("steps after the last field change only where the record ends");
    std::size_t groups[scan_steps.size()]{}, numbers = 0;
    for (std::size_t s = 0; s < scan_steps.size(); ++s) {
        groups[s] = numbers;
        numbers += scan_steps[s].kind == scan_step::number;
    }
    std::size_t out = 0;
    for (std::size_t i = 0; i < print_steps.size(); ++i) {
        const print_step& step = print_steps[i];
        if (!step.takes_argument()) {
            plan.line_template[out++] = step.symbol;
            continue;
        }
        std::size_t field = print_fields[print_step_arguments[i]];
        field_place in = field_places[field];
        field_shape shape = fields[field].shape;
        if (shape != (step.kind == print_step::text     ? shape_text
                      : step.kind == print_step::number ? shape_number
                                                        : shape_character))
            bad_format("a print conversion writes a field of another shape");
        // As many characters whatever the record holds, or the columns move.
        std::size_t width = std::max<std::size_t>(step.width, 1);
        if (step.kind != print_step::character && in.width > 1 && step.width < in.width)
            bad_format("a text or number printed narrower than it is read moves the columns");
        if (in.step + 1 == scan_steps.size() && in.width > 1)
            bad_format("the line shows the last field, which a record may hold cut short");
        width = std::max(width, in.width);
        for (std::size_t k = 0; k < width; ++k)
            plan.line_template[out + k] = ' ';
        copy_op copy{in.column,      step.left ? out : out + width - in.width, in.width, 0, in.step,
                     groups[in.step]};
        if (step.kind == print_step::text && !step.left)
            copy = {in.column, out, in.width, width, in.step, groups[in.step]}; // trimming shows
        if (step.kind == print_step::number) {
            // Digits print as they stand zero padded at their width, or alone.
            if (in.width == 1 ? step.width > 1 : !step.zero || step.left || step.width != in.width)
                refuse("a number prints differently from its columns");
            plan.numbers[plan.number_count++] = {field, out, i, width};
        } else {
            plan.read_copies.add(copy);
        }
        copy.shift_group = 0; // in a plain piece nothing shifts
        plan.plain_copies.add(copy);
        out += width;
    }
    plan.line_length = out;
    return plan;
}

inline constexpr line_plan plan = make_plan();

template <copy_op Op>
[[gnu::always_inline]] inline void copy(const char* in, char* line)
{
    if constexpr (Op.justify_width == 0) {
        std::memcpy(line + Op.to, in, Op.length);
    } else if (in[Op.length - 1] != ' ') {
        // Nothing to trim: the text fills the end of its place as it is.
        std::memcpy(line + Op.to + Op.justify_width - Op.length, in, Op.length);
    } else {
        std::size_t n = trim_trailing_spaces(in, Op.length - 1);
        std::memcpy(line + Op.to + Op.justify_width - n, in, n);
    }
}

// A number written as print step Step has it into its place of Width
// characters, with the template's spaces as padding.
template <print_step Step, std::size_t Width>
[[gnu::always_inline]] inline void print_number(char* out, std::int32_t value)
{
    if constexpr (Step.zero && !Step.left) {
        // A negative value has fewer digits than its place: the sign takes
        // the first zero.
        put_decimal_digits<Width>(value, out + Width);
        if (value < 0)
            out[0] = '-';
    } else {
        char text[12];
        char* start = put_signed_decimal(value, std::end(text));
        auto length = std::size_t(std::end(text) - start);
        std::memcpy(Step.left ? out : out + Width - length, start, length);
    }
}

template <std::size_t... I>
[[gnu::always_inline]] inline void copy_read(const input_record& record, char* line,
                                             std::index_sequence<I...>)
{
    (copy<plan.read_copies.ops[I]>(record.start(plan.read_copies.ops[I].step), line), ...);
}

template <std::size_t... I>
[[gnu::always_inline]] inline void print_numbers(const input_record& record, char* line,
                                                 std::index_sequence<I...>)
{
    (print_number<print_steps[plan.numbers[I].print_step], plan.numbers[I].width>(
         line + plan.numbers[I].to, record.values[plan.numbers[I].field]),
     ...);
}

} // namespace listing_detail

// The longest record line.
inline constexpr std::size_t max_record_line = listing_detail::plan.line_length;

// Room for any record line the writers write, for every program.
inline constexpr std::size_t max_line = 256;
static_assert(max_record_line <= max_line);

// Writes the line of a complete record as read; returns its length.
[[gnu::always_inline]] inline std::size_t write_record(const input_record& record, char* line)
{
    using namespace listing_detail;
    std::memcpy(line, plan.line_template, plan.line_length);
    copy_read(record, line, std::make_index_sequence<plan.read_copies.count>());
    print_numbers(record, line, std::make_index_sequence<plan.number_count>());
    return plan.line_length;
}

// Puts the header line into the buffer, which must be empty.
inline void write_header(output_buffer& output)
{
    constexpr std::size_t length = sizeof listing_header - 1;
    std::memcpy(output.buffer, listing_header, length);
    output.buffer[length] = '\n';
    output.used = length + 1;
}

} // namespace v2list
