#include "check_report.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <string_view>
#include <tuple>
#include <type_traits>

#include "conversion_loop.hpp"
#include "output_listing.hpp"
#include "piece_reason.hpp"
#include "text_builder.hpp"

namespace v2list {

namespace {

// How much of the piece before the cut a split line's caret view shows.
constexpr std::size_t split_tail = 24;

// The JSON report writes a field's name, and the listing of a piece whose
// characters are all shown as they are, without looking for bytes to escape.
static_assert(std::ranges::all_of(fields, [](const field_info& f) {
    return std::ranges::all_of(f.name, [](char c) { return shown_as_is(c); });
}));
static_assert(std::all_of(print_format, print_format + sizeof print_format - 2,
                          [](char c) { return shown_as_is(c); }));

// A field's name as a JSON string, or null for none.
void put_field(text_builder& text, std::string_view field)
{
    if (field.empty())
        text.put("null");
    else
        text.say('"', field, '"');
}

// A problem as both reports say it.
struct problem_message {
    std::uint64_t line, column; // the column counted from 1
    piece_fate fate;
    piece_cause cause;
    std::size_t step;         // the step the cause is about
    std::string_view piece;   // without its newline
    std::string_view view;    // what the caret view shows, and where its caret goes
    std::size_t caret;
    std::string_view listing; // the line v2list writes without its newline, or empty
};

// The JSON report's object after its name; the reason is written in place,
// and escaped where it must be.
template <typename Reason>
[[gnu::always_inline]] inline void put_json_message(text_builder& text, const problem_message& m,
                                                    Reason&& put_reason)
{
    text.say(",\"line\":", m.line, ",\"column\":", m.column, ",\"kind\":\"",
             fate_table[std::size_t(m.fate)].name, "\",\"cause\":\"", facts_of(m.cause).code,
             "\",\"field\":");
    put_field(text, cause_field(m.cause, m.step));
    text.put(",\"reason\":\"");
    std::size_t reason = text.used;
    put_reason(text);
    std::size_t length = text.used - reason;
    if (text_builder::shown_run(text.text + reason, 0, length) < length) {
        std::string words(text.text + reason, length); // rare: a name or a byte to escape
        text.used = reason;
        text.put_escaped(words.data(), length, escape_style::json);
    }
    text.put("\",\"piece\":");
    bool as_is = text.put_json(m.piece.data(), m.piece.size());
    if (!m.listing.empty()) {
        // The listing holds the piece's characters, its own and digits.
        text.put(",\"listing\":");
        if (as_is)
            text.say('"', m.listing, '"');
        else
            text.put_json(m.listing.data(), m.listing.size());
    }
    text.put("}\n");
}

// The text report's message after its name: "LINE:COLUMN: FATE: REASON",
// then the caret view and a note of the line v2list writes where asked.
template <typename Reason>
[[gnu::always_inline]] inline void put_text_message(text_builder& text, const problem_message& m,
                                                    bool show_line, Reason&& put_reason)
{
    text.say(':', m.line, ':', m.column, ": ", fate_table[std::size_t(m.fate)].name, ": ");
    put_reason(text);
    text.put('\n');
    if (!show_line)
        return;
    std::size_t before = std::min(m.caret, m.view.size());
    text.put("  ");
    std::size_t shown_before = text.used;
    text.put_escaped(m.view.data(), before, escape_style::text);
    shown_before = text.used - shown_before;
    text.put_escaped(m.view.data() + before, m.view.size() - before, escape_style::text);
    text.put('\n');
    for (std::size_t i = 0; i < shown_before + 2; ++i)
        text.put(' ');
    text.put("^\n");
    if (!m.listing.empty()) {
        text.put("  note: v2list writes \"");
        text.put_escaped(m.listing.data(), m.listing.size(), escape_style::text);
        text.put("\"\n");
    }
}

// The messages of one input.
struct message_writer {
    check_work& work;
    const input_name& name;
    std::uint64_t written = 0;
    std::uint64_t most = work.options.quiet ? 0 : work.options.max_messages;

    bool wanted() const { return written < most && work.report.error == 0; }

    // The longest reason, and room for the longest message but its name.
    static constexpr std::size_t most_reason = 1024, most_message = 8 * most_reason;

    // A builder for the next most_message and extra characters of the report.
    bool make_room(text_builder& text, std::size_t extra = 0)
    {
        output_buffer& report = work.report;
        if (sizeof report.buffer - report.used < most_message + extra && !flush_output(report))
            return false;
        text = {report.buffer + report.used, most_message + extra};
        return true;
    }

    // Room for the message and its name, written first: opening, then the
    // name whole. A name too long to share the buffer with a message goes
    // first.
    [[gnu::always_inline]] bool start(text_builder& text, std::string_view opening)
    {
        output_buffer& report = work.report;
        const std::string& shown = work.options.json ? name.json : name.shown;
        bool long_name = shown.size() > sizeof report.buffer / 2;
        if (!make_room(text, long_name ? 0 : shown.size()))
            return false;
        text.append(opening.data(), opening.size());
        if (!long_name) {
            text.append(shown.data(), shown.size());
            return true;
        }
        report.used += text.used;
        return append_output(report, shown.data(), shown.size()) && make_room(text);
    }

    // A message written straight into the report, the name whole,
    // put_reason(text_builder&) putting its reason.
    template <typename Reason>
    bool write(const problem_message& m, Reason&& put_reason)
    {
        ++written;
        text_builder text{nullptr, 0};
        bool json = work.options.json;
        if (!start(text, json ? "{\"type\":\"problem\",\"file\":" : ""))
            return false;
        if (json)
            put_json_message(text, m, put_reason);
        else
            put_text_message(text, m, work.options.show_line, put_reason);
        work.report.used += text.used;
        return true;
    }

    // A message on a piece, its caret view the piece without its newline.
    bool write(std::uint64_t line, const piece_verdict& verdict, const char* piece,
               std::size_t length, std::size_t text_length, std::uint64_t line_column)
    {
        std::string_view shown(piece,
                               length > 0 && piece[length - 1] == '\n' ? length - 1 : length);
        char listing[max_line];
        std::size_t listing_length = 0;
        if (verdict.fate != piece_fate::dropped && (work.options.json || work.options.show_line))
            listing_length = verdict_line(verdict, piece, listing) - 1;
        return write({line, column_in_line(line_column, verdict.at), verdict.fate, verdict.cause,
                      verdict.step, shown, shown, verdict.at, {listing, listing_length}},
                     [&](text_builder& out) {
                         explain(verdict, piece, text_length, line_column, out);
                     });
    }
};

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
    return facts_of(cause).about_step ? tally_steps[step] : 0;
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
    if (file.lines == 0)
        return file_verdict::empty;
    if (2 * file.off_layout > file.lines)
        return file_verdict::other_layout;
    if (file.dropped + file.shifted + file.suspect + file.split > 0)
        return file_verdict::problems;
    return file_verdict::clean;
}

int verdicts_status(const check_counts& total)
{
    int status = 0;
    for (std::size_t v = 0; v < verdict_count; ++v)
        if (total.verdicts[v] > 0)
            status = std::max(status, verdict_table[v].status);
    return status;
}

namespace {

// Whether a line's first piece, without its newline, matches an allowed
// pattern; a zero byte is a character like any other there.
bool allowed_line(const check_options& options, const char* piece, std::size_t length)
{
    regmatch_t text[1];
    text[0].rm_so = 0;
    text[0].rm_eo = regoff_t(length > 0 && piece[length - 1] == '\n' ? length - 1 : length);
    for (std::size_t i = 0; i < options.allowed_count; ++i)
        if (regexec(&options.allowed[i], piece, 1, text, REG_STARTEND) == 0)
            return true;
    return false;
}

// The compressed format whose signature an input's first piece begins
// with, or none. bzip2's "BZh" could begin a record: it counts with its
// block size and the magic of a first block or of the end of the data.
piece_cause compression_of(const char* piece, std::size_t length)
{
    using namespace std::string_view_literals;
    std::string_view text(piece, length);
    if (text.starts_with("\x1f\x8b\x08"sv))
        return piece_cause::gzip;
    if (text.starts_with("\xfd"
                         "7zXZ\0"sv))
        return piece_cause::xz;
    // A zstd frame, or a skippable frame before one (as pzstd writes).
    if (text.starts_with("\x28\xb5\x2f\xfd"sv) ||
        (text.size() >= 4 && (text[0] & 0xf0) == 0x50 && text.substr(1, 3) == "\x2a\x4d\x18"sv))
        return piece_cause::zstd;
    if (text.size() >= 10 && text.starts_with("BZh"sv) && text[3] >= '1' && text[3] <= '9' &&
        (text.substr(4, 6) == "1AY&SY"sv || text.substr(4, 6) == "\x17rE8P\x90"sv))
        return piece_cause::bzip2;
    return piece_cause::none;
}

// A name as a shell word that names it: as it is where that is safe, in
// single quotes where it is printable, else as $'...' with every other byte
// escaped, so that the word is printable and one line.
std::string shell_word(std::string_view name)
{
    if (!name.empty() &&
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789._/-+,:@%") == std::string::npos)
        return std::string(name);
    bool printable = std::ranges::all_of(name, [](char c) { return c >= 0x20 && c < 0x7f; });
    std::string word = printable ? "'" : "$'";
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '\'')
            word += printable ? "'\\''" : "\\'";
        else if (!printable && (c == '\\' || byte < 0x20 || byte >= 0x7f))
            word += {'\\', 'x', "0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
        else
            word += c;
    }
    return word + "'";
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

    bool keep_rejects() const { return work.rejects.fd >= 0; }
    bool keep_listing() const { return work.listing.fd >= 0; }
    bool any_problem() const
    {
        std::uint64_t problems = 0;
        for (std::size_t f = 0; f < problem_fates; ++f)
            problems += counts.*fate_table[f].count;
        return problems > 0;
    }

    // The line v2list writes for a record to trust goes to the listing.
    bool list(const char* piece)
    {
        output_buffer& listing = work.listing;
        if (sizeof listing.buffer - listing.used < max_line && !flush_output(listing))
            return false;
        listing.used += verdict_line(verdict, piece, listing.buffer + listing.used);
        return true;
    }

    // The characters of a line with a problem go to the rejects as they were.
    bool reject(const char* text, std::size_t length)
    {
        return !keep_rejects() || !line_problem || append_output(work.rejects, text, length);
    }

    // A piece as v2list takes it, starting at column of line: judged,
    // counted, said, and rejected with its line. whole: it is all of its
    // line, which may be allowed.
    [[gnu::always_inline]] bool piece(const char* piece, std::size_t length,
                                      std::size_t text_length, std::uint64_t line,
                                      std::uint64_t column, bool whole)
    {
        ++counts.pieces;
        bool ok = true;
        judge_piece(piece, length, text_length, column, verdict);
        piece_fate fate = verdict.fate;
        if (fate == piece_fate::dropped && whole && allowed_line(work.options, piece, length)) {
            ++counts.allowed; // expected: no problem, no message
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
            line_problem = true;
            ++counts.causes[std::size_t(fate)][std::size_t(verdict.cause)][verdict.step];
            if (verdict.shift != 0)
                ++counts.left_layout[verdict.left][std::size_t(max_piece + verdict.shift)];
            if (messages.wanted())
                ok = messages.write(line, verdict, piece, length, text_length, column);
        }
        return ok && reject(piece, length);
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
        std::size_t later = length - (second[length - 1] == '\n');
        std::memcpy(caret_view + split_tail, second, later);
        return messages.write({line, max_piece + 1, piece_fate::split, piece_cause::line_split, 0,
                               {second, later}, {caret_view, split_tail + later}, split_tail, {}},
                              [](text_builder& out) {
                                  put_words(out, facts_of(piece_cause::line_split).message, 0);
                              });
    }

    // Pieces of a line allowed whole.
    void allowed(std::size_t pieces)
    {
        counts.pieces += pieces;
        counts.allowed += pieces;
    }

    void line_end(std::uint64_t characters)
    {
        ++counts.lines;
        ++counts.lengths[std::min<std::uint64_t>(characters, max_piece + 1)];
        line_problem = line_off = false;
    }

    // The input begins with a compressed format's signature: one message,
    // and nothing more is read.
    void compressed(const char* piece, std::size_t length, piece_cause format)
    {
        ++counts.compressed;
        ++counts.causes[std::size_t(piece_fate::compressed)][std::size_t(format)][0];
        if (!messages.wanted())
            return; // a failed write is in the report's error
        std::string_view shown(piece, length - (piece[length - 1] == '\n'));
        messages.write({1, 1, piece_fate::compressed, format, 0, shown, shown, 0, {}},
                       [&](text_builder& out) {
                           const input_name& name = messages.name;
                           std::string word = shell_word(name.given);
                           out.say(facts_of(format).message, ' ');
                           if (!name.standard_input)
                               out.say(std::string_view(word), ' ');
                           out.say("| v2check --label=", std::string_view(word));
                       });
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
    line_outputs out;
    std::uint64_t line = 1, column = 0; // the line, and where its next piece starts
    std::size_t held = 0; // max_piece, or more where the line may be allowed
    bool first = true;    // no piece read yet

    void end_line()
    {
        out.line_end(column);
        ++line;
        column = 0;
    }

    bool take(const char* piece, std::size_t length, std::size_t text_length, bool whole, bool ends)
    {
        return take_inline(piece, length, text_length, whole, ends);
    }

    // Inlined where a line is one piece, the common case, which it makes
    // measurably faster (doc/performance.md).
    [[gnu::always_inline]] bool take_inline(const char* piece, std::size_t length,
                                            std::size_t text_length, bool whole, bool ends)
    {
        bool ok = out.piece(piece, length, text_length, line, column, whole);
        column += length - (piece[length - 1] == '\n');
        if (ends)
            end_line();
        return ok;
    }

    // A held piece, of max_piece characters, taken.
    bool take_held_piece(std::size_t at, bool whole, bool ends)
    {
        const char* piece = work.held + at;
        return take(piece, max_piece, text_length_of(piece, max_piece), whole, ends);
    }

    bool dropped(const char* piece, std::size_t length)
    {
        judge_piece(piece, length, text_length_of(piece, length), column, out.verdict);
        return out.verdict.fate == piece_fate::dropped;
    }

    // The held pieces taken one by one, the line being split after the first.
    bool take_split(const char* next, std::size_t next_length)
    {
        out.line_problem = true;
        bool later_held = held > max_piece;
        bool ok = take_held_piece(0, false, false) &&
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
        bool allowing = held > max_piece || (work.options.allowed_count > 0 &&
                                             dropped(work.held, held) &&
                                             allowed_line(work.options, work.held, held));
        // Up to most_held characters, the newline aside.
        if (!allowing || held + length - newline > check_work::most_held || !dropped(piece, length))
            return take_split(piece, length) && take(piece, length, text_length, false, ends);
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
        out.allowed(pieces);
        column += characters;
        held = 0;
        end_line();
    }

    bool on_piece(const char* piece, std::size_t length, std::size_t text_length)
    {
        if (first) {
            first = false;
            if (piece_cause format = compression_of(piece, length); format != piece_cause::none) {
                out.compressed(piece, length, format);
                return false;
            }
        }
        out.counts.unfinished = piece[length - 1] != '\n';
        bool ends = !out.counts.unfinished || length < max_piece;
        if (held == 0 && column == 0 && ends)
            return take_inline(piece, length, text_length, true, true) &&
                   !(work.options.quiet && out.any_problem());
        bool ok = true;
        if (held > 0) {
            ok = go_on(piece, length, text_length, ends);
        } else if (column == 0) { // the line may end with this piece
            std::memcpy(work.held, piece, length);
            held = length;
        } else {
            ok = take(piece, length, text_length, false, ends);
        }
        bool line_done = column == 0 && held == 0;
        return ok && !(work.options.quiet && out.any_problem() && (line_done || !out.keep_rejects()));
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
    line_reader lines{work, {work, counts, {work, name}}};
    pieces_end end = for_each_piece(
        work.input, fd,
        [&](const char* piece, std::size_t length, std::size_t text_length) {
            return lines.on_piece(piece, length, text_length);
        },
        [&] {
            return flush_output(work.report) &&
                   (!lines.out.keep_rejects() || flush_output(work.rejects)) &&
                   (!lines.out.keep_listing() || flush_output(work.listing));
        });
    // Flushed before the summary, which must not hide a failure.
    if (end.read_error == 0 && !end.stopped && lines.finish()) {
        if (lines.out.keep_rejects())
            flush_output(work.rejects);
        if (lines.out.keep_listing())
            flush_output(work.listing);
    }
    counts.verdicts[std::size_t(verdict_of(counts))] = 1;
    return {end.read_error, work.options.quiet && lines.out.any_problem()};
}

namespace {

// A text escaped whole, for the text report or as a JSON string.
std::string escaped(const char* text, escape_style style)
{
    std::size_t length = std::strlen(text);
    std::string shown(6 * length + 3, '\0');
    text_builder escaped{shown.data(), shown.size()};
    if (style == escape_style::json)
        escaped.put_json(text, length);
    else
        escaped.put_escaped(text, length, style);
    shown.resize(escaped.used);
    return shown;
}

} // namespace

input_name name_input(const char* given, bool standard_input)
{
    return {given, standard_input, escaped(given, escape_style::text),
            escaped(given, escape_style::json)};
}

std::string escaped_text(const char* text)
{
    return escaped(text, escape_style::text);
}

namespace {

void append_text(output_buffer& report, const std::string& text)
{
    append_output(report, text.data(), text.size());
}

} // namespace

void write_unread(output_buffer& report, const input_name& name, const char* reason)
{
    append_text(report, "{\"type\":\"unread\",\"file\":" + name.json +
                            ",\"reason\":" + escaped(reason, escape_style::json) + "}\n");
}

void write_report_start(output_buffer& report, const char* program_version)
{
    append_text(report,
                "{\"type\":\"report\",\"version\":1,\"program\":\"v2check\","
                "\"program_version\":" +
                    escaped(program_version, escape_style::json) + "}\n");
}

namespace {

// The commonest line lengths, most lines first and of as many the shortest,
// in top (room for three); returns how many.
std::size_t commonest_lengths(const check_counts& counts, std::size_t* top)
{
    std::array<std::size_t, std::extent_v<decltype(check_counts::lengths)>> order;
    std::iota(order.begin(), order.end(), 0);
    std::partial_sort(order.begin(), order.begin() + 3, order.end(), [&](auto a, auto b) {
        return std::tie(counts.lengths[b], a) < std::tie(counts.lengths[a], b);
    });
    std::size_t found = 0;
    for (; found < 3 && counts.lengths[order[found]] > 0; ++found)
        top[found] = order[found];
    return found;
}

// One row of the tally: a count of problems of one fate, cause and step.
struct tally_row {
    std::uint64_t count;
    std::size_t fate, cause, step;
};

// The tally, most frequent first, then by fate, cause and step.
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

constexpr std::size_t most_rows = problem_fates * cause_count * scan_steps.size();

// Where the most pieces that left the layout left it, and by how much.
struct leaving {
    std::size_t step;
    std::ptrdiff_t shift;
    std::uint64_t pieces; // 0 where none left it
};

leaving most_left(const check_counts& c)
{
    leaving most{0, 0, 0};
    for (std::size_t s = 0; s < scan_steps.size(); ++s)
        for (std::size_t k = 0; k < std::size(c.left_layout[s]); ++k)
            if (c.left_layout[s][k] > most.pieces)
                most = {s, std::ptrdiff_t(k) - std::ptrdiff_t(max_piece), c.left_layout[s][k]};
    return most;
}

void write_summary_json(output_buffer& report, const input_name* name, const check_counts& c,
                        std::uint64_t unread)
{
    static char text[most_rows * 128];
    text_builder line{text, sizeof text};
    append_text(report, name != nullptr ? "{\"type\":\"summary\",\"file\":" + name->json
                                        : "{\"type\":\"total\"");
    if (name == nullptr)
        line.say(",\"unread\":", unread);
    line.say(",\"lines\":", c.lines, ",\"pieces\":", c.pieces, ",\"converted\":", c.converted,
             ",\"shifted\":", c.shifted, ",\"dropped\":", c.dropped, ",\"split\":", c.split,
             ",\"suspect\":", c.suspect, ",\"allowed\":", c.allowed);
    if (name != nullptr) {
        leaving most = most_left(c);
        line.say(",\"verdict\":\"", verdict_table[std::size_t(verdict_of(c))].name,
                 "\",\"final_newline\":",
                 c.compressed > 0    ? "null"
                 : c.unfinished == 0 ? "true"
                                     : "false",
                 ",\"left_layout\":");
        if (most.pieces > 0)
            line.say("{\"column\":", scan_step_columns[most.step] + 1, ",\"shift\":", most.shift,
                     ",\"pieces\":", most.pieces, '}');
        else
            line.put("null");
    } else {
        for (std::size_t v = 0; v < verdict_count; ++v)
            line.say(v == 0 ? ",\"verdicts\":{\"" : ",\"", verdict_table[v].name,
                     "\":", c.verdicts[v]);
        line.put('}');
    }
    line.put(",\"causes\":[");
    tally_row rows[most_rows];
    std::size_t count = tally(c, rows);
    for (std::size_t i = 0; i < count; ++i) {
        auto cause = piece_cause(rows[i].cause);
        line.say(i > 0 ? ",{\"kind\":\"" : "{\"kind\":\"", fate_table[rows[i].fate].name,
                 "\",\"cause\":\"", facts_of(cause).code, "\",\"field\":");
        put_field(line, cause_field(cause, rows[i].step));
        line.say(",\"count\":", rows[i].count, '}');
    }
    line.put("],\"lengths\":[");
    std::size_t top[3];
    std::size_t found = commonest_lengths(c, top);
    for (std::size_t i = 0; i < found; ++i)
        line.say(i > 0 ? ",{\"length\":" : "{\"length\":", top[i], ",\"lines\":", c.lengths[top[i]],
                 '}');
    line.put("]}\n");
    append_output(report, text, line.used);
}

// The text summary of a file or of the total, put together line by line.
struct summary_text : text_builder {
    const check_counts& c;

    // A count and its noun, one or many, then what follows.
    void count(std::uint64_t n, const char* noun, const char* then)
    {
        say(n, noun, n != 1 ? "s" : "", then);
    }
    // A line length, where the last counts all longer than a piece.
    void length(std::size_t n)
    {
        if (n > max_piece)
            say("over ", max_piece);
        else
            put_number(n);
    }

    // "N lines and N pieces read: N records converted, ..."
    void counts_line(std::uint64_t unread)
    {
        count(c.lines, " line", " and ");
        count(c.pieces, " piece", " read: ");
        count(c.converted, " record", " converted, ");
        say(c.shifted, " of them shifted");
        if (c.suspect > 0)
            say(" and ", c.suspect, " suspect");
        put("; ");
        count(c.dropped, " piece", " dropped; ");
        if (c.allowed > 0)
            say(c.allowed, " allowed; ");
        count(c.split, " line", " split");
        if (unread > 0) {
            put("; ");
            count(unread, " file", " unread");
        }
        put('\n');
    }

    // The total's count of files of each verdict.
    void verdicts_line()
    {
        put("verdicts:");
        for (std::size_t v = 0, said = 0; v < verdict_count; ++v)
            if (c.verdicts[v] > 0)
                say(said++ > 0 ? ", " : " ", c.verdicts[v], ' ', verdict_table[v].name);
        put('\n');
    }

    // A file's verdict; in another layout, its commonest length and where
    // most lines leave the layout; and a last line without its newline.
    void verdict_line()
    {
        file_verdict verdict = verdict_of(c);
        say("verdict: ", verdict_table[std::size_t(verdict)].name);
        std::size_t top[3];
        if (verdict == file_verdict::other_layout && commonest_lengths(c, top) > 0) {
            put(": the commonest line length is ");
            length(top[0]);
            leaving most = most_left(c);
            if (most.pieces > 0) {
                if (2 * most.pieces > c.lines) {
                    put("; most lines read ");
                } else {
                    put("; ");
                    count(most.pieces, " line", most.pieces == 1 ? " reads " : " read ");
                }
                put_shift(*this, most.shift);
                say(" from column ", scan_step_columns[most.step] + 1);
            }
        }
        put('\n');
        if (c.unfinished > 0)
            put("the last line has no newline: the file may be cut short\n");
    }

    // Where lines are dropped, the commonest lengths show another layout.
    void lengths_line()
    {
        std::size_t top[3];
        std::size_t found = commonest_lengths(c, top);
        bool none = c.converted == 0 && found > 0; // then the commonest alone
        put(none ? "no record converted: the commonest line length is "
                 : "commonest line lengths: ");
        for (std::size_t i = 0; i < (none ? 1 : found); ++i) {
            if (i > 0)
                put(", ");
            length(top[i]);
            put(" (");
            count(c.lengths[top[i]], " line", ")");
        }
        if (none)
            say("; a record has ", record_length, " columns");
        put('\n');
    }
};

// The tally, most frequent first; a cause and its count a line, as
// "%8llu %-7s  %s\n": the count right-justified in 8, the fate in 7.
void write_tally(output_buffer& report, const check_counts& c)
{
    tally_row rows[most_rows];
    std::size_t found = tally(c, rows);
    for (std::size_t i = 0; i < found; ++i) {
        const cause_facts& facts = facts_of(piece_cause(rows[i].cause));
        bool one_column = !facts.tally_one.empty() && scan_steps[rows[i].step].width == 1;
        std::string_view fate = fate_table[rows[i].fate].name;
        char text[256];
        text_builder row{text, sizeof text};
        row.put_number(rows[i].count, 8);
        row.say(' ', fate);
        for (std::size_t pad = fate.size(); pad < 7; ++pad)
            row.put(' ');
        row.put("  ");
        put_words(row, one_column ? facts.tally_one : facts.tally, rows[i].step);
        row.put('\n');
        append_output(report, text, row.used);
    }
}

} // namespace

void write_summary(output_buffer& report, bool json, const input_name* name, bool named,
                   const check_counts& c, std::uint64_t unread)
{
    if (json) {
        write_summary_json(report, name, c, unread);
        return;
    }
    char text[1024];
    summary_text lines{{text, sizeof text}, c};
    if (name == nullptr) {
        lines.put("total: ");
    } else if (named) {
        append_output(report, name->shown.data(), name->shown.size());
        lines.put(": ");
    }
    lines.counts_line(unread);
    if (name == nullptr)
        lines.verdicts_line();
    else
        lines.verdict_line();
    if (c.dropped > 0)
        lines.lengths_line();
    append_output(report, text, lines.used);
    write_tally(report, c);
}

} // namespace v2list
