#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include "check_lines.hpp"
#include "check_report.hpp"
#include "input_source.hpp"
#include "report_messages.hpp"

namespace v2list {

namespace {

// The causes the input's own words come to, where messages are made.
constexpr piece_cause cause_of(input_format format)
{
    return piece_cause(std::size_t(piece_cause::gzip) + std::size_t(format) - 1);
}
constexpr piece_cause cause_of(input_break broken)
{
    return broken == input_break::none        ? piece_cause::none
           : broken == input_break::cut_short ? piece_cause::cut_short
                                              : piece_cause::damaged;
}
static_assert(cause_of(input_format::zstd) == piece_cause::zstd &&
              row_of(cause_of(input_format::bzip2)).code == format_names[2]);

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

// The lines that state the count of records: how many, the first and the
// second of them, and what the first states (has_stated: the pattern's
// group took part in the match).
struct count_statements {
    std::uint64_t lines = 0, first = 0, second = 0;
    std::string stated = {};
    bool has_stated = false;

    // Whether the line, a piece of length, states the count, as pattern says.
    bool take(const regex_t* pattern, const char* piece, std::size_t length, std::uint64_t line)
    {
        regmatch_t match[2];
        match[0] = {0, regoff_t(without_newline(piece, length))};
        if (pattern == nullptr || regexec(pattern, piece, 2, match, REG_STARTEND) != 0)
            return false;
        if (++lines > 2)
            return true;
        (lines == 1 ? first : second) = line;
        has_stated = lines == 1 ? match[1].rm_so >= 0 : has_stated;
        if (lines == 1 && has_stated)
            stated.assign(piece + match[1].rm_so, std::size_t(match[1].rm_eo - match[1].rm_so));
        return true;
    }

    // Whether one line states records, in decimal digits.
    bool agree(std::uint64_t records) const
    {
        std::uint64_t n = 0;
        const char* end = stated.data() + stated.size();
        auto [stop, error] = std::from_chars(stated.data(), end, n);
        return lines == 1 && error == std::errc() && stop == end && n == records;
    }
};

// What each line comes to, decided once, where it ends: allowed, stating
// the count of records, listed, or rejected with its problems said; and
// its counts. Each piece is judged once, as it comes: a line of one piece
// where it lies, the pieces of a longer line in work.held, which keeps them
// and their verdicts until the line ends or outgrows it (split, its later
// pieces then settled as they come).
struct line_sink {
    check_work& work;
    check_counts& counts;
    message_writer messages;
    std::uint64_t line = 1;
    bool line_problem = false; // the line goes to the rejects
    bool line_off = false;     // the line does not convert from its own columns
    piece_verdict verdict{};   // of a piece not held
    input_record reading{};    // of it, where it is not plain
    std::size_t held = 0;      // pieces of the line held; none past its first: it outgrew the hold
    std::size_t last_length = 0; // of the last held, the others max_piece
    count_statements counted = {};
    bool newline_due = work.rejects_unended; // another file's last line in the rejects
    bool problems = false;                   // any met: with -q, the check stops at the first

    bool keep_rejects() const { return work.rejects.fd >= 0; }
    bool keep_listing() const { return work.listing.fd >= 0; }

    // Whether the check goes on: -q stops it at a problem, once the line
    // is done (all of it in the rejects, where they are kept).
    bool goes_on(bool line_done) const
    {
        return !(work.options.quiet && problems && (line_done || !keep_rejects()));
    }

    // A line of one piece, as it lies.
    [[gnu::always_inline]] bool whole_line(const char* piece, std::size_t length,
                                           std::size_t text_length)
    {
        counts.unfinished = piece[length - 1] != '\n';
        judge_piece(piece, length, text_length, 0, reading, verdict);
        bool ok = settle_inline(piece, length, text_length, 0, verdict, reading, true);
        end_line(without_newline(piece, length));
        return ok;
    }

    // A piece of a longer line, at column: held while there is room.
    bool piece(const char* piece, std::size_t length, std::size_t text_length, std::uint64_t column)
    {
        counts.unfinished = piece[length - 1] != '\n';
        bool outgrown = column > 0 && held == 0;
        if (!outgrown && column + without_newline(piece, length) <= check_work::most_held) {
            char* at = work.held + column;
            std::memcpy(at, piece, length);
            judge_piece(at, length, text_length, column, work.held_readings[held],
                        work.held_verdicts[held]);
            work.held_text_lengths[held] = static_cast<unsigned char>(text_length);
            last_length = length;
            ++held;
            return true;
        }
        bool ok = outgrown || split_held();
        judge_piece(piece, length, text_length, column, reading, verdict);
        return ok && settle(piece, length, text_length, column, verdict, reading, false);
    }

    // The line of several pieces ends, of characters in all, its newline
    // aside.
    bool line_end(std::uint64_t characters)
    {
        bool ok = true;
        if (held == 1) {
            ok = settle_held(0, true);
        } else if (held > 1 && allowable()) {
            allowed(held, characters);
        } else if (held > 1) {
            ok = split_held(glued_records(characters));
        }
        held = 0;
        end_line(characters);
        return ok;
    }

    // A card image, a line of exactly max_piece characters: its newline,
    // or carriage return and newline, is nothing, and goes to the rejects
    // with it.
    bool card_image_end(const char* newline, std::size_t length)
    {
        counts.unfinished = false;
        bool ok = settle_held(0, true) && reject(newline, length);
        held = 0;
        end_line(max_piece);
        return ok;
    }

    // Held piece i settled; whole: it is its line.
    bool settle_held(std::size_t i, bool whole)
    {
        const char* piece = work.held + i * max_piece;
        std::size_t length = i + 1 == held ? last_length : max_piece;
        return settle(piece, length, work.held_text_lengths[i], i * max_piece,
                      work.held_verdicts[i], work.held_readings[i], whole);
    }

    // A held line is allowed whole where its first piece matches an
    // allowed pattern and every piece is dropped.
    bool allowable() const
    {
        for (std::size_t i = 0; i < held; ++i)
            if (work.held_verdicts[i].fate != piece_fate::dropped)
                return false;
        return matches_allowed(work.options, work.held, max_piece);
    }

    // How many records the held line of characters holds glued together
    // by lost newlines, where that is all it holds: every record_length
    // columns of it, a carriage return at its end aside, convert from their
    // own columns as a line of their own. 0 where it is no such line.
    std::uint64_t glued_records(std::uint64_t characters)
    {
        std::uint64_t n = characters - (work.held[characters - 1] == '\r');
        if (n % record_length != 0 || n < 2 * record_length)
            return 0;
        piece_verdict v;
        input_record r;
        for (const char* at = work.held; at < work.held + n; at += record_length) {
            judge_piece(at, record_length, text_length_of(at, record_length), 0, r, v);
            if (v.fate != piece_fate::converted && v.fate != piece_fate::suspect)
                return 0;
        }
        return n / record_length;
    }

    // The held pieces settled one by one, the line being split after the
    // first, said before its later pieces' messages; glued: the records it
    // holds glued together, or 0.
    bool split_held(std::uint64_t glued = 0)
    {
        mark_problem();
        bool ok = settle_held(0, false) && split(held == 2 ? last_length : max_piece, glued);
        for (std::size_t i = 1; ok && i < held; ++i)
            ok = settle_held(i, false);
        held = 0;
        return ok;
    }

    bool settle(const char* piece, std::size_t length, std::size_t text_length,
                std::uint64_t column, const piece_verdict& v, const input_record& r, bool whole)
    {
        return settle_inline(piece, length, text_length, column, v, r, whole);
    }

    // A piece judged v, read as r, starting at column of the line: counted,
    // listed where it is a whole line to trust, said, and rejected with its
    // line. Inlined where a line is one piece, the common case, which it
    // makes measurably faster (doc/performance.md).
    [[gnu::always_inline]] bool settle_inline(const char* piece, std::size_t length,
                                              std::size_t text_length, std::uint64_t column,
                                              const piece_verdict& v, const input_record& r,
                                              bool whole)
    {
        ++counts.pieces;
        bool ok = true;
        piece_fate fate = v.fate;
        if (fate == piece_fate::dropped && whole && expected_line(piece, length)) {
            allowed(0, without_newline(piece, length));
            ++counts.allowed;
        } else if (fate == piece_fate::converted) {
            ++counts.converted;
            if (keep_listing() && whole)
                ok = list(v, r, piece);
        } else {
            ++(counts.*fate_table[std::size_t(fate)].count);
            counts.converted += fate != piece_fate::dropped;
            if (fate != piece_fate::suspect) {
                counts.off_layout += !line_off;
                line_off = true;
            }
            mark_problem();
            ++counts.causes[std::size_t(fate)][std::size_t(v.cause)][v.step];
            if (v.shift != 0)
                ++counts.left_layout[v.left][std::size_t(max_piece + v.shift)];
            if (messages.wanted())
                ok = say(v, r, piece, length, text_length, column);
        }
        return ok && reject(piece, length);
    }

    // The line v2list writes for a record to trust goes to the listing.
    bool list(const piece_verdict& v, const input_record& r, const char* piece)
    {
        output_buffer& listing = work.listing;
        if (sizeof listing.buffer - listing.used < max_line && !flush_output(listing))
            return false;
        listing.used += verdict_line(v, r, piece, listing.buffer + listing.used);
        return true;
    }

    // A line v2list drops that states the count of records, or matches an
    // allowed pattern: expected, no problem.
    bool expected_line(const char* piece, std::size_t length)
    {
        return counted.take(work.options.record_count, piece, length, line) ||
               matches_allowed(work.options, piece, length);
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

    // The message on a piece, its caret view the piece without its newline.
    bool say(const piece_verdict& v, const input_record& r, const char* piece, std::size_t length,
             std::size_t text_length, std::uint64_t column)
    {
        diagnosis d = diagnose_piece(v, r, piece, length, text_length, line, column);
        std::string_view shown(piece, d.length);
        char listing[max_line];
        std::size_t listing_length = 0;
        if (v.fate != piece_fate::dropped && (work.options.json || work.options.show_line))
            listing_length = verdict_line(v, r, piece, listing) - 1;
        return messages.write({d, shown, shown, v.at, {listing, listing_length}});
    }

    // The held line goes on past its first piece, to a second of length:
    // split, or a line of glued records, the caret view showing where it
    // is cut, or where the first record's newline was lost.
    bool split(std::size_t length, std::uint64_t glued)
    {
        piece_cause cause = glued > 0 ? piece_cause::glued_records : piece_cause::line_split;
        ++counts.split;
        ++counts.causes[std::size_t(piece_fate::split)][std::size_t(cause)][0];
        counts.glued += glued - (glued > 0);
        if (!messages.wanted())
            return true;
        std::size_t cut = glued > 0 ? record_length : max_piece;
        const char* second = work.held + cut;
        std::size_t later = glued > 0 ? record_length : without_newline(second, length);
        char caret_view[split_tail + max_piece] = "...";
        std::memcpy(caret_view + 3, second - (split_tail - 3), split_tail - 3);
        std::memcpy(caret_view + split_tail, second, later);
        diagnosis d = file_diagnosis(piece_fate::split, cause, line);
        d.column = column_in_line(0, cut);
        d.length = later;
        d.glued = std::uint32_t(glued);
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

    // The line ends, of characters in all, newline aside.
    void end_line(std::uint64_t characters)
    {
        ++counts.lines;
        ++counts.lengths[std::min<std::uint64_t>(characters, max_piece + 1)];
        line_problem = line_off = false;
        ++line;
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

    // At the end of the input: data that stopped being readable, or the
    // count a line states, where one is asked for, against the records read.
    void check_end(const input_source& source)
    {
        diagnosis d =
            file_diagnosis(piece_fate::incomplete, cause_of(source.broken), counts.lines + 1);
        file_facts& f = work.ending_facts;
        d.file = &f;
        f = {};
        f.records = records_read(counts);
        f.format = format_names[std::size_t(source.format)];
        work.ending_stated = counted.stated;
        f.has_stated = counted.has_stated && counted.lines == 1;
        f.stated = work.ending_stated;
        f.stating_line = counted.lines > 1 ? counted.second : counted.first;
        if (source.broken != input_break::none) {
            work.ending_why = source.why;
            f.why = work.ending_why;
            f.byte = source.broken_at;
            f.has_byte = true;
        } else if (work.options.record_count == nullptr || counted.agree(f.records)) {
            return;
        } else {
            d.cause.cause = counted.lines == 0  ? piece_cause::count_missing
                            : counted.lines > 1 ? piece_cause::count_twice
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

// Cuts an input's pieces into lines, as they come, for the sink: a line of
// one piece, the pieces of a longer line and its end, or a card image's
// newline. It neither judges nor counts.
struct line_assembler {
    const input_source& source;
    line_sink& sink;
    std::uint64_t column = 0; // of the line, where its next piece starts
    bool first = true;        // no piece read yet

    [[gnu::always_inline]] bool on_piece(const char* piece, std::size_t length,
                                         std::size_t text_length)
    {
        if (first) {
            first = false;
            if (source.format != input_format::text && !source.decompressing) {
                sink.compressed(piece, length, cause_of(source.format));
                return false;
            }
        }
        bool newline = piece[length - 1] == '\n';
        bool ends = newline || length < max_piece;
        if (column == 0 && ends)
            return sink.whole_line(piece, length, text_length) && sink.goes_on(true);
        bool ok = true;
        if (column == max_piece && newline && (length == 1 || (length == 2 && piece[0] == '\r'))) {
            ok = sink.card_image_end(piece, length);
            column = 0;
        } else {
            ok = sink.piece(piece, length, text_length, column);
            column += length - newline;
            if (ends) {
                ok = ok && sink.line_end(column);
                column = 0;
            }
        }
        return ok && sink.goes_on(column == 0);
    }

    // At the end of the input, a last line without a newline ends.
    bool finish()
    {
        bool ok = column == 0 || sink.line_end(column);
        column = 0;
        return ok;
    }
};

} // namespace

pieces_end check_input(check_work& work, int fd, const input_name& name, check_counts& counts)
{
    input_source source(fd, work.compressed);
    work.ending = {};
    line_sink sink{work, counts, {work, name}};
    line_assembler lines{source, sink};
    pieces_end end = for_each_piece(
        work.input, fd,
        [&](const char* piece, std::size_t length, std::size_t text_length) {
            return lines.on_piece(piece, length, text_length);
        },
        [&] {
            return flush_output(work.report) &&
                   (!sink.keep_rejects() || flush_output(work.rejects)) &&
                   (!sink.keep_listing() || flush_output(work.listing));
        },
        [&](int, char* buffer, std::size_t size) { return source.read(buffer, size); });
    // Flushed before the summary, which must not hide a failure.
    if (end.read_error == 0 && !end.stopped && lines.finish()) {
        sink.check_end(source);
        if (sink.keep_rejects())
            flush_output(work.rejects);
        if (sink.keep_listing())
            flush_output(work.listing);
    }
    return {end.read_error, work.options.quiet && sink.problems};
}

} // namespace v2list
