#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>
#include <numeric>
#include <string>
#include <string_view>

#include "check_lines.hpp"
#include "check_report.hpp"
#include "input_source.hpp"
#include "report_messages.hpp"

namespace v2list {

namespace {

// How much of the piece before the cut a split line's caret view shows.
constexpr std::size_t split_tail = 24;

// Whether a line's first piece, without its newline, matches an allowed
// pattern; a zero byte is a character like any other there.
bool matches_allowed(const check_options& options, const char* piece, std::size_t length)
{
    regmatch_t text[1];
    text[0].rm_so = 0;
    text[0].rm_eo = regoff_t(without_newline(piece, length));
    for (std::size_t i = 0; i < options.allowed_count; ++i)
        if (regexec(&options.allowed[i], piece, 1, text, REG_STARTEND) == 0)
            return true;
    return false;
}

// What the pieces of a line come to: each counted, a record to trust
// listed, a problem said, and a line with a problem rejected as it was.
struct line_outputs {
    check_work& work;
    check_counts& counts;
    message_writer messages;
    bool line_problem = false; // the line goes to the rejects
    bool line_off = false;     // the line does not convert from its own columns
    piece_verdict verdict{};
    input_record reading{}; // of the piece judged, where it is not plain
    // The next piece of a line held, judged while the held line may be
    // allowed, for its turn if it is not.
    piece_verdict next_verdict{};
    input_record next_reading{};
    // Lines that state the count of records, the first and second of them
    // and what the first states.
    std::uint64_t count_lines = 0, count_line = 0, second_count_line = 0;
    std::string stated = {};
    bool has_stated = false;                 // the pattern's group took part in the match
    bool newline_due = work.rejects_unended; // another file's last line in the rejects

    bool keep_rejects() const { return work.rejects.fd >= 0; }
    bool keep_listing() const { return work.listing.fd >= 0; }
    bool problems = false; // any met: with -q, the check stops at the first

    // Whether the check goes on: -q stops it at a problem, once the line
    // is done (all of it in the rejects, where they are kept).
    bool goes_on(bool line_done) const
    {
        return !(work.options.quiet && problems && (line_done || !keep_rejects()));
    }

    // The line v2list writes for a record to trust goes to the listing.
    bool list(const char* piece)
    {
        output_buffer& listing = work.listing;
        if (sizeof listing.buffer - listing.used < max_line && !flush_output(listing))
            return false;
        listing.used += verdict_line(verdict, reading, piece, listing.buffer + listing.used);
        return true;
    }

    // A line v2list drops that states the count of records, or matches an
    // allowed pattern: expected, no problem.
    bool expected_line(const char* piece, std::size_t length, std::uint64_t line)
    {
        return states_count(piece, length, line) || matches_allowed(work.options, piece, length);
    }

    bool states_count(const char* piece, std::size_t length, std::uint64_t line)
    {
        regmatch_t match[2];
        match[0] = {0, regoff_t(without_newline(piece, length))};
        if (work.options.record_count == nullptr ||
            regexec(work.options.record_count, piece, 2, match, REG_STARTEND) != 0)
            return false;
        if (++count_lines == 2)
            second_count_line = line;
        if (count_lines == 1)
            count_line = line;
        has_stated = count_lines == 1 ? match[1].rm_so >= 0 : has_stated;
        if (count_lines == 1 && has_stated)
            stated.assign(piece + match[1].rm_so, std::size_t(match[1].rm_eo - match[1].rm_so));
        return true;
    }

    // The line is marked for the rejects, and counted there once.
    void mark_problem()
    {
        counts.rejected += !line_problem;
        line_problem = problems = true;
    }

    // The characters of a line with a problem go to the rejects as they were.
    // A last line without its newline gets one there when another file's
    // lines follow, so that no two lines join.
    bool reject(const char* text, std::size_t length)
    {
        if (!keep_rejects() || !line_problem)
            return true;
        if (newline_due && !append_output(work.rejects, "\n", 1))
            return false;
        newline_due = false;
        work.rejects_unended = text[length - 1] != '\n';
        return append_output(work.rejects, text, length);
    }

    // A piece as v2list takes it, starting at column of line: judged (unless
    // judged already, its verdict and reading in place), counted, said, and
    // rejected with its line. whole: it is all of its line, which may be
    // allowed.
    [[gnu::always_inline]] bool piece(const char* piece, std::size_t length,
                                      std::size_t text_length, std::uint64_t line,
                                      std::uint64_t column, bool whole, bool judged = false)
    {
        ++counts.pieces;
        bool ok = true;
        if (!judged)
            judge_piece(piece, length, text_length, column, reading, verdict);
        piece_fate fate = verdict.fate;
        if (fate == piece_fate::dropped && whole && expected_line(piece, length, line)) {
            allowed(0, without_newline(piece, length));
            ++counts.allowed;
        } else if (fate == piece_fate::converted) {
            ++counts.converted;
            if (keep_listing() && whole)
                ok = list(piece);
        } else {
            ++(counts.*fate_table[std::size_t(fate)].count);
            counts.converted += fate != piece_fate::dropped;
            if (fate != piece_fate::suspect) {
                counts.off_layout += !line_off;
                line_off = true;
            }
            mark_problem();
            ++counts.causes[std::size_t(fate)][std::size_t(verdict.cause)][verdict.step];
            if (verdict.shift != 0)
                ++counts.left_layout[verdict.left][std::size_t(max_piece + verdict.shift)];
            if (messages.wanted())
                ok = say(line, piece, length, text_length, column);
        }
        return ok && reject(piece, length);
    }

    // The message on the piece just judged, its caret view the piece
    // without its newline.
    bool say(std::uint64_t line, const char* piece, std::size_t length, std::size_t text_length,
             std::uint64_t column)
    {
        diagnosis d = diagnose_piece(verdict, reading, piece, length, text_length, line, column);
        std::string_view shown(piece, d.length);
        char listing[max_line];
        std::size_t listing_length = 0;
        if (verdict.fate != piece_fate::dropped && (work.options.json || work.options.show_line))
            listing_length = verdict_line(verdict, reading, piece, listing) - 1;
        return messages.write({d, shown, shown, verdict.at, {listing, listing_length}});
    }

    // The line goes on past its first piece, first, to second: split, said
    // before its later pieces' messages, the caret view showing the cut.
    bool split(std::uint64_t line, const char* first, const char* second, std::size_t length)
    {
        ++counts.split;
        ++counts.causes[std::size_t(piece_fate::split)][std::size_t(piece_cause::line_split)][0];
        if (!messages.wanted())
            return true;
        char caret_view[split_tail + max_piece] = "...";
        std::memcpy(caret_view + 3, first + max_piece - (split_tail - 3), split_tail - 3);
        std::size_t later = without_newline(second, length);
        std::memcpy(caret_view + split_tail, second, later);
        diagnosis d = file_diagnosis(piece_fate::split, piece_cause::line_split, line);
        d.column = column_in_line(0, max_piece);
        d.length = later;
        return messages.write({d, {second, later}, {caret_view, split_tail + later}, split_tail});
    }

    // Pieces of a line, and characters of it in all, allowed whole.
    void allowed(std::size_t pieces, std::uint64_t characters)
    {
        counts.pieces += pieces;
        counts.allowed += pieces;
        ++counts.allowed_lines;
        ++counts.allowed_lengths[std::min<std::uint64_t>(characters, max_piece + 1)];
    }

    // A problem of the file, or of a line as a whole, where it begins.
    static diagnosis file_diagnosis(piece_fate fate, piece_cause cause, std::uint64_t line)
    {
        diagnosis d;
        d.fate = fate;
        d.line = line;
        d.column = column_in_line(0, 0);
        d.cause.cause = cause;
        return d;
    }

    void line_end(std::uint64_t characters)
    {
        ++counts.lines;
        ++counts.lengths[std::min<std::uint64_t>(characters, max_piece + 1)];
        line_problem = line_off = false;
    }

    // The input ends before its end, or holds another count of records than
    // it states: one message, after the last line, whatever the cap, and the
    // file's summary says why.
    void incomplete(diagnosis& d)
    {
        ++counts.incomplete;
        problems = true;
        ++counts.causes[std::size_t(piece_fate::incomplete)][std::size_t(d.cause.cause)][0];
        work.ending = d;
        if (messages.file_message_wanted())
            messages.write({work.ending}, false);
    }

    // Whether the line stating the count states records, in decimal digits.
    bool stated_count(std::uint64_t records) const
    {
        std::uint64_t n = 0;
        const char* end = stated.data() + stated.size();
        auto [stop, error] = std::from_chars(stated.data(), end, n);
        return error == std::errc() && stop == end && n == records;
    }

    // At the end of the input: data that stopped being readable, or the
    // count a line states, where one is asked for, against the records read.
    void check_end(const input_source& source)
    {
        // An empty line not allowed is dropped as one, always.
        const auto& empty =
            counts.causes[std::size_t(piece_fate::dropped)][std::size_t(piece_cause::empty_line)];
        diagnosis d = file_diagnosis(piece_fate::incomplete, source.broken, counts.lines + 1);
        file_facts& f = work.ending_facts;
        d.file = &f;
        f = {};
        f.records = counts.lines - counts.allowed_lines -
                    std::accumulate(std::begin(empty), std::end(empty), 0ULL);
        f.format = row_of(source.format).code;
        work.ending_stated = stated;
        f.has_stated = has_stated && count_lines == 1;
        f.stated = work.ending_stated;
        f.stating_line = count_lines > 1 ? second_count_line : count_line;
        if (source.broken != piece_cause::none) {
            work.ending_why = source.why;
            f.why = work.ending_why;
            f.byte = source.broken_at;
            f.has_byte = true;
        } else if (work.options.record_count == nullptr ||
                   (count_lines == 1 && stated_count(f.records))) {
            return;
        } else {
            d.cause.cause = count_lines == 0  ? piece_cause::count_missing
                            : count_lines > 1 ? piece_cause::count_twice
                                              : piece_cause::count_differs;
        }
        incomplete(d);
    }

    // The input begins with a compressed format's signature: one message,
    // and nothing more is read.
    void compressed(const char* piece, std::size_t length, piece_cause format)
    {
        ++counts.compressed;
        problems = true;
        ++counts.causes[std::size_t(piece_fate::compressed)][std::size_t(format)][0];
        if (!messages.wanted())
            return; // a failed write is in the report's error
        diagnosis d = file_diagnosis(piece_fate::compressed, format, 1);
        d.length = without_newline(piece, length);
        messages.write({d, {piece, d.length}, {piece, d.length}, 0});
    }
};

// Cuts an input's pieces into lines as they come. A first piece of max_piece
// characters waits in work.held for the next: the line may end with it (a
// card image, whose newline alone is nothing), or go on, split. A split line
// whose first piece is dropped and allowed waits there while its pieces are
// dropped, and is then allowed whole, or taken piece by piece at the first
// that is not.
struct line_reader {
    check_work& work;
    const input_source& source;
    line_outputs out;
    std::uint64_t line = 1, column = 0; // the line, and where its next piece starts
    std::size_t held = 0;               // max_piece, or more where the line may be allowed
    bool first = true;                  // no piece read yet

    void end_line()
    {
        out.line_end(column);
        ++line;
        column = 0;
    }

    bool take(const char* piece, std::size_t length, std::size_t text_length, bool whole, bool ends,
              bool judged = false)
    {
        return take_inline(piece, length, text_length, whole, ends, judged);
    }

    // Inlined where a line is one piece, the common case, which it makes
    // measurably faster (doc/performance.md).
    [[gnu::always_inline]] bool take_inline(const char* piece, std::size_t length,
                                            std::size_t text_length, bool whole, bool ends,
                                            bool judged = false)
    {
        bool ok = out.piece(piece, length, text_length, line, column, whole, judged);
        column += without_newline(piece, length);
        if (ends)
            end_line();
        return ok;
    }

    // A held piece, of max_piece characters, taken.
    bool take_held_piece(std::size_t at, bool whole, bool ends, bool judged = false)
    {
        const char* piece = work.held + at;
        return take(piece, max_piece, text_length_of(piece, max_piece), whole, ends, judged);
    }

    // Judges a piece at column into the verdict and reading given.
    bool dropped(const char* piece, std::size_t length, std::uint64_t at, input_record& reading,
                 piece_verdict& verdict)
    {
        judge_piece(piece, length, text_length_of(piece, length), at, reading, verdict);
        return verdict.fate == piece_fate::dropped;
    }

    // The held pieces taken one by one, the line being split after the
    // first; first_judged: the first's verdict is in place.
    bool take_split(const char* next, std::size_t next_length, bool first_judged)
    {
        out.mark_problem();
        bool later_held = held > max_piece;
        bool ok = take_held_piece(0, false, false, first_judged) &&
                  out.split(line, work.held, later_held ? work.held + max_piece : next,
                            later_held ? max_piece : next_length);
        for (std::size_t at = max_piece; ok && at < held; at += max_piece)
            ok = take_held_piece(at, false, false);
        held = 0;
        return ok;
    }

    // A piece of a line whose first pieces are held.
    bool go_on(const char* piece, std::size_t length, std::size_t text_length, bool ends)
    {
        bool newline = piece[length - 1] == '\n';
        if (held == max_piece && newline && (length == 1 || (length == 2 && piece[0] == '\r'))) {
            // A card image, a line of exactly max_piece characters: its
            // newline, or carriage return and newline, is nothing.
            bool ok = take_held_piece(0, true, false) && out.reject(piece, length);
            held = 0;
            end_line();
            return ok;
        }
        // Each piece is judged once: the first as it may be allowed, the
        // next as it may be too; their verdicts serve where the line is split.
        bool first_judged = held > max_piece || work.options.allowed_count > 0;
        bool allowing =
            held > max_piece || (work.options.allowed_count > 0 &&
                                 dropped(work.held, held, 0, out.reading, out.verdict) &&
                                 matches_allowed(work.options, work.held, held));
        // Up to most_held characters, the newline aside.
        bool fits = held + length - newline <= check_work::most_held;
        if (!allowing || !fits ||
            !dropped(piece, length, column + held, out.next_reading, out.next_verdict)) {
            bool next_judged = allowing && fits;
            if (!take_split(piece, length, first_judged))
                return false;
            if (next_judged) {
                out.verdict = out.next_verdict;
                if (!out.verdict.plain)
                    out.reading = out.next_reading;
            }
            return take(piece, length, text_length, false, ends, next_judged);
        }
        if (ends) {
            allow_held(held / max_piece + 1, held + length - newline);
        } else {
            std::memcpy(work.held + held, piece, length);
            held += length;
        }
        return true;
    }

    // The held line, and characters of it in all, allowed whole.
    void allow_held(std::size_t pieces, std::size_t characters)
    {
        out.allowed(pieces, characters);
        column += characters;
        held = 0;
        end_line();
    }

    [[gnu::always_inline]] bool on_piece(const char* piece, std::size_t length,
                                         std::size_t text_length)
    {
        if (first) {
            first = false;
            if (source.format != piece_cause::none && !source.decompressing) {
                out.compressed(piece, length, source.format);
                return false;
            }
        }
        bool newline = piece[length - 1] == '\n';
        out.counts.unfinished = !newline;
        bool ends = newline || length < max_piece;
        if (held == 0 && column == 0 && ends)
            return take_inline(piece, length, text_length, true, true) && out.goes_on(true);
        bool ok = true;
        if (held > 0) {
            ok = go_on(piece, length, text_length, ends);
        } else if (column == 0) { // the line may end with this piece
            std::memcpy(work.held, piece, length);
            held = length;
        } else {
            ok = take(piece, length, text_length, false, ends);
        }
        return ok && out.goes_on(column == 0 && held == 0);
    }

    // At the end of the input, a last line held ends.
    bool finish()
    {
        if (held > max_piece) {
            allow_held(held / max_piece, held);
            return true;
        }
        if (held > 0) { // a last line of max_piece characters without a newline
            held = 0;
            return take_held_piece(0, true, true);
        }
        if (column > 0)
            end_line();
        return true;
    }
};

} // namespace

pieces_end check_input(check_work& work, int fd, const input_name& name, check_counts& counts)
{
    input_source source(fd, work.compressed);
    work.ending = {};
    line_reader lines{work, source, {work, counts, {work, name}}};
    pieces_end end = for_each_piece(
        work.input, fd,
        [&](const char* piece, std::size_t length, std::size_t text_length) {
            return lines.on_piece(piece, length, text_length);
        },
        [&] {
            return flush_output(work.report) &&
                   (!lines.out.keep_rejects() || flush_output(work.rejects)) &&
                   (!lines.out.keep_listing() || flush_output(work.listing));
        },
        [&](int, char* buffer, std::size_t size) { return source.read(buffer, size); });
    // Flushed before the summary, which must not hide a failure.
    if (end.read_error == 0 && !end.stopped && lines.finish()) {
        lines.out.check_end(source);
        if (lines.out.keep_rejects())
            flush_output(work.rejects);
        if (lines.out.keep_listing())
            flush_output(work.listing);
    }
    counts.verdicts[std::size_t(verdict_of(counts))] = 1;
    return {end.read_error, work.options.quiet && lines.out.problems};
}

} // namespace v2list
