// How records are converted by copying columns, worked out at compile time
// from the two format texts and the field table: which columns must hold
// digits and literals for a piece to be plain, which input columns each part
// of the line is copied from, and which numbers before a field may shift it. A layout for which
// copying would differ from reading and writing gets a plan that says why, and is converted by the
// general reader and writer instead.
#pragma once

#include <algorithm>
#include <cstddef>

#include "input_record.hpp"
#include "output_listing.hpp"

namespace v2list {

namespace column_detail {

struct span {
    std::size_t column; // counted from 0
    std::size_t width;
};

struct copy_op {
    std::size_t from, to, length;
    std::size_t justify_width;  // nonzero: trim, then justify right in this width
    std::size_t numbers_before; // numbers read before the field: which shift moves it
};

// Copies, each run of neighbours in one: neighbours in the input and in the
// line, with the same numbers before them.
struct copy_list {
    copy_op ops[print_steps.size()]{};
    std::size_t count = 0;

    constexpr void add(copy_op op)
    {
        if (count > 0 && op.justify_width == 0) {
            copy_op& last = ops[count - 1];
            if (last.justify_width == 0 && last.numbers_before == op.numbers_before &&
                last.from + last.length == op.from && last.to + last.length == op.to) {
                last.length += op.length;
                return;
            }
        }
        ops[count++] = op;
    }
};

// A number that the line shows, printed from its value at column to.
struct number_op {
    std::size_t field, to;
};

struct column_plan {
    const char* refusal = nullptr; // why copying cannot serve this layout; null when it can
    std::size_t number_count = 0, literal_count = 0;
    span numbers[scan_steps.size()]{};          // runs of columns read as numbers
    std::size_t packed_at[scan_steps.size()]{}; // where each run goes in a packed word
    std::size_t packed_width = 0;
    span literals[scan_steps.size()]{};
    char literal_chars[scan_steps.size()]{};
    std::size_t line_length = 0;
    char line_template[max_record_line]{}; // the line's literals, spaces where fields go
    copy_list plain_copies;                // every field, from its own columns
    // For pieces whose numbers shift the columns after them: the fields
    // other than numbers, each shifted as the numbers before it shifted it,
    // and the numbers printed from their values.
    copy_list shifted_copies;
    number_op number_prints[print_steps.size()]{};
    std::size_t number_print_count = 0;
    std::size_t shift_count = 1; // one before the first number, one after each
    std::size_t numbers_before[scan_steps.size()]{};
};

// The plan is made whole whatever the layout, so that the copying code
// compiles for any layout; refusal says whether it may run.
constexpr column_plan make_plan()
{
    column_plan plan;
    auto refuse = [&plan](const char* why) {
        if (plan.refusal == nullptr)
            plan.refusal = why;
    };
    for (std::size_t i = 0; i < scan_steps.size(); ++i) {
        const scan_step& step = scan_steps[i];
        std::size_t column = scan_step_columns[i];
        plan.numbers_before[i] = plan.shift_count - 1;
        if (step.kind == scan_step::number) {
            ++plan.shift_count;
            // Adjacent numbers are checked as one run of digits.
            span* last = plan.number_count > 0 ? &plan.numbers[plan.number_count - 1] : nullptr;
            if (last != nullptr && last->column + last->width == column) {
                last->width += step.width;
            } else {
                plan.packed_at[plan.number_count] = plan.packed_width;
                plan.numbers[plan.number_count++] = {column, step.width};
            }
            plan.packed_width += step.width;
        }
        if (step.kind == scan_step::literal) {
            plan.literal_chars[plan.literal_count] = step.symbol;
            plan.literals[plan.literal_count++] = {column, 1};
        }
    }
    // A plain piece needs only shortest_record characters, so the last step
    // may get fewer than its width: that is safe only where it assigns a
    // field that no copy reads past the text.
    const scan_step& last = scan_steps.back();
    if (!last.assigns)
        refuse("steps after the last field change only where the record ends");
    else if (last.width > 1 && shown_fields[scan_step_fields.back()])
        refuse("the line shows the last field, which may be cut short");

    std::size_t out = 0;
    for (std::size_t i = 0; i < print_steps.size(); ++i) {
        const print_step& step = print_steps[i];
        if (!step.takes_argument()) {
            plan.line_template[out++] = step.symbol;
            continue;
        }
        field_place in = field_places[print_fields[print_step_arguments[i]]];
        std::size_t width = std::max(step.width, static_cast<unsigned char>(1));
        // Plain digits print as they stand only at their own width, zero
        // padded, or as a lone digit.
        bool fits = step.kind != print_step::number ? in.width <= width
                    : in.width == 1                 ? step.width <= 1
                                    : step.zero && !step.left && step.width == in.width;
        if (!fits) {
            refuse("a field prints differently from its columns");
            width = std::max(width, in.width); // keeps the plan whole, never run
        }
        for (std::size_t k = 0; k < width; ++k)
            plan.line_template[out + k] = ' ';
        std::size_t before = plan.numbers_before[in.step];
        copy_op copy{in.column, step.left ? out : out + width - in.width, in.width, 0, before};
        if (step.kind == print_step::text && !step.left)
            copy = {in.column, out, in.width, width, before}; // trimming shows here
        copy_op in_place = copy;
        in_place.numbers_before = 0; // in a plain record nothing shifts
        plan.plain_copies.add(in_place);
        if (step.kind == print_step::number)
            plan.number_prints[plan.number_print_count++] = {print_fields[print_step_arguments[i]],
                                                             out};
        else
            plan.shifted_copies.add(copy);
        out += width;
    }
    plan.line_length = out;
    return plan;
}

inline constexpr column_plan plan = make_plan();

} // namespace column_detail

// Whether records of this layout are converted by copying columns (the
// shortcut and the middle way); where not, the general reader and writer
// convert them, and a test says so.
inline constexpr bool copies_columns = column_detail::plan.refusal == nullptr;

// The longest line the copying writes.
inline constexpr std::size_t max_copied_line = column_detail::plan.line_length;

} // namespace v2list
