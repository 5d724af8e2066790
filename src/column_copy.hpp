// Records converted by copying columns, as the plan has it. The shortcut
// takes a plain piece: digits wherever the input layout reads a number, its
// literal characters in place, and no zero byte up to its last field, so
// that every field sits at its own columns. The middle way takes any other
// piece: it reads just the numbers, by the reader's own rule, and copies
// every other field from where the numbers before it shifted it. Both serve
// only a layout that copies_columns.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "column_plan.hpp"
#include "input_record.hpp"

namespace v2list {

namespace column_detail {

constexpr std::uint64_t low_bytes(std::size_t n)
{
    return n >= 8 ? ~0ull : (1ull << 8 * n) - 1;
}
constexpr std::uint64_t first_bytes(std::size_t n)
{
    return std::endian::native == std::endian::little ? low_bytes(n) : ~low_bytes(8 - n);
}

// The digits of number run I, at its place in a word that packs all runs
// one after another. The piece holds 8 characters from the run on.
template <std::size_t I>
inline std::uint64_t packed_run(const char* in)
{
    constexpr span run = plan.numbers[I];
    constexpr std::size_t at = plan.packed_at[I];
    std::uint64_t word;
    std::memcpy(&word, in + run.column, 8);
    word &= first_bytes(run.width);
    return std::endian::native == std::endian::little ? word << 8 * at : word >> 8 * at;
}

// Whether all the number runs fit in one word, each with 8 characters of
// the shortest record from its first column on.
inline constexpr bool numbers_pack = [] {
    for (std::size_t i = 0; i < plan.number_count; ++i)
        if (plan.numbers[i].column + 8 > shortest_record)
            return false;
    return plan.packed_width <= 8;
}();

// True when every character where a number is read is a decimal digit,
// the runs tested together in one word: on plain records that takes 110
// instructions a record against 124 for numbers_plain_each, and 5 to 8% of
// the wall time. Only for a layout whose numbers_pack.
template <std::size_t... I>
inline bool numbers_plain_packed(const char* in, std::index_sequence<I...>)
{
    constexpr std::uint64_t zeros = 0x3030303030303030 & ~first_bytes(plan.packed_width);
    // Less '0', a digit is 0 to 9: adding 0x76 leaves its high bit clear,
    // and sets it for 10 to 0x7f; bytes from 0x80 have it already. A carry
    // out of a byte comes only from one that has failed.
    std::uint64_t offsets = (packed_run<I>(in) | ... | zeros) ^ 0x3030303030303030;
    return (((offsets + 0x7676767676767676) | offsets) & 0x8080808080808080) == 0;
}

// The same, a character at a time, for any layout.
template <std::size_t... I>
inline bool numbers_plain_each(const char* in, std::index_sequence<I...>)
{
    auto digits = [in](span run) {
        for (std::size_t i = 0; i < run.width; ++i)
            if (!is_digit(in[run.column + i]))
                return false;
        return true;
    };
    return (digits(plan.numbers[I]) && ...);
}

template <std::size_t... I>
inline bool literals_in_place(const char* in, std::index_sequence<I...>)
{
    return ((in[plan.literals[I].column] == plan.literal_chars[I]) && ...);
}

template <copy_op Op>
inline void copy(const char* in, char* line)
{
    if constexpr (Op.justify_width == 0) {
        std::memcpy(line + Op.to, in + Op.from, Op.length);
    } else if (in[Op.from + Op.length - 1] != ' ') {
        // Nothing to trim: the text fills the end of its columns as it is.
        std::memcpy(line + Op.to + Op.justify_width - Op.length, in + Op.from, Op.length);
    } else {
        std::size_t n = trimmed_length(in + Op.from, Op.length - 1);
        std::memcpy(line + Op.to + Op.justify_width - n, in + Op.from, n);
    }
}

template <std::size_t... I>
inline void copy_plain(const char* in, char* line, std::index_sequence<I...>)
{
    (copy<plan.plain_copies.ops[I]>(in, line), ...);
}

// Step S of the scan format for a piece whose numbers may shift what
// follows them: a number is read by the reader's own rule, and how far it
// ended from its own columns is the shift of the steps after it; a literal
// must be in its shifted place; other characters are taken as they come,
// and the last field needs one. False where the scan would not complete.
template <std::size_t S>
[[gnu::always_inline]] inline bool read_shifted(const char*& p, const char* end, const char* piece,
                                                std::ptrdiff_t* shifts, std::int32_t* values)
{
    constexpr scan_step step = scan_steps[S];
    if constexpr (step.kind == scan_step::number) {
        const char* start;
        std::int32_t value;
        if (scan_number(p, end, step.width, start, value) != scan_result::assigned)
            return false;
        if constexpr (step.assigns)
            values[scan_step_fields[S]] = value;
        shifts[plan.numbers_before[S] + 1] = (p - piece) - std::ptrdiff_t(step_end(S));
        return true;
    } else if constexpr (step.kind == scan_step::literal) {
        return p < end && *p++ == step.symbol;
    } else if constexpr (S + 1 == scan_steps.size()) {
        return p < end; // the last field needs one character
    } else {
        // Taken as they come; p may pass the end here, and the next number
        // or literal then fails.
        p += step.width;
        return true;
    }
}

template <std::size_t... S>
[[gnu::always_inline]] inline bool read_all_shifted(const char* piece, std::size_t text_length,
                                                    std::ptrdiff_t* shifts, std::int32_t* values,
                                                    std::index_sequence<S...>)
{
    const char* p = piece;
    return (read_shifted<S>(p, piece + text_length, piece, shifts, values) && ...);
}

template <std::size_t... I>
[[gnu::always_inline]] inline void copy_shifted(const char* in, const std::ptrdiff_t* shifts,
                                                char* line, std::index_sequence<I...>)
{
    (copy<plan.shifted_copies.ops[I]>(in + shifts[plan.shifted_copies.ops[I].numbers_before], line),
     ...);
}

// A number read from Width columns, printed zero-padded to that width: the
// only way the plan lets numbers print, so the line keeps its columns.
template <std::size_t Width>
inline void put_zero_padded(char* out, std::int32_t value)
{
    put_decimal_digits<Width>(value, out + Width);
    if (value < 0)
        out[0] = '-';
}

template <std::size_t... I>
[[gnu::always_inline]] inline void print_numbers(const std::int32_t* values, char* line,
                                                 std::index_sequence<I...>)
{
    (put_zero_padded<field_places[plan.number_prints[I].field].width>(
         line + plan.number_prints[I].to, values[plan.number_prints[I].field]),
     ...);
}

} // namespace column_detail

// Whether a piece is plain: digits wherever a number is read and the
// literals in place, so that every field is read from its own columns. The
// piece must hold at least shortest_record characters, none of them zero.
inline bool plain_record(const char* piece)
{
    using namespace column_detail;
    constexpr auto runs = std::make_index_sequence<plan.number_count>();
    bool digits;
    if constexpr (numbers_pack)
        digits = numbers_plain_packed(piece, runs);
    else
        digits = numbers_plain_each(piece, runs);
    return digits && literals_in_place(piece, std::make_index_sequence<plan.literal_count>());
}

// Writes the record line of a plain piece to line and returns its length;
// returns 0, writing nothing, when the piece is not plain.
inline std::size_t copy_plain_columns(const char* piece, char* line)
{
    using namespace column_detail;
    if (!plain_record(piece))
        return 0;
    std::memcpy(line, plan.line_template, plan.line_length);
    copy_plain(piece, line, std::make_index_sequence<plan.plain_copies.count>());
    return plan.line_length;
}

// The middle way, for a piece whose text (its characters before any zero
// byte) has text_length characters and whose numbers may be padded with
// white space, signed or short: the numbers are read by the reader's own
// rule, every other field is copied from where they shifted it. Returns the
// line's length, or 0, writing nothing, when the piece is not a complete
// record: it refuses a piece just where the scan would fail. Inlined into
// the loop whatever the compiler thinks of its size: called instead, g++ 12
// takes 292 instructions a padded record against 270.
[[gnu::always_inline]] inline std::size_t copy_shifted_columns(const char* piece,
                                                               std::size_t text_length, char* line)
{
    using namespace column_detail;
    // shifts[s]: how many columns late (or, negative, early) the steps after
    // the first s numbers are read.
    std::ptrdiff_t shifts[plan.shift_count];
    std::int32_t values[field_count];
    shifts[0] = 0;
    if (!read_all_shifted(piece, text_length, shifts, values,
                          std::make_index_sequence<scan_steps.size()>()))
        return 0;
    std::memcpy(line, plan.line_template, plan.line_length);
    copy_shifted(piece, shifts, line, std::make_index_sequence<plan.shifted_copies.count>());
    print_numbers(values, line, std::make_index_sequence<plan.number_print_count>());
    return plan.line_length;
}

} // namespace v2list
