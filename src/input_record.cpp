#include "input_record.hpp"

#include <algorithm>
#include <utility>

namespace v2list {

namespace {

// The scan format must assign every field once, in field order, each with a
// conversion of its own shape, a text exactly as wide as the field holds.
constexpr bool format_fits_record()
{
    std::size_t field = 0;
    for (const scan_step& step : scan_steps) {
        if (!step.assigns)
            continue;
        if (field >= field_count)
            return false;
        const field_info& info = fields[field++];
        bool fits = info.shape == shape_number
                        ? step.kind == scan_step::number
                        : step.kind == scan_step::characters && step.width == info.capacity;
        if (!fits)
            return false;
    }
    return field == field_count;
}
static_assert(format_fits_record(), "the scan format does not match the field table");

// Every field of the table lies within input_record, apart from the others.
constexpr bool fields_apart()
{
    auto size = [](const field_info& f) {
        return f.shape == shape_number ? sizeof(std::int32_t)
                                       : f.capacity + (f.shape == shape_text);
    };
    for (const field_info& a : fields) {
        if (a.offset + size(a) > sizeof(input_record))
            return false;
        for (const field_info& b : fields)
            if (&a != &b && a.offset < b.offset + size(b) && b.offset < a.offset + size(a))
                return false;
    }
    return true;
}
static_assert(fields_apart(), "two fields of the table overlap");

// Step Step of the scan format, which assigns field Field if it assigns at
// all. Both are constants, so each step compiles to its own few lines. start
// is where the step's characters begin: for a number, after white space.
template <scan_step Step, field_id Field>
[[gnu::always_inline]] inline scan_result scan_one(const char*& p, const char* end,
                                                   const char*& start, input_record& record)
{
    start = p;
    if constexpr (Step.kind == scan_step::number) {
        std::int32_t value;
        scan_result result = scan_number(p, end, Step.width, start, value);
        if constexpr (Step.assigns) {
            if (result == scan_result::assigned)
                set_field_value(record, Field, value);
            return result;
        } else {
            return result == scan_result::assigned ? scan_result::skipped : result;
        }
    } else {
        if (p == end)
            return scan_result::end_of_text;
        if constexpr (Step.kind == scan_step::literal) {
            return *p++ == Step.symbol ? scan_result::skipped : scan_result::mismatch;
        } else {
            // "%Nc" takes up to N characters as they are, and counts once it
            // took one.
            std::size_t taken = std::min<std::size_t>(Step.width, std::size_t(end - p));
            if constexpr (Step.assigns) {
                char* to = field_characters(record, Field);
                if (taken == Step.width)
                    std::memcpy(to, p, Step.width);
                else
                    std::memcpy(to, p, taken);
                if constexpr (fields[Field].shape == shape_text) {
                    to[taken] = '\0';
                    if (taken == Step.width)
                        trim_trailing_spaces(to, taken);
                }
            }
            p += taken;
            return Step.assigns ? scan_result::assigned : scan_result::skipped;
        }
    }
}

// Records nothing: what v2list runs.
struct no_trace {
    void step(std::size_t, std::size_t, std::size_t) {}
};

// Records where each step took its characters.
struct step_trace {
    scan_trace& trace;
    void step(std::size_t i, std::size_t from, std::size_t to) { trace.steps[i] = {from, to}; }
};

// How a scan ended: the fields assigned, the steps run (the one that
// stopped it included), and the result of the last.
struct scan_end {
    int count;
    std::size_t steps_run;
    scan_result last;
};

// Runs the steps in order until one fails.
template <typename Trace, std::size_t... I>
scan_end scan_steps_in_order(const char* piece, const char* end, input_record& record, Trace trace,
                             std::index_sequence<I...>)
{
    const char* p = piece;
    const char* start = piece;
    // Locals, not the result, so that they stay in registers.
    int count = 0;
    std::size_t steps_run = 0;
    scan_result last = scan_result::skipped;
    auto run = [&](std::size_t i, scan_result result) {
        trace.step(i, std::size_t(start - piece), std::size_t(p - piece));
        count += result == scan_result::assigned;
        steps_run = i + 1;
        last = result;
        return result == scan_result::assigned || result == scan_result::skipped;
    };
    (run(I, scan_one<scan_steps[I], field_id(scan_step_fields[I])>(p, end, start, record)) && ...);
    // Running out of text before the first field is "no record at all".
    if (count == 0 && last == scan_result::end_of_text)
        count = -1;
    return {count, steps_run, last};
}

} // namespace

std::size_t text_length_of(const char* piece, std::size_t length)
{
    const void* zero = std::memchr(piece, '\0', length);
    return zero ? std::size_t(static_cast<const char*>(zero) - piece) : length;
}

int read_record(const char* piece, std::size_t length, input_record& record)
{
    return scan_steps_in_order(piece, piece + text_length_of(piece, length), record, no_trace{},
                               std::make_index_sequence<scan_steps.size()>())
        .count;
}

int read_text(const char* text, std::size_t text_length, input_record& record, scan_trace& trace)
{
    scan_end ended = scan_steps_in_order(text, text + text_length, record, step_trace{trace},
                                         std::make_index_sequence<scan_steps.size()>());
    trace.steps_run = ended.steps_run;
    trace.ran_out = ended.last == scan_result::end_of_text;
    return ended.count;
}

} // namespace v2list
