// Whole numbers written as decimal text, for the listing and the report
// alike.
#pragma once

#include <cstddef>
#include <type_traits>

namespace v2list {

// Writes the decimal digits of value's magnitude, at least Least of them
// (zeros in front), so that they end just before end, as %d writes a number
// but for its sign; returns where they start. The Least digits are written
// by a loop of fixed length, which the compiler unrolls.
template <std::size_t Least = 1, typename Integer>
constexpr char* put_decimal_digits(Integer value, char* end)
{
    // Unsigned, so that the most negative value has a magnitude too.
    auto magnitude = static_cast<std::make_unsigned_t<Integer>>(value);
    if constexpr (std::is_signed_v<Integer>)
        if (value < 0)
            magnitude = 0 - magnitude;
    for (std::size_t i = 0; i < Least; ++i, magnitude /= 10)
        *--end = char('0' + magnitude % 10);
    for (; magnitude != 0; magnitude /= 10)
        *--end = char('0' + magnitude % 10);
    return end;
}

} // namespace v2list
