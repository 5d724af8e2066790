// The version-2 listing: its header, the record line layout, the general
// writer of one record's line, and the buffer that collects output (v2list's
// listing, v2check's report) for a file descriptor.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "format_text.hpp"
#include "input_record.hpp"

namespace v2list {

inline constexpr char listing_header[] = "#Version: 2";

// The record line layout, column by column: widths, padding, justification
// and the separators. Which field each conversion writes is print_fields,
// beside it.
inline constexpr char print_format[] = "%-18s %02d%02d %c%c%c%c%c%c%c-%c %c %-15s %d%d%d %2s %c\n";

inline constexpr format_reading print_reading = read_print_format(print_format);
static_assert(format_is_sound<print_reading.fault, print_reading.fault_step>());
inline constexpr auto print_steps = parse_print_format<print_reading.count>(print_format);

// The fields the print format writes, in the order of its conversions,
// grouped as the line groups them.
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

// For every print step, the field it writes (for a literal, the next one's).
inline constexpr auto print_step_arguments = argument_indexes(print_steps);

// The print format must take one field of the matching shape per conversion.
constexpr bool format_fits_fields()
{
    std::size_t arg = 0;
    for (const print_step& step : print_steps) {
        if (!step.takes_argument())
            continue;
        if (arg >= std::size(print_fields))
            return false;
        field_shape shape = fields[print_fields[arg++]].shape;
        if (shape != (step.kind == print_step::text     ? shape_text
                      : step.kind == print_step::number ? shape_number
                                                        : shape_character))
            return false;
    }
    return arg == std::size(print_fields);
}
static_assert(format_fits_fields(), "the print format does not match print_fields");

// The longest record line any record can give: a number takes at most 11
// characters ("-2147483648").
constexpr std::size_t longest_record_line()
{
    std::size_t length = 0;
    for (std::size_t i = 0; i < print_steps.size(); ++i) {
        const print_step& step = print_steps[i];
        std::size_t most = 1;
        if (step.kind == print_step::text)
            most = fields[print_fields[print_step_arguments[i]]].capacity;
        else if (step.kind == print_step::number)
            most = 11;
        length += std::max<std::size_t>(most, step.width);
    }
    return length;
}
inline constexpr std::size_t max_record_line = longest_record_line();

// Writes length characters at out, padded with fill to the step's width on
// the left or, for a left-justified step, with spaces on the right. The
// lengths are a few characters: plain loops beat library calls here.
template <print_step Step>
inline char* put_padded(char* out, const char* body, std::size_t length, char fill = ' ')
{
    std::size_t pad = Step.width > length ? Step.width - length : 0;
    if constexpr (!Step.left)
        for (std::size_t i = 0; i < pad; ++i)
            *out++ = fill;
    for (std::size_t i = 0; i < length; ++i)
        *out++ = body[i];
    if constexpr (Step.left)
        for (std::size_t i = 0; i < pad; ++i)
            *out++ = ' ';
    return out;
}

// Writes a number as the step has it.
template <print_step Step>
inline char* put_number(char* out, std::int32_t value)
{
    char text[12];
    char* digits = put_decimal_digits(value, std::end(text));
    std::size_t length = std::size_t(std::end(text) - digits);
    if constexpr (Step.zero && !Step.left) {
        // Zero padding goes between the sign and the digits.
        if (value < 0) {
            *out++ = '-';
            constexpr print_step rest{
                Step.kind, false, true,
                static_cast<unsigned char>(Step.width > 0 ? Step.width - 1 : 0), 0};
            return put_padded<rest>(out, digits, length, '0');
        }
        return put_padded<Step>(out, digits, length, '0');
    }
    if (value < 0)
        *--digits = '-', ++length;
    return put_padded<Step>(out, digits, length);
}

// Writes the record line of any record into line, which has room for
// max_record_line characters, step by step of the print format; returns its
// length.
std::size_t write_record(const input_record& record, char* line);

// Output collected in a fixed buffer and written to fd in large blocks.
// After the first failed write, error holds its errno and nothing more is
// written.
struct output_buffer {
    int fd;
    int error;
    std::size_t used;
    char buffer[1 << 16];
};

void open_output(output_buffer& output, int fd);

// Puts the header line into the buffer, which must be empty.
void write_header(output_buffer& output);

// Adds length characters to the buffer, writing out what it holds as it
// fills; false (and output.error set) on failure.
bool append_output(output_buffer& output, const char* text, std::size_t length);

// Writes out everything buffered; false (and output.error set) on failure,
// and at once after any earlier failure.
bool flush_output(output_buffer& output);

} // namespace v2list
