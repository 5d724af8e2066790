// Compile-time reading of the scanf- and printf-style format texts that hold
// the two record layouts. A format text says the widths, padding, literals
// and the order of the conversions; which field each conversion takes is
// said beside it (the field table, print_fields). The reader and the
// writer run on these steps.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace v2list {

// One piece of a scan format: "%Nc", "%Nd" (either may be "%*..."), or a
// literal character that the input must hold.
struct scan_step {
    enum kind_t : unsigned char { characters, number, literal };
    kind_t kind;
    bool assigns;        // false for "%*..." and for literals
    unsigned char width; // most characters taken; 1 for a literal
    char symbol;         // the character a literal step must meet

    constexpr bool takes_argument() const { return assigns; }
};

// One piece of a print format: "%[-][0][N]s", "%[-][0][N]d", "%c", or a
// literal character.
struct print_step {
    enum kind_t : unsigned char { text, number, character, literal };
    kind_t kind;
    bool left;           // "-": justify left, pad on the right
    bool zero;           // "0": pad numbers with zeros after the sign
    unsigned char width; // least characters written
    char symbol;         // the character a literal writes

    constexpr bool takes_argument() const { return kind != literal; }
};

// The white space that a number conversion skips: space, tab, newline,
// vertical tab, form feed and carriage return, and no other byte.
constexpr bool is_white_space(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A decimal digit, '0' to '9'.
constexpr bool is_digit(char c)
{
    return static_cast<unsigned char>(c - '0') <= 9;
}

// What is wrong with a format text, if anything.
enum class format_fault : unsigned char {
    none,
    unsupported_conversion, // not one of those below, or cut off after "%"
    number_width,           // a scanned number needs a width of 1 to 9
    white_space_directive,  // white space in a scan format, which no layout uses
};

// How many steps a format text has, and its first fault.
struct format_check {
    std::size_t count = 0;
    format_fault fault = format_fault::none;
    std::size_t fault_step = 0; // counted from 0
};

// Fails to compile, naming the fault and the step, when a format text has
// one: the compiler's note on this instantiation says which step.
template <format_fault Fault, std::size_t Step>
constexpr bool format_is_sound()
{
    static_assert(Fault != format_fault::unsupported_conversion,
                  "a format text has a conversion other than %Nc, %Nd (scan; %*... to skip) or "
                  "%[-][0][N]s, %[-][0][N]d, %c (print), each width at most 255");
    static_assert(Fault != format_fault::number_width,
                  "a scanned number needs a width of 1 to 9, as in %2d");
    static_assert(Fault != format_fault::white_space_directive,
                  "white space in a scan format would skip any run of it; not supported");
    return true;
}

namespace format_detail {

// A fault found in a step leaves a harmless step in its place, so that the
// reading goes on and the check can name the fault and the step.

// Reads an optional decimal width at text[i]; 0 when there is none.
constexpr unsigned char read_width(std::string_view text, std::size_t& i, format_fault& fault)
{
    unsigned width = 0;
    while (i < text.size() && is_digit(text[i]))
        width = std::min(width * 10 + unsigned(text[i++] - '0'), 256u);
    if (width > 255)
        fault = format_fault::unsupported_conversion;
    return static_cast<unsigned char>(std::min(width, 255u));
}

constexpr scan_step next_scan_step(std::string_view text, std::size_t& i, format_fault& fault)
{
    char c = text[i++];
    if (c != '%') {
        if (is_white_space(static_cast<unsigned char>(c)))
            fault = format_fault::white_space_directive;
        return {scan_step::literal, false, 1, c};
    }
    bool assigns = true;
    if (i < text.size() && text[i] == '*') {
        assigns = false;
        ++i;
    }
    unsigned char width = read_width(text, i, fault);
    if (i >= text.size()) {
        fault = format_fault::unsupported_conversion;
        return {scan_step::characters, assigns, 1, 0};
    }
    switch (text[i++]) {
    case 'c':
        return {scan_step::characters, assigns, static_cast<unsigned char>(width ? width : 1), 0};
    case 'd':
        if (width == 0 || width > 9)
            fault = format_fault::number_width;
        return {scan_step::number, assigns, std::clamp<unsigned char>(width, 1, 9), 0};
    default:
        fault = format_fault::unsupported_conversion;
        return {scan_step::characters, assigns, 1, 0};
    }
}

constexpr print_step next_print_step(std::string_view text, std::size_t& i, format_fault& fault)
{
    char c = text[i++];
    if (c != '%')
        return {print_step::literal, false, false, 1, c};
    print_step step{print_step::literal, false, false, 0, 0};
    for (; i < text.size() && (text[i] == '-' || text[i] == '0'); ++i)
        (text[i] == '-' ? step.left : step.zero) = true;
    step.width = read_width(text, i, fault);
    if (i >= text.size()) {
        fault = format_fault::unsupported_conversion;
        return step;
    }
    switch (text[i++]) {
    case 's': step.kind = print_step::text; break;
    case 'd': step.kind = print_step::number; break;
    case 'c': step.kind = print_step::character; break;
    default: fault = format_fault::unsupported_conversion; break;
    }
    return step;
}

template <typename Next>
constexpr format_check check_format(std::string_view text, Next next)
{
    format_check check;
    for (std::size_t i = 0; i < text.size(); ++check.count) {
        format_fault fault = format_fault::none;
        next(text, i, fault);
        if (fault != format_fault::none && check.fault == format_fault::none)
            check = {check.count, fault, check.count};
    }
    return check;
}

template <typename Step, std::size_t N, typename Next>
constexpr std::array<Step, N> steps(std::string_view text, Next next)
{
    std::array<Step, N> out{};
    std::size_t i = 0;
    format_fault fault = format_fault::none;
    for (Step& step : out)
        step = next(text, i, fault);
    return out;
}

} // namespace format_detail

constexpr format_check check_scan_format(std::string_view text)
{
    return format_detail::check_format(text, format_detail::next_scan_step);
}

template <std::size_t N>
constexpr std::array<scan_step, N> parse_scan_format(std::string_view text)
{
    return format_detail::steps<scan_step, N>(text, format_detail::next_scan_step);
}

constexpr format_check check_print_format(std::string_view text)
{
    return format_detail::check_format(text, format_detail::next_print_step);
}

template <std::size_t N>
constexpr std::array<print_step, N> parse_print_format(std::string_view text)
{
    return format_detail::steps<print_step, N>(text, format_detail::next_print_step);
}

// For every step, the index of the argument it takes: for a step that takes
// none, the index of the next one that does.
template <typename Step, std::size_t N>
constexpr std::array<std::size_t, N> argument_indexes(const std::array<Step, N>& steps)
{
    std::array<std::size_t, N> indexes{};
    std::size_t argument = 0;
    for (std::size_t i = 0; i < N; ++i) {
        indexes[i] = argument;
        argument += steps[i].takes_argument();
    }
    return indexes;
}

} // namespace v2list
