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
    void step(std::size_t i, std::size_t from, std::size_t to)
    {
        trace.steps[i] = {from, to};
        trace.steps_run = i + 1;
    }
};

// Runs the steps in order until one fails; returns the fields assigned and
// the result of the last step run.
template <typename Trace, std::size_t... I>
int scan_steps_in_order(const char* piece, const char* end, input_record& record, scan_result& last,
                        Trace trace, std::index_sequence<I...>)
{
    const char* p = piece;
    const char* start = piece;
    int count = 0;
    auto run = [&](std::size_t i, scan_result result) {
        trace.step(i, std::size_t(start - piece), std::size_t(p - piece));
        last = result;
        count += result == scan_result::assigned;
        return result == scan_result::assigned || result == scan_result::skipped;
    };
    (run(I, scan_one<scan_steps[I], field_id(scan_step_fields[I])>(p, end, start, record)) && ...);
    return count;
}

template <typename Trace>
int read_traced(const char* piece, std::size_t text_length, input_record& record, scan_result& last,
                Trace trace)
{
    last = scan_result::skipped;
    int count = scan_steps_in_order(piece, piece + text_length, record, last, trace,
                                    std::make_index_sequence<scan_steps.size()>());
    // Running out of text before the first field is "no record at all".
    return count == 0 && last == scan_result::end_of_text ? -1 : count;
}

} // namespace

std::size_t text_length_of(const char* piece, std::size_t length)
{
    const void* zero = std::memchr(piece, '\0', length);
    return zero ? std::size_t(static_cast<const char*>(zero) - piece) : length;
}

int read_record(const char* piece, std::size_t length, input_record& record)
{
    scan_result last;
    return read_traced(piece, text_length_of(piece, length), record, last, no_trace{});
}

int read_record(const char* piece, std::size_t length, input_record& record, scan_trace& trace)
{
    scan_result last;
    trace.steps_run = 0;
    int count = read_traced(piece, text_length_of(piece, length), record, last, step_trace{trace});
    trace.ran_out = last == scan_result::end_of_text;
    return count;
}

} // namespace v2list
