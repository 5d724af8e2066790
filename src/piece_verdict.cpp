#include "piece_verdict.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "byte_blocks.hpp"
#include "output_listing.hpp"
#include "piece_loop.hpp"
#include "plain_copy.hpp"
#include "text_builder.hpp"

namespace v2list {

namespace {

bool is_sign(char c)
{
    return c == '-' || c == '+';
}

// How many columns late (negative: early) step, or the one before, ended.
std::ptrdiff_t after(const input_record& r, std::size_t step)
{
    return std::ptrdiff_t(r.to(step)) - std::ptrdiff_t(step_end(step));
}
std::ptrdiff_t before(const input_record& r, std::size_t step)
{
    return step == 0 ? 0 : after(r, step - 1);
}

// The step where the reading left the layout for good before step: the
// first of those up to it that all start off their own columns.
std::size_t left_layout_at(const input_record& r, std::size_t step)
{
    while (before(r, step) != 0)
        --step;
    return step;
}

// Whether every number, so every step, ended where its own columns do.
template <std::size_t... S>
bool in_own_columns(const input_record& r, std::index_sequence<S...>)
{
    return ((scan_steps[S].kind != scan_step::number || r.ends[S] == r.text + step_end(S)) && ...);
}

// The value of a number's own columns read alone, if they hold just one.
bool own_value(const char* own, std::size_t length, unsigned width, std::int32_t& value)
{
    const char* p = own;
    const char* end = own + length;
    const char* start;
    if (scan_number(p, end, width, start, value) != scan_result::assigned)
        return false;
    while (p < end && is_white_space(static_cast<unsigned char>(*p)))
        ++p;
    return p == end;
}

// Whether a number step's own columns are all in the text and all blank.
bool own_columns_blank(const char* piece, std::size_t text_length, std::size_t step)
{
    if (scan_steps[step].kind != scan_step::number || step_end(step) > text_length)
        return false;
    for (std::size_t i = scan_step_columns[step]; i < step_end(step); ++i)
        if (!is_white_space(static_cast<unsigned char>(piece[i])))
            return false;
    return true;
}

// Whether the line shows field F as its own columns hold it.
template <std::size_t F>
[[gnu::always_inline]] inline bool shows_own(const char* piece, std::size_t text_length,
                                             const input_record& r)
{
    constexpr field_place place = field_places[F];
    if constexpr (!shown_fields[F])
        return true;
    const char* own = piece + place.column;
    std::size_t own_length =
        place.column >= text_length ? 0 : std::min(place.width, text_length - place.column);
    const char* taken = r.start(place.step);
    if constexpr (fields[F].shape == shape_number) {
        std::int32_t value;
        return own_value(own, own_length, unsigned(place.width), value) && value == r.values[F];
    } else if constexpr (fields[F].shape == shape_text) {
        if (taken == own)
            return true;
        std::size_t n = trim_trailing_spaces(taken, place.width);
        return trim_trailing_spaces(own, own_length) == n && std::memcmp(taken, own, n) == 0;
    } else {
        return taken == own || (own_length > 0 && *own == *taken);
    }
}

// The first field the line shows otherwise than its own columns, or
// field_count.
template <std::size_t... F>
std::size_t first_shifted_field(const char* piece, std::size_t text_length, const input_record& r,
                                std::index_sequence<F...>)
{
    std::size_t first = field_count;
    ((shows_own<F>(piece, text_length, r) || (first = F, false)) && ...);
    return first;
}

// A complete record is converted, or shifted at that first field.
[[gnu::always_inline]] inline void judge_complete(const char* piece, std::size_t text_length,
                                                  piece_verdict& verdict)
{
    const input_record& r = verdict.record;
    if (in_own_columns(r, std::make_index_sequence<scan_steps.size()>()))
        return;
    std::size_t f =
        first_shifted_field(piece, text_length, r, std::make_index_sequence<field_count>());
    if (f == field_count)
        return;
    const field_place& place = field_places[f];
    verdict.fate = piece_fate::shifted;
    verdict.field = f;
    verdict.step = left_layout_at(r, place.step);
    bool itself = verdict.step == place.step;
    verdict.left = verdict.step;
    verdict.shift = after(r, verdict.step);
    verdict.cause = verdict.shift < 0 ? piece_cause::stops_short
                    : own_columns_blank(piece, text_length, verdict.step)
                        ? piece_cause::columns_blank
                    : itself ? piece_cause::reads_neighbour
                             : piece_cause::skips_white_space;
}

// The parts of a piece the verdicts talk of.
struct piece_shape {
    bool zero;              // a zero byte ends the text
    bool newline;           // the piece ends its line with a newline
    bool whole;             // the piece ends its line
    std::size_t characters; // of text, without the newline
    std::size_t need;       // characters a record needs, so ended
};

piece_shape shape_of(const char* piece, std::size_t length, std::size_t text_length)
{
    piece_shape shape{};
    shape.zero = text_length < length;
    shape.newline = !shape.zero && length > 0 && piece[length - 1] == '\n';
    shape.whole = length < max_piece || shape.newline;
    shape.characters = shape.newline ? text_length - 1 : text_length;
    // The last field needs one character: the newline, or one more.
    shape.need = shape.newline ? shortest_record - 1 : shortest_record;
    return shape;
}

// The step whose own columns hold column (from 0).
std::size_t step_at(std::size_t column)
{
    std::size_t step = 0;
    while (step + 1 < scan_steps.size() && scan_step_columns[step + 1] <= column)
        ++step;
    return step;
}

// A piece that is not a complete record: where and why the reading failed,
// or where it left the layout before.
void judge_dropped(const char* piece, std::size_t text_length, const piece_shape& shape,
                   std::uint64_t line_column, piece_verdict& verdict)
{
    const input_record& r = verdict.record;
    std::size_t stop = r.steps_run - 1;
    std::size_t left = left_layout_at(r, stop);
    verdict.fate = piece_fate::dropped;
    verdict.step = verdict.left = left;
    verdict.shift = 0;
    verdict.stopped = r.ran_out
                          ? (shape.zero ? piece_cause::zero_byte : piece_cause::line_too_short)
                      : scan_steps[stop].kind == scan_step::literal ? piece_cause::literal_missing
                      : is_sign(piece[r.from(stop)])                ? piece_cause::takes_sign
                                                                    : piece_cause::not_a_digit;
    if (shape.whole && !shape.zero && shape.characters < shape.need) {
        bool empty = shape.characters == 0 && shape.newline && line_column == 0;
        verdict.cause = empty ? piece_cause::empty_line : piece_cause::line_too_short;
        verdict.step = stop;
    } else if (after(r, left) >= 0 && own_columns_blank(piece, text_length, left)) {
        verdict.cause = piece_cause::columns_blank; // whatever follows
    } else if (verdict.stopped == piece_cause::zero_byte) {
        verdict.cause = piece_cause::zero_byte;
        verdict.step = step_at(text_length); // the step whose columns it stands in
    } else if (left != stop) {
        verdict.cause = scan_steps[left].kind != scan_step::number ? piece_cause::line_too_short
                        : after(r, left) < 0                       ? piece_cause::stops_short
                                                                   : piece_cause::skips_white_space;
    } else {
        verdict.cause = verdict.stopped;
    }
    if (verdict.cause == piece_cause::columns_blank || verdict.cause == piece_cause::stops_short ||
        verdict.cause == piece_cause::skips_white_space)
        verdict.shift = after(r, left);
}

// The length of the valid UTF-8 character of several bytes at p, within
// end; 0 for any other byte. Valid: no overlong form, no surrogate, nothing
// past U+10FFFF, as the second byte's range says.
std::size_t multibyte_length(const unsigned char* p, const unsigned char* end)
{
    std::size_t n = *p >= 0xc2 && *p <= 0xdf   ? 2
                    : *p >= 0xe0 && *p <= 0xef ? 3
                    : *p >= 0xf0 && *p <= 0xf4 ? 4
                                               : 0;
    if (n == 0 || end - p < std::ptrdiff_t(n))
        return 0;
    unsigned low = *p == 0xe0 ? 0xa0 : *p == 0xf0 ? 0x90 : 0x80;
    unsigned high = *p == 0xed ? 0x9f : *p == 0xf4 ? 0x8f : 0xbf;
    if (p[1] < low || p[1] > high)
        return 0;
    for (std::size_t i = 2; i < n; ++i)
        if ((p[i] & 0xc0) != 0x80)
            return 0;
    return n;
}

// Whether a byte from 0x80 stands in the first 64 columns, which hold every
// text field: tested together, as every piece that does not convert from its
// own columns is.
constexpr std::size_t texts_end = [] {
    std::size_t end = 0;
    for (std::size_t f = 0; f < field_count; ++f)
        if (fields[f].shape == shape_text)
            end = std::max(end, field_places[f].column + field_places[f].width);
    return end;
}();
static_assert(texts_end <= 64);
[[gnu::always_inline]] inline bool high_byte_in_texts(const char* piece, std::size_t text_length)
{
    if (text_length < 64)
        return std::any_of(piece, piece + text_length,
                           [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    byte_block any = load_block(piece) | load_block(piece + 16) | load_block(piece + 32) |
                     load_block(piece + 48);
    return block_bits(byte_block(any >= 0x80)) != 0;
}

// The first text field holding UTF-8 characters of several bytes, and them.
struct utf8_characters {
    std::size_t field = field_count;
    std::size_t characters = 0, bytes = 0, first = 0; // first: its column, from 0
};

// The piece laid out as a writer that counts characters and not bytes lays
// it: a text field's UTF-8 character of several bytes takes one column (its
// first byte stands for it). Returns the length of the text laid, or 0 where
// no text field holds such a character.
std::size_t laid_by_characters(const char* piece, std::size_t text_length, char* laid,
                               utf8_characters& found)
{
    auto p = reinterpret_cast<const unsigned char*>(piece);
    const unsigned char* end = p + text_length;
    std::size_t in = 0, out = 0;
    for (std::size_t f = 0; f < field_count; ++f) {
        const field_place& place = field_places[f];
        if (fields[f].shape != shape_text)
            continue;
        for (; out < place.column && in < text_length; ++out)
            laid[out] = piece[in++];
        for (std::size_t c = 0; c < place.width && in < text_length; ++c) {
            std::size_t n = multibyte_length(p + in, end);
            if (n > 0 && (found.field == field_count || found.field == f)) {
                found.first = found.field == field_count ? in : found.first;
                found.field = f;
                ++found.characters;
                found.bytes += n;
            }
            laid[out++] = piece[in];
            in += n > 0 ? n : 1;
        }
    }
    while (in < text_length)
        laid[out++] = piece[in++];
    return found.field == field_count ? 0 : out;
}

// A piece that does not convert from its own columns is put down to a
// text's UTF-8 characters of several bytes where, laid out by characters,
// it would: its writer counted characters, not bytes. The verdict then names
// the first such text, and the later fields read late by its extra bytes.
[[gnu::cold]] void find_multibyte_text(const char* piece, std::size_t text_length,
                                       piece_verdict& verdict)
{
    char laid[max_piece + 64] = {};
    utf8_characters found;
    std::size_t laid_length = laid_by_characters(piece, text_length, laid, found);
    if (laid_length == 0)
        return;
    piece_verdict trial{};
    trial.fate = piece_fate::converted;
    read_record(laid, laid_length, trial.record);
    if (trial.record.count != field_count)
        return;
    judge_complete(laid, laid_length, trial);
    if (trial.fate != piece_fate::converted)
        return;
    verdict.cause = piece_cause::multibyte_text;
    verdict.step = field_places[found.field].step;
    verdict.left = verdict.step + 1;
    verdict.shift = std::ptrdiff_t(found.bytes - found.characters);
    verdict.at = found.first;
}

// The reason of the message on a piece, put together at the end of a text.
struct explanation : text_builder {
    const char* piece;
    std::size_t text_length;
    std::uint64_t line_column;
    piece_shape shape;
    const piece_verdict& verdict;
    const input_record& r = verdict.record;

    std::uint64_t column(std::size_t at) const { return column_in_line(line_column, at); }

    void add_quoted(const char* characters, std::size_t length)
    {
        say('"');
        put_escaped(characters, length, escape_style::text);
        say('"');
    }

    // "column 5" or "columns 5-6", for the characters [from, to) of the piece.
    void add_columns(std::size_t from, std::size_t to)
    {
        if (to <= from + 1)
            say("column ", column(from));
        else
            say("columns ", column(from), '-', column(to - 1));
    }

    // What a scan step reads: its field, or what it skips.
    void add_step(std::size_t step)
    {
        const scan_step& s = scan_steps[step];
        if (s.assigns)
            put(fields[scan_step_fields[step]].name);
        else if (s.kind == scan_step::literal)
            say("the \"", s.symbol, '"');
        else if (s.kind == scan_step::number)
            put("an ignored number");
        else
            put(s.width > 1 ? "ignored columns" : "an ignored column");
    }

    // "later fields read N column(s) late" (or early).
    void add_shift(std::ptrdiff_t shift)
    {
        put("later fields read ");
        put_shift(*this, shift);
    }

    // Where the scan stopped and why, as the verdict says.
    void stop()
    {
        std::size_t stop = r.steps_run - 1;
        const scan_step& step = scan_steps[stop];
        std::size_t from = r.from(stop);
        if (verdict.stopped == piece_cause::zero_byte) {
            // Named by the layout's columns the zero byte stands in.
            std::size_t in = step_at(text_length);
            say("the line ends at column ", column(text_length),
                facts_of(piece_cause::zero_byte).message,
                text_length > scan_step_columns[in] ? "in " : "before ");
            return add_step(in);
        }
        if (verdict.stopped == piece_cause::line_too_short) {
            // The step the end cut short: the one before, if it got less
            // than its width.
            std::size_t last = stop - (stop > 0);
            bool inside = stop > 0 && scan_steps[last].kind == scan_step::characters &&
                          r.to(last) - r.from(last) < scan_steps[last].width;
            say("the line ends ", inside ? "in " : "before ");
            return add_step(inside ? last : stop);
        }
        if (verdict.stopped == piece_cause::literal_missing) {
            say("column ", column(from), " holds ");
            add_quoted(piece + from, 1);
            return put_words(*this, facts_of(piece_cause::literal_missing).message, stop);
        }
        add_step(stop);
        if (verdict.stopped == piece_cause::takes_sign) {
            // The sign and what follows it: "number1 finds "-x" at column 15".
            std::size_t to = r.to(stop);
            put(" finds ");
            add_quoted(piece + from, step.width > 1 && to < text_length ? 2 : 1);
            say(" at column ", column(from),
                step.width == 1 || to < text_length
                    ? facts_of(piece_cause::takes_sign).message
                    : std::string_view(", a sign, then the line ends"));
        } else if (from < text_length) {
            put(" finds ");
            add_quoted(piece + from, 1);
            say(" at column ", column(from), facts_of(piece_cause::not_a_digit).message);
        } else {
            put(" finds no digit before the line ends");
        }
    }

    // Where the reading left the layout for good: "number2's columns 17-18
    // are blank", "number1 skips white space at column 15", "number2 stops at
    // "a" in column 18".
    void leaving()
    {
        std::size_t step = verdict.step;
        std::size_t to = r.to(step);
        const cause_facts& facts = facts_of(verdict.cause);
        add_step(step);
        if (verdict.cause == piece_cause::columns_blank) {
            put("'s ");
            add_columns(scan_step_columns[step], step_end(step));
            put(scan_steps[step].width > 1 ? facts.message : facts.message_one);
        } else if (verdict.cause != piece_cause::stops_short) {
            say(facts.message, column(scan_step_columns[step]));
        } else if (to < text_length) {
            put(facts.message);
            add_quoted(piece + to, 1);
            say(" in column ", column(to));
        } else {
            say(" stops at column ", column(to), ", where the line ends");
        }
    }

    void short_line()
    {
        const char* last = shape.newline ? "" : "last ";
        const char* characters = shape.characters == 1 ? " character" : " characters";
        if (line_column == 0 && shape.whole)
            say("the ", last, "line has ", shape.characters, characters);
        else if (shape.whole)
            say("the rest of the ", last, "line from column ", column(0), " has ", shape.characters,
                characters);
        else
            say("the piece from column ", column(0), " has ", shape.characters, " characters");
        std::string_view needs = facts_of(piece_cause::line_too_short).message;
        if (shape.whole && shape.characters < shape.need && shape.newline)
            say(needs, shape.need, " and its newline");
        else if (shape.whole && shape.characters < shape.need)
            say(" and no newline,", needs, shape.need, " without one");
        else {
            put(" and ends before ");
            add_step(r.steps_run - 1);
        }
    }

    // What the line shows of the field, from which columns, and the shift
    // after the last number: ": text15 shows "AB" from columns 34-48; later
    // fields read 1 column late".
    void shifted()
    {
        std::size_t f = verdict.field;
        std::size_t step = field_places[f].step;
        const char* taken = r.start(step);
        if (verdict.cause == piece_cause::reads_neighbour)
            put(" and"); // "number1 skips ... and shows 70 from ..."
        else
            say(": ", fields[f].name);
        put(" shows ");
        if (fields[f].shape == shape_number)
            put_number(r.values[f]);
        else if (fields[f].shape == shape_text)
            add_quoted(taken, trim_trailing_spaces(taken, scan_steps[step].width));
        else
            add_quoted(taken, 1);
        put(" from ");
        add_columns(r.from(step), r.to(step));
        constexpr std::size_t last_number = [] {
            std::size_t step = scan_steps.size() - 1;
            while (step > 0 && scan_steps[step].kind != scan_step::number)
                --step;
            return step;
        }();
        if (std::ptrdiff_t net = after(r, last_number)) {
            put("; ");
            add_shift(net);
        }
    }

    // "text14 holds 1 UTF-8 character of 2 bytes, so later fields read 1
    // column late".
    void multibyte()
    {
        char laid[max_piece + 64];
        utf8_characters found;
        laid_by_characters(piece, text_length, laid, found);
        std::size_t f = found.field;
        say(fields[f].name, " holds ", found.characters, facts_of(verdict.cause).message,
            found.characters == 1 ? " of " : "s of ", found.bytes, " bytes, so ");
        add_shift(verdict.shift);
        if (verdict.fate == piece_fate::dropped) {
            put(": ");
            stop();
        }
    }

    void problem()
    {
        switch (verdict.cause) {
        case piece_cause::multibyte_text: return multibyte();
        case piece_cause::control_character:
            say(fields[verdict.field].name, " shows ");
            add_quoted(piece + verdict.at, 1);
            return say(" from column ", column(verdict.at), facts_of(verdict.cause).message);
        case piece_cause::empty_line: return put(facts_of(verdict.cause).message);
        case piece_cause::line_too_short: return short_line();
        case piece_cause::zero_byte:
        case piece_cause::literal_missing:
        case piece_cause::takes_sign:
        case piece_cause::not_a_digit: return stop();
        default: break;
        }
        leaving();
        if (verdict.fate == piece_fate::shifted)
            return shifted();
        if (std::ptrdiff_t shift = before(r, r.steps_run - 1)) {
            put(", so ");
            add_shift(shift);
            put(": ");
            stop();
        }
    }
};

// Where a message on the verdict points, as its cause's place says.
void place_cause(const piece_shape& shape, std::size_t text_length, piece_verdict& verdict)
{
    const input_record& r = verdict.record;
    switch (facts_of(verdict.cause).place) {
    case cause_place::step_columns: verdict.at = scan_step_columns[verdict.step]; break;
    case cause_place::step_end: verdict.at = r.to(verdict.step); break;
    case cause_place::step_start: verdict.at = r.from(verdict.step); break;
    case cause_place::text_end: verdict.at = text_length; break;
    case cause_place::line_end: verdict.at = shape.characters; break;
    case cause_place::judged: break;
    }
}

// Converted from its own columns: suspect where a field the line shows as
// characters holds a control character.
void find_control_character(const char* piece, std::size_t text_length, piece_verdict& verdict)
{
    using namespace verdict_detail;
    for (std::size_t c = 0; c < std::min(text_length, record_length); ++c) {
        if (shown_field_at[c] == field_count || !is_control(static_cast<unsigned char>(piece[c])))
            continue;
        verdict.fate = piece_fate::suspect;
        verdict.shift = 0;
        verdict.cause = piece_cause::control_character;
        verdict.field = shown_field_at[c];
        verdict.step = field_places[verdict.field].step;
        verdict.at = c;
        return;
    }
}

} // namespace

void verdict_detail::judge_further(const char* piece, std::size_t length, std::size_t text_length,
                                   std::uint64_t line_column, piece_verdict& verdict)
{
    if (!verdict.plain) {
        read_record(piece, text_length, verdict.record);
        bool complete = verdict.record.count == field_count;
        if (complete)
            judge_complete(piece, text_length, verdict);
        if (!complete || verdict.fate != piece_fate::converted) {
            piece_shape shape = complete ? piece_shape{} : shape_of(piece, length, text_length);
            if (!complete)
                judge_dropped(piece, text_length, shape, line_column, verdict);
            place_cause(shape, text_length, verdict);
            if (high_byte_in_texts(piece, text_length))
                find_multibyte_text(piece, text_length, verdict);
            return;
        }
    }
    if (may_show_control(piece, text_length))
        find_control_character(piece, text_length, verdict);
}

void explain(const piece_verdict& verdict, const char* piece, std::size_t length,
             std::size_t text_length, std::uint64_t line_column, text_builder& out)
{
    // Only a dropped piece's reason tells of the piece's shape.
    bool dropped = verdict.fate == piece_fate::dropped;
    explanation reason{{out.text + out.used, out.size - out.used},
                       piece,
                       text_length,
                       line_column,
                       dropped ? shape_of(piece, length, text_length) : piece_shape{},
                       verdict};
    reason.problem();
    out.used += reason.used;
}

std::size_t verdict_detail::write_read_line(const piece_verdict& verdict, char* line)
{
    return write_record(verdict.record, line);
}

std::string_view step_subject(std::size_t step)
{
    const scan_step& s = scan_steps[step];
    return s.assigns                      ? fields[scan_step_fields[step]].name
           : s.kind == scan_step::literal ? "the literal"
           : s.kind == scan_step::number  ? "a number"
                                          : "ignored columns";
}

std::string_view cause_field(piece_cause cause, std::size_t step)
{
    return facts_of(cause).about_step && scan_steps[step].assigns
               ? fields[scan_step_fields[step]].name
               : std::string_view();
}

void put_shift(text_builder& out, std::ptrdiff_t shift)
{
    std::ptrdiff_t n = shift < 0 ? -shift : shift;
    out.say(n, n == 1 ? " column " : " columns ", shift < 0 ? "early" : "late");
}

void put_words(text_builder& out, std::string_view words, std::size_t step)
{
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] != '%' || i + 1 == words.size()) {
            out.put(words[i]);
            continue;
        }
        switch (words[++i]) {
        case 's': out.put(step_subject(step)); break;
        case 'c': out.put(scan_steps[step].symbol); break;
        case 'n': out.put_number(max_piece); break;
        default: out.put(words[i]); break;
        }
    }
}

} // namespace v2list
