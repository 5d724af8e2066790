#include "piece_check.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "byte_blocks.hpp"
#include "column_copy.hpp"
#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"
#include "piece_loop.hpp"
#include "text_builder.hpp"

namespace v2list {

namespace {

// A reason put together in the verdict's fixed buffer.
struct reason_text : text_builder {
    void add_quoted(const char* characters, std::size_t length)
    {
        put('"');
        used += escape_text(characters, length, text + used, size - used);
        put('"');
    }

    // "column 5" or "columns 5-6", for the characters from..to (from 0,
    // to excluded) of a piece that starts at column at of its line.
    void add_columns(std::uint64_t at, std::size_t from, std::size_t to)
    {
        if (to <= from + 1)
            say("column ", at + from + 1);
        else
            say("columns ", at + from + 1, '-', at + to);
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
        std::ptrdiff_t n = shift < 0 ? -shift : shift;
        say("later fields read ", n, n == 1 ? " column " : " columns ",
            shift < 0 ? "early" : "late");
    }
};

bool is_sign(char c)
{
    return c == '-' || c == '+';
}

// How the full reader read a piece: where each step took its characters,
// and the fields it assigned.
struct reading {
    const scan_trace& trace;
    const input_record& record;

    // How many columns late (negative: early) step ended, and the step
    // before it, against their own columns.
    std::ptrdiff_t after(std::size_t step) const
    {
        return std::ptrdiff_t(trace.steps[step].to) - std::ptrdiff_t(step_end(step));
    }
    std::ptrdiff_t before(std::size_t step) const { return step == 0 ? 0 : after(step - 1); }

    // The step where the reading left the layout for good before step: the
    // first of the steps up to it that all start off their own columns, the
    // one before them being where the shifting began.
    std::size_t left_layout_at(std::size_t step) const
    {
        while (before(step) != 0)
            --step;
        return step;
    }
};

// The value of a number's own columns read alone: a number, with white
// space around it and nothing else. False when they hold none.
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

// Whether step S reads its own columns and ends where they do, given that
// every step before it did.
template <std::size_t S>
bool step_in_place(const char* piece, const char* end)
{
    constexpr scan_step step = scan_steps[S];
    constexpr std::size_t column = scan_step_columns[S];
    if constexpr (step.kind == scan_step::number) {
        const char* p = piece + column;
        const char* start;
        std::int32_t value;
        return scan_number(p, end, step.width, start, value) == scan_result::assigned &&
               p == piece + step_end(S);
    } else if constexpr (step.kind == scan_step::literal) {
        return piece[column] == step.symbol;
    } else {
        return true;
    }
}

// Whether a piece whose text has text_length characters is a complete
// record with every step at its own columns: numbers that may be padded
// with white space, but end where their columns do. Then every field is
// read from its own columns, and the piece converts as it stands.
template <std::size_t... S>
bool read_in_place(const char* piece, std::size_t text_length, std::index_sequence<S...>)
{
    return text_length >= shortest_record && (step_in_place<S>(piece, piece + text_length) && ...);
}

// For a complete record: converted, or shifted at the first field that the
// listing shows with a value not from its own columns, with its cause.
void judge_complete(const char* piece, std::size_t text_length, const reading& read,
                    piece_verdict& verdict)
{
    for (std::size_t f = 0; f < field_count; ++f) {
        if (!shown_fields[f])
            continue;
        const field_place& place = field_places[f];
        std::ptrdiff_t before = read.before(place.step);
        // Its own columns, as far as the text has them.
        const char* own = piece + place.column;
        std::size_t own_length =
            place.column >= text_length ? 0 : std::min(place.width, text_length - place.column);
        const char* taken = own + before;
        bool same = true;
        switch (fields[f].shape) {
        case shape_number: {
            std::int32_t value;
            same = own_value(own, own_length, unsigned(place.width), value) &&
                   value == field_value(read.record, field_id(f));
            break;
        }
        case shape_text: {
            if (before == 0)
                break;
            std::size_t n = trimmed_length(taken, place.width);
            same = trimmed_length(own, own_length) == n && std::memcmp(taken, own, n) == 0;
            break;
        }
        case shape_character:
        case shape_tail: same = before == 0 || (own_length > 0 && *own == *taken); break;
        }
        if (same)
            continue;
        verdict.fate = piece_fate::shifted;
        verdict.field = f;
        verdict.step = read.left_layout_at(place.step);
        bool itself = verdict.step == place.step;
        verdict.cause = read.after(verdict.step) < 0 ? piece_cause::stops_short
                        : own_columns_blank(piece, text_length, verdict.step)
                            ? piece_cause::columns_blank
                        : itself ? piece_cause::reads_neighbour
                                 : piece_cause::skips_white_space;
        return;
    }
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

// The layout's step whose own columns hold column (counted from 0): the
// last step that starts at or before it.
std::size_t step_at(std::size_t column)
{
    std::size_t step = 0;
    while (step + 1 < scan_steps.size() && scan_step_columns[step + 1] <= column)
        ++step;
    return step;
}

// For a piece that is not a complete record: where and why the reading
// failed, or where it left the layout before it failed.
void judge_dropped(const char* piece, std::size_t text_length, const piece_shape& shape,
                   std::uint64_t at, const reading& read, piece_verdict& verdict)
{
    const scan_trace& trace = read.trace;
    std::size_t stop = trace.steps_run - 1;
    std::size_t left = read.left_layout_at(stop);
    verdict.fate = piece_fate::dropped;
    verdict.step = left;
    if (shape.whole && !shape.zero && shape.characters < shape.need) {
        bool empty = shape.characters == 0 && shape.newline && at == 0;
        verdict.cause = empty ? piece_cause::empty_line : piece_cause::line_too_short;
        verdict.step = stop;
    } else if (read.after(left) >= 0 && own_columns_blank(piece, text_length, left)) {
        verdict.cause = piece_cause::columns_blank; // whatever follows
    } else if (trace.ran_out && shape.zero) {
        verdict.cause = piece_cause::zero_byte;
        verdict.step = step_at(text_length); // the step whose columns it stands in
    } else if (left != stop) {
        verdict.cause = scan_steps[left].kind != scan_step::number ? piece_cause::line_too_short
                        : read.after(left) < 0                     ? piece_cause::stops_short
                                                                   : piece_cause::skips_white_space;
    } else if (trace.ran_out) {
        verdict.cause = piece_cause::line_too_short;
    } else if (scan_steps[stop].kind == scan_step::literal) {
        verdict.cause = piece_cause::literal_missing;
    } else {
        verdict.cause = is_sign(piece[trace.steps[stop].from]) ? piece_cause::takes_sign
                                                               : piece_cause::not_a_digit;
    }
}

// Where the scan stopped and why, in words, where nothing shifted before.
void explain_stop(const char* piece, const piece_shape& shape, std::size_t text_length,
                  std::uint64_t at, const scan_trace& trace, reason_text& reason)
{
    std::size_t stop = trace.steps_run - 1;
    const scan_step& step = scan_steps[stop];
    std::size_t from = trace.steps[stop].from;
    if (trace.ran_out && shape.zero) {
        // Named by the layout's columns the zero byte stands in.
        std::size_t in = step_at(text_length);
        reason.say("the line ends at column ", at + text_length + 1, " (a zero byte) ",
                   text_length > scan_step_columns[in] ? "in " : "before ");
        reason.add_step(in);
        return;
    }
    if (trace.ran_out) {
        // The step the end cut short: the one before the step that found
        // nothing, when that one did not get all of its width.
        const auto& before = trace.steps[stop - (stop > 0)];
        bool inside = stop > 0 && scan_steps[stop - 1].kind == scan_step::characters &&
                      before.to - before.from < scan_steps[stop - 1].width;
        reason.say("the line ends ", inside ? "in " : "before ");
        reason.add_step(inside ? stop - 1 : stop);
        return;
    }
    if (step.kind == scan_step::literal) {
        reason.say("column ", at + from + 1, " holds ");
        reason.add_quoted(piece + from, 1);
        reason.say(" where the \"", step.symbol, "\" belongs");
        return;
    }
    reason.add_step(stop);
    if (is_sign(piece[from])) {
        // The sign and what follows it: "number1 finds "-x" at column 15".
        std::size_t to = trace.steps[stop].to;
        reason.put(" finds ");
        reason.add_quoted(piece + from, step.width > 1 && to < text_length ? 2 : 1);
        reason.say(" at column ", at + from + 1,
                   step.width == 1 || to < text_length ? ", a sign, no digit"
                                                       : ", a sign, then the line ends");
        return;
    }
    if (from < text_length) {
        reason.put(" finds ");
        reason.add_quoted(piece + from, 1);
        reason.say(" at column ", at + from + 1, ", not a digit");
    } else {
        reason.put(" finds no digit before the line ends");
    }
}

// Where the reading left the layout for good, at step: "number2's columns
// 17-18 are blank", "number1 skips white space at column 15 and ends at
// column 17", "number2 stops at "a" in column 18".
void explain_leaving(const char* piece, std::size_t text_length, std::uint64_t at,
                     const piece_verdict& verdict, const reading& read, reason_text& reason)
{
    std::size_t step = verdict.step;
    std::size_t to = read.trace.steps[step].to;
    reason.add_step(step);
    switch (verdict.cause) {
    case piece_cause::columns_blank:
        reason.put("'s ");
        reason.add_columns(at, scan_step_columns[step], step_end(step));
        reason.put(scan_steps[step].width > 1 ? " are blank" : " is blank");
        return;
    case piece_cause::reads_neighbour:
    case piece_cause::skips_white_space:
        reason.say(" skips white space at column ", verdict.column);
        return;
    default: break;
    }
    if (to < text_length) {
        reason.put(" stops at ");
        reason.add_quoted(piece + to, 1);
        reason.say(" in column ", at + to + 1);
    } else {
        reason.say(" stops at column ", at + to + 1, ", where the line ends");
    }
}

// The column of a message: where the cause is.
std::uint64_t cause_column(const piece_shape& shape, std::size_t text_length, std::uint64_t at,
                           const piece_verdict& verdict, const scan_trace& trace)
{
    switch (verdict.cause) {
    case piece_cause::columns_blank:
    case piece_cause::skips_white_space:
    case piece_cause::reads_neighbour: return at + scan_step_columns[verdict.step] + 1;
    case piece_cause::stops_short: return at + trace.steps[verdict.step].to + 1;
    case piece_cause::takes_sign:
    case piece_cause::not_a_digit:
    case piece_cause::literal_missing: return at + trace.steps[verdict.step].from + 1;
    case piece_cause::zero_byte: return at + text_length + 1;
    case piece_cause::line_too_short:
    case piece_cause::empty_line: return at + shape.characters + 1;
    case piece_cause::none:
    case piece_cause::control_character: break; // said where it is judged
    }
    return at + 1;
}

void explain_short(const piece_shape& shape, std::uint64_t at, const scan_trace& trace,
                   reason_text& reason)
{
    const char* last = shape.newline ? "" : "last ";
    if (at == 0 && shape.whole)
        reason.say("the ", last, "line has ", shape.characters,
                   shape.characters == 1 ? " character" : " characters");
    else if (shape.whole)
        reason.say("the rest of the ", last, "line from column ", at + 1, " has ", shape.characters,
                   shape.characters == 1 ? " character" : " characters");
    else
        reason.say("the piece from column ", at + 1, " has ", shape.characters, " characters");
    if (shape.whole && shape.characters < shape.need) {
        if (shape.newline)
            reason.say(" and a record needs ", shape.need, " and its newline");
        else
            reason.say(" and no newline, and a record needs ", shape.need, " without one");
        return;
    }
    reason.put(" and ends before ");
    reason.add_step(trace.steps_run - 1);
}

// What a shifted record's line shows of the field from other columns, and
// from which: " shows 12 from columns 18-19".
void explain_shifted(std::uint64_t at, const piece_verdict& verdict, const reading& read,
                     reason_text& reason)
{
    std::size_t f = verdict.field;
    const auto& taken = read.trace.steps[field_places[f].step];
    auto id = field_id(f);
    reason.put(" shows ");
    switch (fields[f].shape) {
    case shape_number: reason.put(field_value(read.record, id)); break;
    case shape_text: {
        const char* text = field_characters(read.record, id);
        reason.add_quoted(text, std::strlen(text));
        break;
    }
    case shape_character:
    case shape_tail: reason.add_quoted(field_characters(read.record, id), 1); break;
    }
    reason.put(" from ");
    reason.add_columns(at, taken.from, taken.to);
}

// The column and the reason of the message on a piece dropped or shifted.
void explain(const char* piece, std::size_t text_length, std::uint64_t at, const piece_shape& shape,
             const reading& read, piece_verdict& verdict)
{
    reason_text reason{{verdict.reason, sizeof verdict.reason}};
    verdict.reason[0] = '\0';
    verdict.column = cause_column(shape, text_length, at, verdict, read.trace);
    switch (verdict.cause) {
    case piece_cause::empty_line: reason.put("an empty line"); return;
    case piece_cause::line_too_short: explain_short(shape, at, read.trace, reason); return;
    case piece_cause::zero_byte:
    case piece_cause::literal_missing:
    case piece_cause::takes_sign:
    case piece_cause::not_a_digit:
        explain_stop(piece, shape, text_length, at, read.trace, reason);
        return;
    case piece_cause::columns_blank:
    case piece_cause::reads_neighbour:
    case piece_cause::skips_white_space:
    case piece_cause::stops_short: break;
    case piece_cause::none:
    case piece_cause::control_character: return; // said where it is judged
    }
    explain_leaving(piece, text_length, at, verdict, read, reason);
    if (verdict.fate == piece_fate::shifted) {
        // What the listing shows from other columns, and the net shift
        // after the last number, which moves every field after it.
        if (verdict.cause == piece_cause::reads_neighbour)
            reason.put(" and"); // "number1 skips ... and shows 70 from ..."
        else
            reason.say(": ", fields[verdict.field].name);
        explain_shifted(at, verdict, read, reason);
        std::size_t last_number = scan_steps.size() - 1;
        while (last_number > 0 && scan_steps[last_number].kind != scan_step::number)
            --last_number;
        if (std::ptrdiff_t net = read.after(last_number)) {
            reason.put("; ");
            reason.add_shift(net);
        }
        return;
    }
    std::size_t stop = read.trace.steps_run - 1;
    if (std::ptrdiff_t shift = read.before(stop)) {
        reason.put(", so ");
        reason.add_shift(shift);
        reason.put(": ");
        explain_stop(piece, shape, text_length, at, read.trace, reason);
    }
}

// A control character is a byte below 0x20, or 0x7f.
constexpr bool is_control(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

// Whether the line shows a field's characters as they are: a text or a
// single character. A number shows its value, never the white space it
// skipped.
constexpr bool shows_characters(std::size_t f)
{
    return shown_fields[f] && fields[f].shape != shape_number;
}

// The columns of the fields whose characters the line shows, 16 to a
// block, 0xff where such a field stands.
constexpr std::size_t last_shown_column = [] {
    std::size_t last = 0;
    for (std::size_t f = 0; f < field_count; ++f)
        if (shows_characters(f))
            last = std::max(last, field_places[f].column + field_places[f].width - 1);
    return last;
}();
constexpr std::size_t shown_blocks = last_shown_column / 16 + 1;
constexpr auto shown_bytes = [] {
    std::array<unsigned char, 16 * shown_blocks> bytes{};
    for (std::size_t f = 0; f < field_count; ++f)
        for (std::size_t c = field_places[f].column;
             shows_characters(f) && c < field_places[f].column + field_places[f].width; ++c)
            bytes[c] = 0xff;
    return bytes;
}();

// The first column (from 0) of a field shown as characters that holds a control
// character, and the field; false for none. For a piece converted from its
// own columns, 16 columns at a time where the text has them.
[[gnu::always_inline]] inline bool first_control_character(const char* piece,
                                                           std::size_t text_length,
                                                           std::size_t& column, std::size_t& field)
{
    column = 0;
    if (text_length >= 16 * shown_blocks) {
        byte_block found{};
        for (std::size_t b = 0; b < shown_blocks; ++b) {
            byte_block block = load_block(piece + 16 * b);
            found |= ((block < 0x20) | (block == 0x7f)) &
                     load_block(reinterpret_cast<const char*>(shown_bytes.data()) + 16 * b);
        }
        if (block_bits(found) == 0)
            return false;
    }
    // Where one is, or where the text is too short for whole words: a
    // column at a time.
    for (; column <= last_shown_column && column < text_length; ++column) {
        if (!is_control(static_cast<unsigned char>(piece[column])))
            continue;
        for (field = 0; field < field_count; ++field)
            if (shows_characters(field) && column >= field_places[field].column &&
                column < field_places[field].column + field_places[field].width)
                return true;
    }
    field = field_count;
    return false;
}

// Converted from its own columns: suspect where a shown field holds a
// control character. Inlined, with the test above, into judge_piece: called
// instead, v2check -c takes 237 instructions a complete record, not 208.
[[gnu::always_inline]] inline void judge_in_place(const char* piece, std::size_t text_length,
                                                  std::uint64_t at, bool explain_it,
                                                  piece_verdict& verdict)
{
    std::size_t column;
    if (!first_control_character(piece, text_length, column, verdict.field))
        return;
    verdict.fate = piece_fate::suspect;
    verdict.cause = piece_cause::control_character;
    verdict.step = field_places[verdict.field].step;
    verdict.column = at + column + 1;
    if (explain_it) {
        reason_text reason{{verdict.reason, sizeof verdict.reason}};
        reason.say(fields[verdict.field].name, " shows ");
        reason.add_quoted(piece + column, 1);
        reason.say(" from column ", verdict.column, ", a control character");
    }
}

} // namespace

void judge_piece(const char* piece, std::size_t length, std::size_t text_length,
                 std::uint64_t line_column, bool explain_it, piece_verdict& verdict)
{
    verdict.fate = piece_fate::converted;
    verdict.cause = piece_cause::none;
    verdict.step = 0;
    verdict.field = field_count;
    // A plain record, told at once where copying columns serves the layout,
    // or any record whose steps are all at their own columns.
    bool in_place = false;
    if constexpr (copies_columns)
        in_place = text_length >= shortest_record && plain_record(piece);
    if (in_place ||
        read_in_place(piece, text_length, std::make_index_sequence<scan_steps.size()>())) {
        judge_in_place(piece, text_length, line_column, explain_it, verdict);
        return;
    }
    input_record record;
    scan_trace trace;
    reading read{trace, record};
    piece_shape shape = shape_of(piece, length, text_length);
    if (read_text(piece, text_length, record, trace) != field_count) {
        judge_dropped(piece, text_length, shape, line_column, read, verdict);
    } else {
        judge_complete(piece, text_length, read, verdict);
        if (verdict.fate == piece_fate::converted) {
            judge_in_place(piece, text_length, line_column, explain_it, verdict);
            return;
        }
    }
    if (explain_it)
        explain(piece, text_length, line_column, shape, read, verdict);
}

const char* fate_name(piece_fate fate)
{
    switch (fate) {
    case piece_fate::converted: return "converted";
    case piece_fate::shifted: return "shifted";
    case piece_fate::dropped: return "dropped";
    case piece_fate::suspect: return "suspect";
    }
    return "";
}

const char* cause_code(piece_cause cause)
{
    switch (cause) {
    case piece_cause::none: return "none";
    case piece_cause::columns_blank: return "columns_blank";
    case piece_cause::skips_white_space: return "skips_white_space";
    case piece_cause::reads_neighbour: return "reads_neighbour";
    case piece_cause::stops_short: return "stops_short";
    case piece_cause::takes_sign: return "takes_sign";
    case piece_cause::not_a_digit: return "not_a_digit";
    case piece_cause::literal_missing: return "literal_missing";
    case piece_cause::zero_byte: return "zero_byte";
    case piece_cause::line_too_short: return "line_too_short";
    case piece_cause::empty_line: return "empty_line";
    case piece_cause::control_character: return "control_character";
    }
    return "";
}

bool cause_is_about_step(piece_cause cause)
{
    switch (cause) {
    case piece_cause::columns_blank:
    case piece_cause::skips_white_space:
    case piece_cause::reads_neighbour:
    case piece_cause::stops_short:
    case piece_cause::takes_sign:
    case piece_cause::not_a_digit:
    case piece_cause::literal_missing:
    case piece_cause::zero_byte:
    case piece_cause::control_character: return true;
    case piece_cause::none:
    case piece_cause::line_too_short:
    case piece_cause::empty_line: break;
    }
    return false;
}

const char* cause_field(const piece_verdict& verdict)
{
    return cause_is_about_step(verdict.cause) && scan_steps[verdict.step].assigns
               ? fields[scan_step_fields[verdict.step]].name
               : nullptr;
}

std::size_t cause_words(const piece_verdict& verdict, char* out, std::size_t size)
{
    const scan_step& step = scan_steps[verdict.step];
    const char* name = step.assigns ? fields[scan_step_fields[verdict.step]].name : "a number";
    text_builder words{out, size};
    switch (verdict.cause) {
    case piece_cause::none: words.put("converted"); break;
    case piece_cause::columns_blank:
        words.say(name, step.width > 1 ? "'s columns are blank" : "'s column is blank");
        break;
    case piece_cause::skips_white_space: words.say(name, " skips white space"); break;
    case piece_cause::reads_neighbour:
        words.say(name, " skips white space into a neighbour's column");
        break;
    case piece_cause::stops_short: words.say(name, " stops short"); break;
    case piece_cause::takes_sign: words.say(name, " takes a sign"); break;
    case piece_cause::not_a_digit: words.say(name, " finds no digit"); break;
    case piece_cause::literal_missing: words.say("no \"", step.symbol, "\" in its column"); break;
    case piece_cause::zero_byte:
        words.put("zero byte in ");
        words.put(step.assigns                      ? name
                  : step.kind == scan_step::literal ? "the literal"
                                                    : "ignored columns");
        break;
    case piece_cause::line_too_short: words.put("line too short"); break;
    case piece_cause::empty_line: words.put("empty line"); break;
    case piece_cause::control_character: words.say(name, " shows a control character"); break;
    }
    return words.used;
}

std::size_t escape_text(const char* text, std::size_t length, char* out, std::size_t size)
{
    // The bytes that stand for themselves: printable ASCII but the
    // backslash and the double quote.
    static constexpr auto plain = [] {
        std::array<bool, 256> is_plain{};
        for (int c = 0x20; c < 0x7f; ++c)
            is_plain[std::size_t(c)] = c != '\\' && c != '"';
        return is_plain;
    }();
    std::size_t used = 0;
    for (std::size_t i = 0; i < length && used + 5 <= size; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (plain[c]) {
            // A run of bytes that stand for themselves, copied at once.
            std::size_t run = 1, room = std::min(length - i, size - 1 - used);
            while (run < room && plain[static_cast<unsigned char>(text[i + run])])
                ++run;
            std::memcpy(out + used, text + i, run);
            used += run;
            i += run - 1;
            continue;
        }
        const char* named = c == '\t'   ? "\\t"
                            : c == '\n' ? "\\n"
                            : c == '\r' ? "\\r"
                            : c == '\\' ? "\\\\"
                            : c == '"'  ? "\\\""
                                        : nullptr;
        if (named != nullptr) {
            out[used++] = named[0];
            out[used++] = named[1];
        } else {
            static const char hex[] = "0123456789abcdef";
            const char escaped[4] = {'\\', 'x', hex[c >> 4], hex[c & 15]};
            std::memcpy(out + used, escaped, sizeof escaped);
            used += sizeof escaped;
        }
    }
    if (used < size)
        out[used] = '\0';
    return used;
}

} // namespace v2list
