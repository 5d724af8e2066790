#include "message_words.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "message_catalog.hpp"
#include "piece_loop.hpp"
#include "text_builder.hpp"

namespace v2list {

namespace {

// Each part is written to a bounded text (the tally's words) or a message.
template <typename Out>
void put_stop(Out& out, const diagnosis& d);
template <typename Out>
void put_then(Out& out, const diagnosis& d, const clause& c);

// What a scan step reads in a message: its field, or what it skips.
template <typename Out>
[[gnu::always_inline]] inline void put_step(Out& out, std::size_t step)
{
    const scan_step& s = scan_steps[step];
    if (s.assigns)
        field_names.put(out, scan_step_fields[step]);
    else if (s.kind == scan_step::literal)
        out.say("the \"", s.symbol, '"');
    else if (s.kind == scan_step::number)
        out.put("an ignored number");
    else
        out.put(s.width > 1 ? "ignored columns" : "an ignored column");
}

// What it reads in the tally, where steps of one name are one row.
std::string_view step_subject(std::size_t step)
{
    const scan_step& s = scan_steps[step];
    return s.assigns                      ? fields[scan_step_fields[step]].name
           : s.kind == scan_step::literal ? "the literal"
           : s.kind == scan_step::number  ? "a number"
                                          : "ignored columns";
}

// "column 5" or "columns 5-6".
template <typename Out>
[[gnu::always_inline]] inline void put_span(Out& out, column_span span)
{
    if (span.first == span.last)
        out.say("column ", span.first);
    else
        out.say("columns ", span.first, '-', span.last);
}

template <typename Out>
[[gnu::always_inline]] inline void put_quoted(Out& out, const char* characters, std::size_t length)
{
    out.put('"');
    out.put_escaped(characters, length, escape_style::text);
    out.put('"');
}

std::uint64_t span_width(column_span span)
{
    return span.first == 0 ? 0 : span.last - span.first + 1;
}

// A fact as a number: what a plural counts, a condition tests (not 0), and
// a slot of a number shows.
template <fact F>
[[gnu::always_inline]] inline std::uint64_t amount(const diagnosis& d, const clause& c)
{
    using f = fact;
    // clang-format off
    if constexpr (F == f::column) return c.column;
    else if constexpr (F == f::found) return c.found_length;
    else if constexpr (F == f::inside) return c.inside;
    else if constexpr (F == f::ends) return c.ends;
    else if constexpr (F == f::columns) return span_width(c.columns);
    // A field or a literal, not columns ignored.
    else if constexpr (F == f::named)
        return scan_steps[c.step].assigns || scan_steps[c.step].kind == scan_step::literal;
    else if constexpr (F == f::field) return d.field != field_count;
    else if constexpr (F == f::from) return span_width(d.from);
    else if constexpr (F == f::later) return std::uint64_t(d.later < 0 ? -d.later : d.later);
    else if constexpr (F == f::stop) return d.stop.cause != piece_cause::none;
    else if constexpr (F == f::characters) return d.characters;
    else if constexpr (F == f::bytes) return d.characters + std::size_t(d.later);
    else if constexpr (F == f::length) return d.length;
    else if constexpr (F == f::need) return d.need;
    else if constexpr (F == f::start) return d.start;
    else if constexpr (F == f::rest) return d.start > 1;
    else if constexpr (F == f::newline) return d.newline;
    else if constexpr (F == f::whole) return d.whole;
    else if constexpr (F == f::short_of) return d.whole && d.length < d.need;
    else if constexpr (F == f::most) return max_piece;
    else if constexpr (F == f::glued) return d.glued;
    else if constexpr (F == f::lost) return d.glued - 1;
    else if constexpr (F == f::record) return record_length;
    else if constexpr (F == f::byte) return d.file->has_byte ? d.file->byte : 0;
    else if constexpr (F == f::stated) return d.file->stated.size();
    else if constexpr (F == f::stating_line) return d.file->stating_line;
    else if constexpr (F == f::records) return d.file->records;
    else static_assert(F == f::none, "a condition or plural on a fact that is no number");
    // clang-format on
}

// A fact as the words say it: a number as it is, the rest as here.
template <fact F, typename Out>
[[gnu::always_inline]] inline void put_fact(Out& out, const diagnosis& d, const clause& c)
{
    using f = fact;
    // clang-format off
    if constexpr (F == f::step) put_step(out, c.step);
    else if constexpr (F == f::subject) out.put(step_subject(c.step));
    else if constexpr (F == f::literal) out.put(scan_steps[c.step].symbol);
    else if constexpr (F == f::found) put_quoted(out, c.found, c.found_length);
    else if constexpr (F == f::columns) put_span(out, c.columns);
    else if constexpr (F == f::field) field_names.put(out, d.field);
    else if constexpr (F == f::from) put_span(out, d.from);
    else if constexpr (F == f::shows) {
        if (fields[d.shifted_field].shape == shape_number)
            out.put_number(d.value);
        else
            put_quoted(out, d.shows, d.shows_length);
    }
    else if constexpr (F == f::later) put_shift(out, d.later);
    else if constexpr (F == f::stop) put_stop(out, d);
    else if constexpr (F == f::then) put_then(out, d, c);
    else if constexpr (F == f::format) out.put(d.file->format);
    else if constexpr (F == f::why) out.put(d.file->why);
    else if constexpr (F == f::stated)
        out.put_escaped(d.file->stated.data(), d.file->stated.size(), escape_style::text);
    else if constexpr (F == f::inside || F == f::ends || F == f::named || F == f::rest ||
                       F == f::newline || F == f::whole || F == f::short_of)
        static_assert(F == f::none, "a slot shows a fact that is only a condition");
    else out.put_number(amount<F>(d, c));
    // clang-format on
}

// The tokens [I, End) of a wording, unrolled when compiled: each part's
// words are a copy of a known length, each slot a call.
template <const auto& Wordings, std::size_t Row, std::size_t I, std::size_t End, typename Out>
[[gnu::always_inline]] inline void render(Out& out, const diagnosis& d, const clause& c)
{
    if constexpr (I < End) {
        constexpr wording_token t = Wordings[Row].tokens[I];
        if constexpr (t.kind == wording_token::words) {
            out.template append_fixed<t.text.size()>(t.text.data());
        } else if constexpr (t.kind == wording_token::slot) {
            put_fact<t.name>(out, d, c);
        } else if constexpr (t.kind == wording_token::plural) {
            std::string_view words = amount<t.name>(d, c) == 1 ? t.text : t.other;
            out.append(words.data(), words.size());
        } else if constexpr (t.kind == wording_token::when || t.kind == wording_token::unless) {
            if ((amount<t.name>(d, c) != 0) == (t.kind == wording_token::when))
                render<Wordings, Row, I + 1, t.close>(out, d, c);
            return render<Wordings, Row, t.close + 1, End>(out, d, c);
        }
        render<Wordings, Row, I + 1, End>(out, d, c);
    }
}

template <typename Out>
using renderer = void (*)(Out&, const diagnosis&, const clause&);

template <const auto& Wordings, std::size_t Row, typename Out>
void render_row(Out& out, const diagnosis& d, const clause& c)
{
    render<Wordings, Row, 0, Wordings[Row].count>(out, d, c);
}

template <const auto& Wordings, typename Out, std::size_t... Row>
constexpr auto renderers_of(std::index_sequence<Row...>)
{
    return std::array<renderer<Out>, sizeof...(Row)>{&render_row<Wordings, Row, Out>...};
}

template <const auto& Wordings, typename Out>
inline constexpr auto
    renderers = renderers_of<Wordings, Out>(std::make_index_sequence<std::size(Wordings)>());

template <typename Out>
void put_stop(Out& out, const diagnosis& d)
{
    renderers<stop_wordings, Out>[std::size_t(d.stop.cause)](out, d, d.stop);
}

template <typename Out>
void put_then(Out& out, const diagnosis& d, const clause& c)
{
    renderers<then_wordings, Out>[d.fate == piece_fate::shifted](out, d, c);
}

} // namespace

void put_reason(message_text& out, const diagnosis& d)
{
    renderers<message_wordings, message_text>[std::size_t(d.cause.cause)](out, d, d.cause);
}

void put_tally_words(text_builder& out, piece_cause cause, std::size_t step)
{
    diagnosis d;
    d.cause.cause = cause;
    d.cause.step = static_cast<unsigned char>(step);
    d.cause.columns = {column_in_line(0, scan_step_columns[step]),
                       column_in_line(0, step_end(step) - 1)};
    renderers<tally_wordings, text_builder>[std::size_t(cause)](out, d, d.cause);
}

std::string_view cause_field(piece_cause cause, std::size_t step)
{
    return row_of(cause).about_step && scan_steps[step].assigns
               ? fields[scan_step_fields[step]].name
               : std::string_view();
}

template <typename Out>
void put_shift(Out& out, std::ptrdiff_t shift)
{
    std::ptrdiff_t n = shift < 0 ? -shift : shift;
    out.say(n, n == 1 ? " column " : " columns ", shift < 0 ? "early" : "late");
}
template void put_shift(text_builder&, std::ptrdiff_t);
template void put_shift(message_text&, std::ptrdiff_t);

} // namespace v2list
