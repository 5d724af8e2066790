// What v2check counts of an input, the fates and verdicts it counts, and
// the tally of causes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "input_record.hpp"
#include "message_catalog.hpp"
#include "piece_loop.hpp"
#include "piece_verdict.hpp"

namespace v2list {

// What a file comes to, and the exit status it asks for: every line
// converts from its own columns or is allowed; some do not; more than half
// do not; it is compressed data v2check cannot read; it has no line; it
// could not be read to its end, or holds another count of records than it
// states.
enum class file_verdict : unsigned char {
    clean,
    problems,
    other_layout,
    compressed,
    empty,
    incomplete
};
struct verdict_facts {
    std::string_view name;
    int status;
};
inline constexpr verdict_facts verdict_table[] = {{"clean", 0},        {"problems", 1},
                                                  {"other_layout", 1}, {"compressed", 1},
                                                  {"empty", 0},        {"incomplete", 1}};
inline constexpr std::size_t verdict_count = std::size(verdict_table);

struct check_counts {
    // Converted counts the shifted and suspect; allowed: dropped, but expected.
    std::uint64_t lines, pieces, converted, shifted, suspect, dropped, allowed, split;
    // Lines that do not convert from their own columns, allowed ones aside;
    // files whose last line has no newline; compressed files not read;
    // files not read to their end or whose count of records differs.
    std::uint64_t off_layout, unfinished, compressed, incomplete;
    // Lines allowed (the line stating the count of records among them) and
    // lines rejected; every other line is listed; records on lines of
    // records glued together past the first of each.
    std::uint64_t allowed_lines, rejected, glued;
    // The problems by fate, cause and the step it is about; the tally puts
    // the steps of a field or of ignored columns together.
    std::uint64_t causes[problem_fates][cause_count][scan_steps.size()];
    // Lines by their length without the newline, the last all longer; and
    // the allowed ones among them.
    std::uint64_t lengths[max_piece + 2], allowed_lengths[max_piece + 2];
    // Pieces dropped or shifted by the step where their reading left the
    // layout and how many columns late it read (early below max_piece): no
    // more than a piece has.
    std::uint64_t left_layout[scan_steps.size()][2 * max_piece + 1];
};

// The files checked, by verdict, and those not read to their end.
struct file_totals {
    std::uint64_t verdicts[verdict_count];
    std::uint64_t unread;
};

// Each fate's name, as the reports write it, and the count it adds one to.
struct fate_facts {
    std::string_view name;
    std::uint64_t check_counts::*count;
};
inline constexpr fate_facts fate_table[] = {
    {"dropped", &check_counts::dropped},       {"shifted", &check_counts::shifted},
    {"suspect", &check_counts::suspect},       {"split", &check_counts::split},
    {"compressed", &check_counts::compressed}, {"incomplete", &check_counts::incomplete},
    {"converted", &check_counts::converted}};
static_assert(std::size(fate_table) == problem_fates + 1);

file_verdict verdict_of(const check_counts& file);

// The lines written to the listing: those neither allowed nor rejected.
inline std::uint64_t listed_lines(const check_counts& c)
{
    return c.lines - c.allowed_lines - c.rejected;
}

// The records the lines hold, against a count a line states: every line
// neither allowed nor empty (of no characters), a line of records glued
// together as its records.
inline std::uint64_t records_read(const check_counts& c)
{
    return c.lines - c.allowed_lines - (c.lengths[0] - c.allowed_lengths[0]) + c.glued;
}

// The exit status the files' verdicts ask for: the highest of them.
int verdicts_status(const file_totals& files);

void add_counts(check_counts& total, const check_counts& more);

// Lines by their length, as check_counts has them.
using length_counts = std::array<std::uint64_t, max_piece + 2>;

// The lengths of every line, or of those not allowed alone.
length_counts line_lengths(const check_counts& counts, bool allowed_too);

// The commonest line lengths, most lines first and of as many the shortest,
// in top (room for three); returns how many.
std::size_t commonest_lengths(const length_counts& lengths, std::size_t* top);

// One row of the tally: a count of problems of one fate, cause and step.
struct tally_row {
    std::uint64_t count;
    std::size_t fate, cause, step;
};
inline constexpr std::size_t most_rows = problem_fates * cause_count * scan_steps.size();

// The tally, most frequent first, then by fate, cause and step, in rows
// (room for most_rows); returns how many.
std::size_t tally(const check_counts& c, tally_row* rows);

// Where the most pieces that left the layout left it, and by how much.
struct leaving {
    std::size_t step;
    std::ptrdiff_t shift;
    std::uint64_t pieces; // 0 where none left it
};
leaving most_left(const check_counts& c);

} // namespace v2list
