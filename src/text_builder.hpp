// Text put together in a fixed buffer from texts, single characters, whole
// numbers and escaped bytes; what does not fit is cut off. No format strings: v2check writes a
// message for every problem, and formatting them with the C library is slow (doc/performance.md).
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "byte_blocks.hpp"
#include "decimal_text.hpp"

namespace v2list {

// How bytes that are not shown as they are get written: for a person, as
// C writes them ("\t", "\x7f"), or inside a JSON string ("\u0009"), where a
// byte from 0x80 stands for the character U+0080 to U+00FF.
enum class escape_style : unsigned char { text, json };

// A byte shown as it is, in a report and in JSON alike: printable ASCII but
// the backslash and the double quote.
constexpr bool shown_as_is(unsigned char c)
{
    return c >= 0x20 && c < 0x7f && c != '\\' && c != '"';
}

// The same for 16 bytes, a bit each.
inline unsigned shown_as_is(byte_block block)
{
    return block_bits((block >= 0x20) & (block < 0x7f) & (block != '\\') & (block != '"'));
}

// The text is terminated only when asked: most of it is written many
// small parts at a time.
struct text_builder {
    char* text;
    std::size_t size; // room, the terminator included
    std::size_t used = 0;

    // Inlined, so that a constant length copies as a few moves.
    [[gnu::always_inline]] void append(const char* characters, std::size_t length)
    {
        if (length >= size - used)
            length = size - 1 - used;
        std::memcpy(text + used, characters, length);
        used += length;
    }
    void put_char(char c)
    {
        if (used + 1 < size)
            text[used++] = c;
    }
    // A whole number, right-justified in width, its digits written in place.
    template <typename Integer>
    void put_number(Integer value, std::size_t width = 0)
    {
        auto magnitude = static_cast<std::make_unsigned_t<Integer>>(value);
        bool negative = false;
        if constexpr (std::is_signed_v<Integer>)
            if (value < 0) {
                magnitude = 0 - magnitude;
                negative = true;
            }
        std::size_t length = negative + 1;
        for (auto rest = magnitude; rest >= 10; rest /= 10)
            ++length;
        for (; width > length; --width)
            put_char(' ');
        if (length >= size - used)
            return; // cut off whole
        put_decimal_digits(value, text + used + length);
        if (negative)
            text[used] = '-';
        used += length;
    }
    // A literal text, a terminated one, a character or a whole number.
    template <typename Part>
    void put(const Part& part)
    {
        if constexpr (std::is_array_v<Part>)
            append(part, std::extent_v<Part> - 1);
        else if constexpr (std::is_same_v<Part, char>)
            put_char(part);
        else if constexpr (std::is_integral_v<Part>)
            put_number(part);
        else
            append(part, std::strlen(part));
    }
    template <typename... Parts>
    void say(const Parts&... parts)
    {
        (put(parts), ...);
    }
    // The text as it stands, terminated.
    const char* terminate()
    {
        text[used] = '\0';
        return text;
    }

    // The length bytes at characters, each shown as it is or escaped.
    void put_escaped(const char* characters, std::size_t length, escape_style style)
    {
        for (std::size_t i = 0; i < length;) {
            // The run of bytes shown as they are from i, found 16 at a time.
            std::size_t run = i;
            for (; run + 16 <= length; run += 16)
                if (unsigned other = ~shown_as_is(load_block(characters + run)) & 0xffff) {
                    run += unsigned(std::countr_zero(other));
                    break;
                }
            while (run < length && shown_as_is(static_cast<unsigned char>(characters[run])))
                ++run;
            append(characters + i, run - i);
            if (run == length)
                break;
            put_escape(static_cast<unsigned char>(characters[run]), style);
            i = run + 1;
        }
    }

    void put_escape(unsigned char c, escape_style style)
    {
        static const char hex[] = "0123456789abcdef";
        const char* named = c == '\\'                     ? "\\\\"
                            : c == '"'                    ? "\\\""
                            : style == escape_style::json ? nullptr
                            : c == '\t'                   ? "\\t"
                            : c == '\n'                   ? "\\n"
                            : c == '\r'                   ? "\\r"
                                                          : nullptr;
        if (named != nullptr) {
            append(named, 2);
        } else if (style == escape_style::json) {
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            append(escaped, sizeof escaped);
        } else {
            const char escaped[] = {'\\', 'x', hex[c >> 4], hex[c & 15]};
            append(escaped, sizeof escaped);
        }
    }

    // A JSON string: the bytes escaped in its style, within quotes.
    void put_json(const char* characters, std::size_t length)
    {
        put('"');
        put_escaped(characters, length, escape_style::json);
        put('"');
    }
    void put_json(const char* words)
    {
        if (words == nullptr)
            append("null", 4);
        else
            put_json(words, std::strlen(words));
    }
};

} // namespace v2list
