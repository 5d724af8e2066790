// The scanf- and printf-style format texts that hold the two record layouts,
// read at compile time into steps: widths, padding, literals and the order of
// the conversions. Which field each conversion takes is said beside them.
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

// The white space that a number conversion skips: " \t\n\v\f\r".
constexpr bool is_white_space(unsigned char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// A decimal digit, '0' to '9'.
constexpr bool is_digit(char c)
{
    return static_cast<unsigned char>(c - '0') <= 9;
}

namespace format_detail {

// Not constexpr: reaching it while a format text is read at compile time
// fails the build, and the compiler shows this call and its reason.
inline void bad_format(const char*) {}

// Reads an optional decimal width at text[i]; 0 when there is none.
constexpr unsigned char read_width(std::string_view text, std::size_t& i)
{
    unsigned width = 0;
    while (i < text.size() && is_digit(text[i]))
        if ((width = width * 10 + unsigned(text[i++] - '0')) > 255)
            bad_format("a conversion's width is at most 255");
    return static_cast<unsigned char>(width);
}

constexpr scan_step next_scan_step(std::string_view text, std::size_t& i)
{
    char c = text[i++];
    if (c != '%') {
        if (is_white_space(static_cast<unsigned char>(c)))
            bad_format("white space in a scan format would skip any run of it: not supported");
        return {scan_step::literal, false, 1, c};
    }
    bool assigns = i >= text.size() || text[i] != '*';
    i += !assigns;
    unsigned char width = read_width(text, i);
    char conversion = i < text.size() ? text[i++] : '\0';
    if (conversion == 'c')
        return {scan_step::characters, assigns, std::max<unsigned char>(width, 1), 0};
    if (conversion != 'd')
        bad_format("a scan conversion is %Nc or %Nd, or %*Nc or %*Nd to skip");
    if (width == 0 || width > 9)
        bad_format("a scanned number needs a width of 1 to 9, as in %2d");
    return {scan_step::number, assigns, width, 0};
}

constexpr print_step next_print_step(std::string_view text, std::size_t& i)
{
    char c = text[i++];
    if (c != '%')
        return {print_step::literal, false, false, 1, c};
    print_step step{print_step::literal, false, false, 0, 0};
    for (; i < text.size() && (text[i] == '-' || text[i] == '0'); ++i)
        (text[i] == '-' ? step.left : step.zero) = true;
    step.width = read_width(text, i);
    switch (i < text.size() ? text[i++] : '\0') {
    case 's': step.kind = print_step::text; break;
    case 'd': step.kind = print_step::number; break;
    case 'c': step.kind = print_step::character; break;
    default: bad_format("a print conversion is %[-][0][N]s, %[-][0][N]d or %c");
    }
    return step;
}

// The steps of a format text, read at compile time.
template <typename Step, auto Next, const char* Text>
constexpr auto steps_of()
{
    constexpr std::string_view text = Text;
    constexpr std::size_t count = [text] {
        std::size_t n = 0;
        for (std::size_t i = 0; i < text.size(); ++n)
            Next(text, i);
        return n;
    }();
    std::array<Step, count> steps{};
    std::size_t i = 0;
    for (Step& step : steps)
        step = Next(text, i);
    return steps;
}

} // namespace format_detail

// The steps of a scan and of a print format; a fault fails the build.
template <const char* Text>
inline constexpr auto
    scan_steps_of = format_detail::steps_of<scan_step, format_detail::next_scan_step, Text>();
template <const char* Text>
inline constexpr auto
    print_steps_of = format_detail::steps_of<print_step, format_detail::next_print_step, Text>();

// For every step, the index of the argument it (or the next that does) takes.
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
