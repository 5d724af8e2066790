// Whole numbers written as decimal text, for the listing and the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace v2list {

// Unsigned, so that the most negative value has a magnitude too.
template <typename Integer>
constexpr std::make_unsigned_t<Integer> magnitude_of(Integer value)
{
    auto magnitude = static_cast<std::make_unsigned_t<Integer>>(value);
    if constexpr (std::is_signed_v<Integer>)
        if (value < 0)
            magnitude = 0 - magnitude;
    return magnitude;
}

// "00" to "99": digits are written two for one division.
inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324"
    "25262728293031323334353637383940414243444546474849"
    "50515253545556575859606162636465666768697071727374"
    "75767778798081828384858687888990919293949596979899";

// Writes the digits of value's magnitude, at least Least of them, to end
// just before end, as %d but for the sign; returns where they start.
template <std::size_t Least = 1, typename Integer>
constexpr char* put_decimal_digits(Integer value, char* end)
{
    auto magnitude = magnitude_of(value);
    char* last = end;
    auto put_pair = [&end](std::size_t pair) {
        end -= 2;
        end[0] = digit_pairs[2 * pair];
        end[1] = digit_pairs[2 * pair + 1];
    };
    if (Least >= 2 && magnitude < 100) {
        put_pair(magnitude);
    } else {
        for (; magnitude >= 100; magnitude /= 100)
            put_pair(magnitude % 100);
        if (magnitude >= 10)
            put_pair(magnitude);
        else
            *--end = char('0' + magnitude);
    }
    while (last - end < std::ptrdiff_t(Least))
        *--end = '0';
    return end;
}

// Writes value as %d does, its sign and at least Least digits, to end just
// before end; returns where it starts.
template <std::size_t Least = 1, typename Integer>
constexpr char* put_signed_decimal(Integer value, char* end)
{
    char* start = put_decimal_digits<Least>(value, end);
    if constexpr (std::is_signed_v<Integer>)
        if (value < 0)
            *--start = '-';
    return start;
}

// How many digits put_decimal_digits writes for value, at least one.
template <typename Integer>
constexpr std::size_t decimal_digits(Integer value)
{
    auto magnitude = magnitude_of(value);
    std::size_t digits = 1;
    for (; magnitude >= 100; magnitude /= 100)
        digits += 2;
    return digits + (magnitude >= 10);
}

} // namespace v2list
