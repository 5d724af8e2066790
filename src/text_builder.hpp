// Text put together in a fixed buffer, what does not fit cut off. No format
// strings: v2check writes a message for every problem, and the C library's
// formatting is slow (doc/performance.md).
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string_view>
#include <type_traits>

#include "byte_blocks.hpp"
#include "decimal_text.hpp"

namespace v2list {

// How a byte not shown as it is is written: as C writes it ("\t", "\x7f"),
// or in a JSON string ("\u0009"), a byte from 0x80 standing for U+0080-U+00FF.
enum class escape_style : unsigned char { text, json };

constexpr bool printable_ascii(unsigned char c)
{
    return c >= 0x20 && c < 0x7f;
}

// A byte shown as it is: printable ASCII but the backslash and double quote.
constexpr bool shown_as_is(unsigned char c)
{
    return printable_ascii(c) && c != '\\' && c != '"';
}

// The bytes of 16 that are not, a bit each: one more than a byte below
// 0x20, than 0x7f or than a byte from 0x80 is, as a signed byte, below 0x21.
inline unsigned not_shown_as_is(byte_block block)
{
    using signed_block = signed char __attribute__((vector_size(16)));
    auto low = reinterpret_cast<byte_block>(reinterpret_cast<signed_block>(block + 1) < 0x21);
    return block_bits(low | (block == '\\') | (block == '"'));
}

// Not terminated: the text is written in many small parts, and its length
// used. Bounded, what does not fit is cut off; not, for a message, whose
// room the report makes sure of before it is written (message_writer), no
// part is measured against it, which makes v2check measurably faster
// (doc/performance.md).
template <bool Bounded>
struct basic_text_builder {
    char* text;
    std::size_t size; // room, the terminator included
    std::size_t used = 0;

    // Inlined, so that a constant length copies as a few moves.
    [[gnu::always_inline]] void append(const char* characters, std::size_t length)
    {
        if (used >= size)
            __builtin_unreachable(); // there is always room for the terminator
        if (Bounded && length >= size - used)
            length = size - 1 - used;
        std::memcpy(text + used, characters, length);
        used += length;
    }
    // A text of Length characters, known when the code is compiled.
    template <std::size_t Length>
    [[gnu::always_inline]] void append_fixed(const char* characters)
    {
        if (Bounded && Length >= size - used)
            return append(characters, Length);
        std::memcpy(text + used, characters, Length);
        used += Length;
    }
    // A short text of at most 32 characters, from 32 there to read: one
    // copy of 32 where there is room, which there nearly always is.
    [[gnu::always_inline]] void append_short(const char* characters, std::size_t length)
    {
        if (Bounded && size - used <= 32)
            return append(characters, length);
        std::memcpy(text + used, characters, 32);
        used += length;
    }
    void put_char(char c)
    {
        if (!Bounded || used + 1 < size)
            text[used++] = c;
    }
    // A whole number, right-justified in width, its digits written in place.
    template <typename Integer>
    [[gnu::always_inline]] void put_number(Integer value, std::size_t width = 0)
    {
        if (value >= 0 && value < 100 && width < 2 && (!Bounded || size - used > 2)) {
            // Most numbers a message holds, columns and values, are small.
            if (value < 10) {
                text[used++] = char('0' + value);
            } else {
                std::memcpy(text + used, digit_pairs + 2 * value, 2);
                used += 2;
            }
            return;
        }
        bool negative = false;
        if constexpr (std::is_signed_v<Integer>)
            negative = value < 0;
        std::size_t length = negative + decimal_digits(value);
        for (; width > length; --width)
            put_char(' ');
        if (Bounded && length >= size - used)
            return; // cut off whole
        put_signed_decimal(value, text + used + length);
        used += length;
    }
    // A literal text, a terminated one or a view, a character or a number.
    template <typename Part>
    [[gnu::always_inline]] void put(const Part& part)
    {
        if constexpr (std::is_array_v<Part>)
            append_fixed<std::extent_v<Part> - 1>(part);
        else if constexpr (std::is_same_v<Part, char>)
            put_char(part);
        else if constexpr (std::is_integral_v<Part>)
            put_number(part);
        else if constexpr (std::is_same_v<Part, std::string_view>)
            append(part.data(), part.size());
        else
            append(part, std::strlen(part));
    }
    template <typename... Parts>
    void say(const Parts&... parts)
    {
        (put(parts), ...);
    }
    // The bytes, each shown as it is or escaped, the runs shown as they are
    // found 16 at a time; returns whether all were shown as they are.
    bool put_escaped(const char* characters, std::size_t length, escape_style style)
    {
        bool as_is = true;
        for (std::size_t i = 0; i < length;) {
            std::size_t run = shown_run(characters, i, length);
            append(characters + i, run);
            i += run;
            if (i < length) {
                put_escape(static_cast<unsigned char>(characters[i++]), style);
                as_is = false;
            }
        }
        return as_is;
    }

    // How many bytes from i on are shown as they are; the last block may
    // reach back before i, never past the end.
    static std::size_t shown_run(const char* characters, std::size_t i, std::size_t length)
    {
        std::size_t from = i;
        for (; i + 16 <= length; i += 16)
            if (unsigned other = not_shown_as_is(load_block(characters + i)))
                return i - from + unsigned(std::countr_zero(other));
        if (i == length)
            return i - from;
        if (length >= 16) {
            std::size_t back = i - (length - 16);
            unsigned other = not_shown_as_is(load_block(characters + length - 16)) >> back;
            return i - from + (other ? unsigned(std::countr_zero(other)) : length - i);
        }
        while (i < length && shown_as_is(static_cast<unsigned char>(characters[i])))
            ++i;
        return i - from;
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
            append_fixed<2>(named);
        } else if (style == escape_style::json) {
            const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            append_fixed<sizeof escaped>(escaped);
        } else {
            const char escaped[] = {'\\', 'x', hex[c >> 4], hex[c & 15]};
            append_fixed<sizeof escaped>(escaped);
        }
    }

    // A JSON string; returns whether no byte was escaped.
    bool put_json(const char* characters, std::size_t length)
    {
        put('"');
        bool as_is = put_escaped(characters, length, escape_style::json);
        put('"');
        return as_is;
    }
};

// Names of at most 32 characters, each in 32 for append_short: a table's
// words written often, fates, causes and fields.
using text_builder = basic_text_builder<true>;
using message_text = basic_text_builder<false>;

template <std::size_t Count>
struct short_names {
    char text[Count][32];
    unsigned char length[Count];

    template <typename Out>
    [[gnu::always_inline]] void put(Out& out, std::size_t i) const
    {
        out.append_short(text[i], length[i]);
    }
};

template <std::size_t Count, typename Name>
constexpr short_names<Count> short_names_of(Name name)
{
    short_names<Count> names{};
    for (std::size_t i = 0; i < Count; ++i) {
        std::string_view n = name(i);
        if (n.size() > 32)
            throw "a name of more than 32 characters";
        std::copy(n.begin(), n.end(), names.text[i]);
        names.length[i] = static_cast<unsigned char>(n.size());
    }
    return names;
}

} // namespace v2list
