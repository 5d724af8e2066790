#include "check_counts.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <tuple>
#include <type_traits>

namespace v2list {

namespace {

// The step a tally counts a cause under, so that a field of several steps or
// ignored columns are one row: the first step of its name or of ignored
// columns; none for a cause about the line.
constexpr auto tally_steps = [] {
    std::array<std::size_t, scan_steps.size()> steps{};
    for (std::size_t s = 0; s < scan_steps.size(); ++s) {
        steps[s] = s;
        for (std::size_t t = s; t-- > 0;) {
            const scan_step &a = scan_steps[s], &b = scan_steps[t];
            bool same = a.assigns ? b.assigns && fields[scan_step_fields[s]].name ==
                                                     fields[scan_step_fields[t]].name
                                  : !b.assigns && a.kind == scan_step::characters &&
                                        b.kind == scan_step::characters;
            if (same)
                steps[s] = t;
        }
    }
    return steps;
}();

std::size_t tally_step(piece_cause cause, std::size_t step)
{
    return row_of(cause).about_step ? tally_steps[step] : 0;
}

} // namespace

// The counts are words and nothing else, so they add word by word.
static_assert(std::has_unique_object_representations_v<check_counts>);

void add_counts(check_counts& total, const check_counts& more)
{
    constexpr std::size_t words = sizeof total / sizeof(std::uint64_t);
    std::uint64_t sum[words], add[words];
    std::memcpy(sum, &total, sizeof total);
    std::memcpy(add, &more, sizeof more);
    for (std::size_t i = 0; i < words; ++i)
        sum[i] += add[i];
    std::memcpy(&total, sum, sizeof total);
}

file_verdict verdict_of(const check_counts& file)
{
    if (file.compressed > 0)
        return file_verdict::compressed;
    if (file.incomplete > 0)
        return file_verdict::incomplete;
    if (file.lines == 0)
        return file_verdict::empty;
    if (2 * file.off_layout > file.lines)
        return file_verdict::other_layout;
    if (file.rejected > 0) // a line dropped, shifted, suspect or split
        return file_verdict::problems;
    return file_verdict::clean;
}

int verdicts_status(const file_totals& files)
{
    int status = 0;
    for (std::size_t v = 0; v < verdict_count; ++v)
        if (files.verdicts[v] > 0)
            status = std::max(status, verdict_table[v].status);
    return status;
}

length_counts line_lengths(const check_counts& counts, bool allowed_too)
{
    length_counts lengths;
    for (std::size_t n = 0; n < lengths.size(); ++n)
        lengths[n] = counts.lengths[n] - (allowed_too ? 0 : counts.allowed_lengths[n]);
    return lengths;
}

std::size_t commonest_lengths(const length_counts& lengths, std::size_t* top)
{
    std::array<std::size_t, std::tuple_size_v<length_counts>> order;
    std::iota(order.begin(), order.end(), 0);
    std::partial_sort(order.begin(), order.begin() + 3, order.end(), [&](auto a, auto b) {
        return std::tie(lengths[b], a) < std::tie(lengths[a], b);
    });
    std::size_t found = 0;
    for (; found < 3 && lengths[order[found]] > 0; ++found)
        top[found] = order[found];
    return found;
}

std::size_t tally(const check_counts& c, tally_row* rows)
{
    static std::uint64_t merged[problem_fates][cause_count][scan_steps.size()];
    std::memset(merged, 0, sizeof merged);
    for (std::size_t k = 0; k < problem_fates; ++k)
        for (std::size_t cause = 0; cause < cause_count; ++cause)
            for (std::size_t s = 0; s < scan_steps.size(); ++s)
                merged[k][cause][tally_step(piece_cause(cause), s)] += c.causes[k][cause][s];
    std::size_t count = 0;
    for (std::size_t k = 0; k < problem_fates; ++k)
        for (std::size_t cause = 0; cause < cause_count; ++cause)
            for (std::size_t s = 0; s < scan_steps.size(); ++s)
                if (merged[k][cause][s] > 0)
                    rows[count++] = {merged[k][cause][s], k, cause, s};
    // std::sort, as std::stable_sort would allocate.
    std::sort(rows, rows + count, [](const tally_row& a, const tally_row& b) {
        return std::tie(b.count, a.fate, a.cause, a.step) <
               std::tie(a.count, b.fate, b.cause, b.step);
    });
    return count;
}

leaving most_left(const check_counts& c)
{
    leaving most{0, 0, 0};
    for (std::size_t s = 0; s < scan_steps.size(); ++s)
        for (std::size_t k = 0; k < std::size(c.left_layout[s]); ++k)
            if (c.left_layout[s][k] > most.pieces)
                most = {s, std::ptrdiff_t(k) - std::ptrdiff_t(max_piece), c.left_layout[s][k]};
    return most;
}

} // namespace v2list
