#include "piece_reason.hpp"

#include "piece_loop.hpp"
#include "text_builder.hpp"

namespace v2list {

namespace {

// The reason of the message on a piece, put together at the end of a text.
struct explanation : text_builder {
    const char* piece;
    std::size_t text_length;
    std::uint64_t line_column;
    const piece_verdict& verdict;
    const input_record& r = verdict.record;
    const piece_shape& shape = verdict.shape;

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
        if (std::ptrdiff_t net = ended_late(r, last_number)) {
            put("; ");
            add_shift(net);
        }
    }

    // "text14 holds 1 UTF-8 character of 2 bytes, so later fields read 1
    // column late".
    void multibyte()
    {
        std::size_t characters = verdict.characters;
        say(fields[scan_step_fields[verdict.step]].name, " holds ", characters,
            facts_of(verdict.cause).message, characters == 1 ? " of " : "s of ",
            characters + std::size_t(verdict.shift), " bytes, so ");
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
        if (std::ptrdiff_t shift = r.steps_run > 1 ? ended_late(r, r.steps_run - 2) : 0) {
            put(", so ");
            add_shift(shift);
            put(": ");
            stop();
        }
    }
};

} // namespace

void explain(const piece_verdict& verdict, const char* piece, std::size_t text_length,
             std::uint64_t line_column, text_builder& out)
{
    explanation reason{
        {out.text + out.used, out.size - out.used}, piece, text_length, line_column, verdict};
    reason.problem();
    out.used += reason.used;
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
