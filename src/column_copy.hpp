// Records converted by copying columns, as the plan has it. The shortcut
// takes a plain piece: digits wherever the input layout reads a number, its
// literal characters in place, and no zero byte up to its last field, so
// that every field sits at its own columns. The middle way takes any other
// piece: it reads just the numbers, by the reader's own rule, and copies
// every other field from where the numbers before it moved it. Both serve
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

// True when every character where a number is read is a decimal digit.
// When all the runs fit in one word, they are tested together: on plain
// records that takes 110 instructions a record against 124 for the plain
// loop, and 5 to 8% of the wall time.
template <std::size_t... I>
inline bool numbers_plain(const char* in, std::index_sequence<I...>)
{
    if constexpr (plan.packed_width <= 8 &&
                  ((plan.numbers[I].column + 8 <= shortest_record) && ...)) {
        constexpr std::uint64_t zeros = 0x3030303030303030 & ~first_bytes(plan.packed_width);
        // Less '0', a digit is 0 to 9: adding 0x76 leaves its high bit clear,
        // and sets it for 10 to 0x7f; bytes from 0x80 have it already. A
        // carry out of a byte comes only from one that has failed.
        std::uint64_t offsets = (packed_run<I>(in) | ... | zeros) ^ 0x3030303030303030;
        return (((offsets + 0x7676767676767676) | offsets) & 0x8080808080808080) == 0;
    } else {
        auto digits = [in](span run) {
            for (std::size_t i = 0; i < run.width; ++i)
                if (in[run.column + i] < '0' || in[run.column + i] > '9')
                    return false;
            return true;
        };
        return (digits(plan.numbers[I]) && ...);
    }
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
        std::size_t n = Op.length - 1;
        while (n > 0 && in[Op.from + n - 1] == ' ')
            --n;
        std::memcpy(line + Op.to + Op.justify_width - n, in + Op.from, n);
    }
}

template <std::size_t... I>
inline void copy_plain(const char* in, char* line, std::index_sequence<I...>)
{
    (copy<plan.plain_copies.ops[I]>(in, line), ...);
}

// Step S of the scan format for a piece whose numbers may move what follows
// them: a number is read by the reader's own rule, and how far it ended from
// its own columns is the shift of the stretch after it; a literal must be in
// its moved place; other characters are taken as they come, and the last
// field needs one. False where the full reader is needed.
template <std::size_t S>
inline bool read_moved(const char*& p, const char* end, const char* piece, std::ptrdiff_t* shifts,
                       std::int32_t* values)
{
    constexpr scan_step step = scan_steps[S];
    if constexpr (step.kind == scan_step::number) {
        const char* start;
        std::int32_t value;
        if (scan_number<step.width>(p, end, start, value) != scan_result::assigned)
            return false;
        if constexpr (step.assigns)
            values[scan_step_fields[S]] = value;
        constexpr std::size_t own_end = scan_step_columns[S] + step.width;
        shifts[plan.step_segment[S] + 1] = (p - piece) - std::ptrdiff_t(own_end);
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
inline bool read_all_moved(const char* piece, std::size_t text_length, std::ptrdiff_t* shifts,
                           std::int32_t* values, std::index_sequence<S...>)
{
    const char* p = piece;
    return (read_moved<S>(p, piece + text_length, piece, shifts, values) && ...);
}

template <std::size_t... I>
inline void copy_moved(const char* in, const std::ptrdiff_t* shifts, char* line,
                       std::index_sequence<I...>)
{
    (copy<plan.moved_copies.ops[I]>(in + shifts[plan.moved_copies.ops[I].segment], line), ...);
}

// A number read from width columns, printed zero-padded to that width: the
// only way the plan lets numbers print, so the line keeps its columns.
template <std::size_t Width>
inline void put_zero_padded(char* out, std::int32_t value)
{
    std::uint32_t magnitude = value < 0 ? 0u - std::uint32_t(value) : std::uint32_t(value);
    for (std::size_t i = Width; i-- > 0; magnitude /= 10)
        out[i] = char('0' + magnitude % 10);
    if (value < 0)
        out[0] = '-';
}

template <std::size_t... I>
inline void print_numbers(const std::int32_t* values, char* line, std::index_sequence<I...>)
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
    return numbers_plain(piece, std::make_index_sequence<plan.number_count>()) &&
           literals_in_place(piece, std::make_index_sequence<plan.literal_count>());
}

// Writes the record line of a plain piece to line and returns its length;
// returns 0, writing nothing, when the piece is not plain.
inline std::size_t copy_plain_columns(const char* piece, char* line)
{
    using namespace column_detail;
    if (!plain_record(piece))
        return 0;
    std::memcpy(line, plan.blank, plan.line_length);
    copy_plain(piece, line, std::make_index_sequence<plan.plain_copies.count>());
    return plan.line_length;
}

// The numbers of a piece read by the reader's own rule, and how far each
// moved what follows it: shifts[s] is how many columns late (or, negative,
// early) the stretch after the first s numbers is read.
struct moved_numbers {
    std::ptrdiff_t shifts[column_detail::plan.segments];
    std::int32_t values[field_count];
};

// Reads the numbers of a piece whose text (its characters before any zero
// byte) has text_length characters, checking the literals and the length at
// their moved places; false just where the scan would not complete.
// Inlined into the loop whatever the compiler thinks of its size: called
// instead, g++ 12 takes 292 instructions a padded record against 270.
[[gnu::always_inline]] inline bool read_moved_numbers(const char* piece, std::size_t text_length,
                                                      moved_numbers& numbers)
{
    numbers.shifts[0] = 0;
    return column_detail::read_all_moved(piece, text_length, numbers.shifts, numbers.values,
                                         std::make_index_sequence<scan_steps.size()>());
}

// The middle way, for a piece whose text (its characters before any zero
// byte) has text_length characters and whose numbers may be padded with
// white space, signed or short: the numbers are read, every other field is
// copied from where they moved it. Returns the line's length, or 0, writing
// nothing, when the piece is not a complete record: it refuses a piece just
// where the scan would fail.
[[gnu::always_inline]] inline std::size_t copy_moved_columns(const char* piece,
                                                             std::size_t text_length, char* line)
{
    using namespace column_detail;
    moved_numbers numbers;
    if (!read_moved_numbers(piece, text_length, numbers))
        return 0;
    std::memcpy(line, plan.blank, plan.line_length);
    copy_moved(piece, numbers.shifts, line, std::make_index_sequence<plan.moved_copies.count>());
    print_numbers(numbers.values, line, std::make_index_sequence<plan.number_print_count>());
    return plan.line_length;
}

} // namespace v2list
