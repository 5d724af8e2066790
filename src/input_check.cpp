#include "input_check.hpp"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "text_builder.hpp"

namespace v2list {

namespace {

// The messages of one input.
struct message_writer {
    check_work& work;
    const char* name;
    std::uint64_t written = 0;

    bool wanted() const
    {
        return !work.options.quiet && written < work.options.max_messages && work.report.error == 0;
    }

    // One message, and where asked the piece with a caret under the column.
    bool write(std::uint64_t line, std::uint64_t column, const char* fate, const char* reason,
               const char* piece, std::size_t length, std::uint64_t piece_column)
    {
        ++written;
        // The message, and where asked the piece as read and a caret.
        char buffer[sizeof(piece_verdict::reason) + sizeof(shown_name::text) + 6 * max_piece];
        text_builder text{buffer, sizeof buffer};
        text.say(name, ':', line, ':', column, ": ", fate, ": ", reason, '\n');
        if (work.options.show_line) {
            std::size_t shown = length > 0 && piece[length - 1] == '\n' ? length - 1 : length;
            std::size_t before = std::min<std::uint64_t>(column - 1 - piece_column, shown);
            char escaped[4 * max_piece + 8];
            std::size_t caret = escape_text(piece, before, escaped, sizeof escaped);
            escape_text(piece, shown, escaped, sizeof escaped);
            text.say("  ", escaped, '\n');
            for (std::size_t i = 0; i < caret + 2; ++i)
                text.put(' ');
            text.put("^\n");
        }
        return append_output(work.report, buffer, text.used);
    }
};

// The step a tally counts a cause under: its own where the cause names a
// field, else none, so that "line too short" is one row whatever it ends in.
std::size_t tally_step(const piece_verdict& verdict)
{
    switch (verdict.cause) {
    case piece_cause::skips_white_space:
    case piece_cause::reads_neighbour:
    case piece_cause::stops_short:
    case piece_cause::takes_sign:
    case piece_cause::not_a_digit:
    case piece_cause::literal_missing: return verdict.step;
    case piece_cause::none:
    case piece_cause::zero_byte:
    case piece_cause::line_too_short:
    case piece_cause::empty_line: break;
    }
    return 0;
}

} // namespace

void add_counts(check_counts& total, const check_counts& more)
{
    total.lines += more.lines;
    total.pieces += more.pieces;
    total.converted += more.converted;
    total.shifted += more.shifted;
    total.dropped += more.dropped;
    total.split += more.split;
    for (std::size_t k = 0; k < 2; ++k)
        for (std::size_t c = 0; c < cause_count; ++c)
            for (std::size_t s = 0; s < scan_steps.size(); ++s)
                total.causes[k][c][s] += more.causes[k][c][s];
}

check_end check_input(check_work& work, int fd, const char* name, check_counts& counts)
{
    message_writer messages{work, name};
    // The line being read: its number and where the next piece starts in it.
    std::uint64_t line = 1, column = 0;
    bool problem = false;
    piece_verdict verdict;
    pieces_end end = for_each_piece(
        work.input, fd,
        [&](const char* piece, std::size_t length, std::size_t text_length) {
            bool newline = piece[length - 1] == '\n';
            counts.lines += column == 0;
            ++counts.pieces;
            bool ok = true;
            // A line goes on past its first piece: it is split, and says so
            // before the messages of its later pieces.
            if (column == max_piece) {
                ++counts.split;
                problem = true;
                if (messages.wanted())
                    ok = messages.write(line, max_piece + 1, "split",
                                        "the line is longer than 80 characters and is read in "
                                        "pieces of at most 80, each converted or dropped as a "
                                        "line of its own",
                                        piece, length, column);
            }
            bool wanted = messages.wanted();
            judge_piece(piece, length, text_length, column, wanted, verdict);
            switch (verdict.fate) {
            case piece_fate::converted: ++counts.converted; break;
            case piece_fate::shifted:
                ++counts.converted;
                ++counts.shifted;
                break;
            case piece_fate::dropped: ++counts.dropped; break;
            }
            if (verdict.fate != piece_fate::converted) {
                problem = true;
                ++counts.causes[verdict.fate == piece_fate::shifted][std::size_t(verdict.cause)]
                               [tally_step(verdict)];
                if (ok && wanted)
                    ok = messages.write(line, verdict.column, fate_name(verdict.fate),
                                        verdict.reason, piece, length, column);
            }
            column += length - newline;
            if (newline) {
                ++line;
                column = 0;
            }
            return ok && !(problem && work.options.quiet);
        },
        [&] { return flush_output(work.report); });
    return {end.read_error, end.stopped && problem && work.options.quiet};
}

void write_summary(output_buffer& report, const char* name, const check_counts& c)
{
    auto plural = [](std::uint64_t n) { return n == 1 ? "" : "s"; };
    char text[sizeof(shown_name::text) + 1024];
    int n = std::snprintf(text, sizeof text,
                          "%s%s%" PRIu64 " line%s and %" PRIu64 " piece%s read: %" PRIu64
                          " record%s converted, %" PRIu64 " of them shifted; %" PRIu64
                          " piece%s dropped; %" PRIu64 " line%s split\n",
                          name ? name : "", name ? ": " : "", c.lines, plural(c.lines), c.pieces,
                          plural(c.pieces), c.converted, plural(c.converted), c.shifted, c.dropped,
                          plural(c.dropped), c.split, plural(c.split));
    append_output(report, text, std::min(std::size_t(n), sizeof text - 1));

    // The tally, most frequent first; a cause and its count a line.
    struct row {
        std::uint64_t count;
        std::size_t fate, cause, step; // fate: 0 dropped, 1 shifted, 2 split
    };
    row rows[2 * cause_count * scan_steps.size() + 1];
    std::size_t count = 0;
    for (std::size_t k = 0; k < 2; ++k)
        for (std::size_t cause = 0; cause < cause_count; ++cause)
            for (std::size_t s = 0; s < scan_steps.size(); ++s)
                if (c.causes[k][cause][s] > 0)
                    rows[count++] = {c.causes[k][cause][s], k, cause, s};
    if (c.split > 0)
        rows[count++] = {c.split, 2, 0, 0};
    // Most frequent first, then in the order of the causes; std::sort, as
    // std::stable_sort would allocate.
    std::sort(rows, rows + count, [](const row& a, const row& b) {
        return std::tie(b.count, a.fate, a.cause, a.step) <
               std::tie(a.count, b.fate, b.cause, b.step);
    });
    for (std::size_t i = 0; i < count; ++i) {
        char words[128] = "line longer than 80 characters";
        const char* fate = "split";
        if (rows[i].fate < 2) {
            piece_verdict verdict{};
            verdict.fate = rows[i].fate == 1 ? piece_fate::shifted : piece_fate::dropped;
            verdict.cause = piece_cause(rows[i].cause);
            verdict.step = rows[i].step;
            cause_words(verdict, words, sizeof words);
            fate = fate_name(verdict.fate);
        }
        n = std::snprintf(text, sizeof text, "%8" PRIu64 " %-7s  %s\n", rows[i].count, fate, words);
        append_output(report, text, std::min(std::size_t(n), sizeof text - 1));
    }
}

} // namespace v2list
