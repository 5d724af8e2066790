#include "input_record.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace v2list {

namespace {

// The scan format must assign every field once, in field order, each with a
// conversion of its own type that fits in it.
constexpr bool format_fits_record()
{
    unsigned field = 0;
    for (const scan_step& step : scan_steps) {
        if (!step.assigns)
            continue;
        if (field >= field_count)
            return false;
        auto id = static_cast<field_id>(field++);
        if (shape_of(id) == shape_number ? step.kind != scan_step::number
                                : step.kind != scan_step::characters ||
                                      step.width > character_capacity(id))
            return false;
    }
    return field == field_count;
}
static_assert(format_fits_record(), "the scan format does not match input_record");

constexpr bool is_white_space(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

enum class scan_result { assigned, skipped, mismatch, end_of_text };

// Reads one "%Nd" at p: white space first (not counted in the width), then
// an optional sign and digits, the sign counting in the width.
template <unsigned Width>
scan_result scan_number(const char*& p, const char* end, std::int32_t* target)
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
    std::int32_t value = 0;
    for (; width > 0 && p < end && *p >= '0' && *p <= '9'; --width)
        value = value * 10 + (*p++ - '0');
    if (p == digits)
        return scan_result::mismatch;
    if (target)
        *target = negative ? -value : value;
    return target ? scan_result::assigned : scan_result::skipped;
}

// Step Step of the scan format, which assigns field Field if it assigns at
// all. Both are constants, so each step compiles to its own few lines.
template <scan_step Step, field_id Field>
scan_result scan_one(const char*& p, const char* end, input_record& record)
{
    if constexpr (Step.kind == scan_step::number) {
        return scan_number<Step.width>(p, end, Step.assigns ? field_number(record, Field) : nullptr);
    } else {
        if (p == end)
            return scan_result::end_of_text;
        if constexpr (Step.kind == scan_step::literal) {
            return *p++ == Step.symbol ? scan_result::skipped : scan_result::mismatch;
        } else {
            // "%Nc" takes up to N characters as they are, and counts once it
            // took one.
            std::size_t n = std::size_t(end - p);
            if constexpr (Step.assigns) {
                if (n >= Step.width)
                    std::memcpy(field_characters(record, Field), p, Step.width);
                else
                    std::memcpy(field_characters(record, Field), p, n);
            }
            p += std::min<std::size_t>(Step.width, n);
            return Step.assigns ? scan_result::assigned : scan_result::skipped;
        }
    }
}

// The field each step assigns (for steps that assign nothing, the next one).
constexpr auto step_fields = [] {
    std::array<field_id, scan_steps.size()> fields{};
    unsigned field = 0;
    for (std::size_t i = 0; i < scan_steps.size(); ++i) {
        fields[i] = static_cast<field_id>(field);
        field += scan_steps[i].assigns;
    }
    return fields;
}();

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
    (run(scan_one<scan_steps[I], step_fields[I]>(p, end, record)) && ...);
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

    // Fields the scan never reached are left as they were: nobody reads them.
    if (count > field_text14) {
        record.text14[sizeof record.text14 - 1] = '\0';
        trim_trailing_spaces(record.text14);
    }
    if (count > field_text15) {
        record.text15[sizeof record.text15 - 1] = '\0';
        trim_trailing_spaces(record.text15);
    }
    if (count > field_text2) {
        record.text2[sizeof record.text2 - 1] = '\0';
        trim_trailing_spaces(record.text2);
    }
    bool ran_out = last == scan_result::end_of_text;

    // Running out of text before the first field is "no record at all".
    return count == 0 && ran_out ? -1 : count;
}

void trim_trailing_spaces(char* text)
{
    std::size_t n = std::strlen(text);
    while (n > 0 && text[n - 1] == ' ')
        text[--n] = '\0';
}

} // namespace v2list
