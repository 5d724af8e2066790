// The fast path: a plain piece, with digits wherever a number is read and its
// literals in place, has every field at its own columns: its line is copied.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "input_record.hpp"
#include "output_listing.hpp"

namespace v2list {

namespace plain_detail {

struct span {
    std::size_t column; // counted from 0
    std::size_t width;
};

// The columns a plain piece holds digits in, adjacent numbers in one run,
// and its literals.
struct plain_columns {
    std::size_t number_count = 0, literal_count = 0;
    span numbers[scan_steps.size()]{};
    std::size_t packed_at[scan_steps.size()]{}; // where each run goes in a packed word
    std::size_t packed_width = 0;
    std::size_t literals[scan_steps.size()]{};
};

constexpr plain_columns make_columns()
{
    plain_columns plain;
    for (std::size_t i = 0; i < scan_steps.size(); ++i) {
        const scan_step& step = scan_steps[i];
        std::size_t column = scan_step_columns[i];
        if (step.kind == scan_step::number) {
            span* last = plain.number_count > 0 ? &plain.numbers[plain.number_count - 1] : nullptr;
            if (last != nullptr && last->column + last->width == column) {
                last->width += step.width;
            } else {
                plain.packed_at[plain.number_count] = plain.packed_width;
                plain.numbers[plain.number_count++] = {column, step.width};
            }
            plain.packed_width += step.width;
        }
        if (step.kind == scan_step::literal)
            plain.literals[plain.literal_count++] = i;
    }
    return plain;
}

inline constexpr plain_columns columns = make_columns();

constexpr std::uint64_t low_bytes(std::size_t n)
{
    return n >= 8 ? ~0ull : (1ull << 8 * n) - 1;
}
constexpr std::uint64_t first_bytes(std::size_t n)
{
    return std::endian::native == std::endian::little ? low_bytes(n) : ~low_bytes(8 - n);
}

// The digits of number run I, at its place in a word packing all runs.
template <std::size_t I>
inline std::uint64_t packed_run(const char* in)
{
    constexpr span run = columns.numbers[I];
    constexpr std::size_t at = columns.packed_at[I];
    std::uint64_t word;
    std::memcpy(&word, in + run.column, 8);
    word &= first_bytes(run.width);
    return std::endian::native == std::endian::little ? word << 8 * at : word >> 8 * at;
}

// Whether the runs fit in one word, each read 8 characters within a record.
inline constexpr bool numbers_pack = [] {
    for (std::size_t i = 0; i < columns.number_count; ++i)
        if (columns.numbers[i].column + 8 > shortest_record)
            return false;
    return columns.packed_width <= 8;
}();

// Whether every character where a number is read is a digit, all tested in
// one word (doc/performance.md says what it saves).
template <std::size_t... I>
inline bool numbers_plain_packed(const char* in, std::index_sequence<I...>)
{
    constexpr std::uint64_t zeros = 0x3030303030303030 & ~first_bytes(columns.packed_width);
    // Less '0', a digit is 0 to 9: adding 0x76 leaves its high bit clear and
    // sets it for 10 to 0x7f; from 0x80 it is set. Only a failed byte carries.
    std::uint64_t offsets = (packed_run<I>(in) | ... | zeros) ^ 0x3030303030303030;
    return (((offsets + 0x7676767676767676) | offsets) & 0x8080808080808080) == 0;
}

template <std::size_t... I>
inline bool literals_in_place(const char* in, std::index_sequence<I...>)
{
    return (
        (in[scan_step_columns[columns.literals[I]]] == scan_steps[columns.literals[I]].symbol) &&
        ...);
}

template <std::size_t... I>
inline void copy_plain(const char* in, char* line, std::index_sequence<I...>)
{
    using listing_detail::plan;
    (listing_detail::copy<plan.plain_copies.ops[I]>(in + plan.plain_copies.ops[I].from, line), ...);
}

} // namespace plain_detail

// Whether a plain piece's line is its columns copied; not for a layout that
// prints a number otherwise than its digits or whose numbers pass a word.
inline constexpr bool copies_plain =
    listing_detail::plan.refusal == nullptr && plain_detail::numbers_pack;

// Whether a piece of shortest_record characters or more, none zero, is plain.
inline bool plain_record(const char* piece)
{
    using namespace plain_detail;
    return numbers_plain_packed(piece, std::make_index_sequence<columns.number_count>()) &&
           literals_in_place(piece, std::make_index_sequence<columns.literal_count>());
}

// Writes the record line of a plain piece to line and returns its length.
inline std::size_t copy_plain_columns(const char* piece, char* line)
{
    using listing_detail::plan;
    std::memcpy(line, plan.line_template, plan.line_length);
    plain_detail::copy_plain(piece, line, std::make_index_sequence<plan.plain_copies.count>());
    return plan.line_length;
}

} // namespace v2list
