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
        bool fits = info.shape == shape_number ? step.kind == scan_step::number
                                               : step.kind == scan_step::characters &&
                                                     step.width == info.capacity;
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
        return f.shape == shape_number ? sizeof(std::int32_t) : f.capacity + (f.shape == shape_text);
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

enum class scan_result { assigned, skipped, mismatch, end_of_text };

// Reads one "%Nd" at p: white space first (not counted in the width), then
// an optional sign and digits, the sign counting in the width.
template <unsigned Width>
scan_result scan_number(const char*& p, const char* end, std::int32_t& value)
{
    while (p < end && is_white_space(static_cast<unsigned char>(*p)))
        ++p;
    if (p == end)
        return scan_result::end_of_text;
    unsigned width = Width;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p++ == '-';
        --width;
    }
    const char* digits = p;
    value = 0;
    for (; width > 0 && p < end && *p >= '0' && *p <= '9'; --width)
        value = value * 10 + (*p++ - '0');
    if (p == digits)
        return scan_result::mismatch;
    if (negative)
        value = -value;
    return scan_result::assigned;
}

// Step Step of the scan format, which assigns field Field if it assigns at
// all. Both are constants, so each step compiles to its own few lines.
template <scan_step Step, field_id Field>
scan_result scan_one(const char*& p, const char* end, input_record& record)
{
    if constexpr (Step.kind == scan_step::number) {
        std::int32_t value;
        scan_result result = scan_number<Step.width>(p, end, value);
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
                        trim_trailing_spaces(to);
                }
            }
            p += taken;
            return Step.assigns ? scan_result::assigned : scan_result::skipped;
        }
    }
}

// Runs the steps in order until one fails; returns the fields assigned and
// the result of the last step run.
template <std::size_t... I>
int scan_steps_in_order(const char* p, const char* end, input_record& record, scan_result& last,
                        std::index_sequence<I...>)
{
    int count = 0;
    auto run = [&](scan_result result) {
        last = result;
        count += result == scan_result::assigned;
        return result == scan_result::assigned || result == scan_result::skipped;
    };
    (run(scan_one<scan_steps[I], field_id(scan_step_fields[I])>(p, end, record)) && ...);
    return count;
}

} // namespace

int read_record(const char* piece, std::size_t length, input_record& record)
{
    // Like a C string, the text of a piece ends at its first zero byte.
    const char* end = static_cast<const char*>(std::memchr(piece, '\0', length));
    if (end == nullptr)
        end = piece + length;

    scan_result last = scan_result::skipped;
    int count = scan_steps_in_order(piece, end, record, last,
                                    std::make_index_sequence<scan_steps.size()>());

    // Running out of text before the first field is "no record at all".
    return count == 0 && last == scan_result::end_of_text ? -1 : count;
}

void trim_trailing_spaces(char* text)
{
    std::size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ')
        text[--n] = '\0';
}

} // namespace v2list
