// Text put together in a fixed buffer from texts, single characters and
// whole numbers; what does not fit is cut off, and the text stays
// terminated. No format strings: v2check writes a message for every
// problem, and formatting them with the C library took two thirds of its
// time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "format_text.hpp"

namespace v2list {

struct text_builder {
    char* text;
    std::size_t size; // room, the terminator included
    std::size_t used = 0;

    void append(const char* characters, std::size_t length)
    {
        length = std::min(length, size - 1 - used);
        std::memcpy(text + used, characters, length);
        used += length;
        text[used] = '\0';
    }
    void put(const char* words) { append(words, std::strlen(words)); }
    void put(char c) { append(&c, 1); }
    template <typename Integer>
    requires std::is_integral_v<Integer>
    void put(Integer value)
    {
        char digits[24];
        char* p = put_decimal_digits(value, std::end(digits));
        if (value < 0)
            *--p = '-';
        append(p, std::size_t(std::end(digits) - p));
    }
    template <typename... Parts>
    void say(const Parts&... parts)
    {
        (put(parts), ...);
    }
};

} // namespace v2list
