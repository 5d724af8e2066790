#include "piece_verdict.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "byte_blocks.hpp"
#include "diagnosis.hpp"
#include "message_catalog.hpp"
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

// How many columns late (negative: early) the step before step ended.
std::ptrdiff_t before(const input_record& r, std::size_t step)
{
    return step == 0 ? 0 : ended_late(r, step - 1);
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
                                                  const input_record& r, piece_verdict& verdict)
{
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
    verdict.shift = ended_late(r, verdict.step);
    verdict.cause = verdict.shift < 0 ? piece_cause::stops_short
                    : own_columns_blank(piece, text_length, verdict.step)
                        ? piece_cause::columns_blank
                    : itself ? piece_cause::reads_neighbour
                             : piece_cause::skips_white_space;
}

// The parts of a piece a dropped piece's verdict and diagnosis talk of.
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

// A piece that is not a complete record: where and why the reading failed,
// or where it left the layout before.
void judge_dropped(const char* piece, std::size_t text_length, const piece_shape& shape,
                   std::uint64_t line_column, const input_record& r, piece_verdict& verdict)
{
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
    } else if (ended_late(r, left) >= 0 && own_columns_blank(piece, text_length, left)) {
        verdict.cause = piece_cause::columns_blank; // whatever follows
    } else if (verdict.stopped == piece_cause::zero_byte) {
        verdict.cause = piece_cause::zero_byte;
        verdict.step = step_at(text_length); // the step whose columns it stands in
    } else if (left != stop) {
        verdict.cause = scan_steps[left].kind != scan_step::number ? piece_cause::line_too_short
                        : ended_late(r, left) < 0                  ? piece_cause::stops_short
                                                                   : piece_cause::skips_white_space;
    } else {
        verdict.cause = verdict.stopped;
    }
    if (verdict.cause == piece_cause::columns_blank || verdict.cause == piece_cause::stops_short ||
        verdict.cause == piece_cause::skips_white_space)
        verdict.shift = ended_late(r, left);
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
    input_record reading;
    read_record(laid, laid_length, reading);
    if (reading.count != field_count)
        return;
    judge_complete(laid, laid_length, reading, trial);
    if (trial.fate != piece_fate::converted)
        return;
    verdict.cause = piece_cause::multibyte_text;
    verdict.step = field_places[found.field].step;
    verdict.left = verdict.step + 1;
    verdict.shift = std::ptrdiff_t(found.bytes - found.characters);
    verdict.characters = found.characters;
    verdict.at = found.first;
}

// Where a message on the verdict points, as its cause's place says.
void place_cause(const piece_shape& shape, std::size_t text_length, const input_record& r,
                 piece_verdict& verdict)
{
    switch (row_of(verdict.cause).place) {
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

std::size_t step_at(std::size_t column)
{
    std::size_t step = 0;
    while (step + 1 < scan_steps.size() && scan_step_columns[step + 1] <= column)
        ++step;
    return step;
}

void verdict_detail::judge_further(const char* piece, std::size_t length, std::size_t text_length,
                                   std::uint64_t line_column, input_record& reading,
                                   piece_verdict& verdict)
{
    if (!verdict.plain) {
        read_record(piece, text_length, reading);
        bool complete = reading.count == field_count;
        if (complete)
            judge_complete(piece, text_length, reading, verdict);
        if (!complete || verdict.fate != piece_fate::converted) {
            piece_shape shape = complete ? piece_shape{} : shape_of(piece, length, text_length);
            if (!complete)
                judge_dropped(piece, text_length, shape, line_column, reading, verdict);
            place_cause(shape, text_length, reading, verdict);
            if (high_byte_in_texts(piece, text_length))
                find_multibyte_text(piece, text_length, verdict);
            return;
        }
    }
    if (may_show_control(piece, text_length))
        find_control_character(piece, text_length, verdict);
}

std::size_t verdict_detail::write_read_line(const input_record& reading, char* line)
{
    return write_record(reading, line);
}

namespace {

// The last number step: after it, every field reads as late as it ended.
constexpr std::size_t last_number = [] {
    std::size_t step = scan_steps.size() - 1;
    while (step > 0 && scan_steps[step].kind != scan_step::number)
        --step;
    return step;
}();

// The columns [from, to) of a piece at line_column, as a message names them.
column_span span_of(std::uint64_t line_column, std::size_t from, std::size_t to)
{
    return {column_in_line(line_column, from),
            column_in_line(line_column, to <= from + 1 ? from : to - 1)};
}

clause clause_at(piece_cause cause, std::size_t step, std::uint64_t column)
{
    clause c;
    c.cause = cause;
    c.step = static_cast<unsigned char>(step);
    c.column = column;
    return c;
}

void quote(clause& c, const char* characters, std::size_t length)
{
    std::memcpy(c.found, characters, length);
    c.found_length = static_cast<unsigned char>(length);
}

// Where and why the reading of a dropped piece stopped.
clause stop_clause(const input_record& r, const char* piece, std::size_t text_length,
                   std::uint64_t line_column, piece_cause stopped)
{
    std::size_t stop = r.steps_run - 1;
    std::size_t from = r.from(stop);
    clause c = clause_at(stopped, stop, column_in_line(line_column, from));
    if (stopped == piece_cause::zero_byte) {
        // Named by the layout's columns the zero byte stands in.
        c.step = step_at(text_length);
        c.column = column_in_line(line_column, text_length);
        c.inside = text_length > scan_step_columns[c.step];
    } else if (stopped == piece_cause::line_too_short) {
        // The step the end cut short: the one before, if it got less than
        // its width.
        std::size_t last = stop - (stop > 0);
        c.inside = stop > 0 && scan_steps[last].kind == scan_step::characters &&
                   r.to(last) - r.from(last) < scan_steps[last].width;
        c.step = c.inside ? last : stop;
        c.column = column_in_line(line_column, text_length);
    } else if (stopped == piece_cause::takes_sign) {
        // The sign and what follows it, or the end of the line after it.
        bool more = scan_steps[stop].width > 1 && r.to(stop) < text_length;
        c.ends = scan_steps[stop].width > 1 && !more;
        quote(c, piece + from, more ? 2 : 1);
    } else if (from < text_length) { // literal_missing, not_a_digit
        quote(c, piece + from, 1);
    }
    return c;
}

// What a record shifted shows of field, and from where.
void describe_shifted(const input_record& r, std::size_t field, std::uint64_t line_column,
                      diagnosis& d)
{
    const field_place& place = field_places[field];
    const char* taken = r.start(place.step);
    d.shifted_field = field;
    d.own = span_of(line_column, place.column, place.column + place.width);
    d.from = span_of(line_column, r.from(place.step), r.to(place.step));
    d.later = ended_late(r, last_number);
    if (fields[field].shape == shape_number) {
        d.value = r.values[field];
        bool pad = d.value >= 0 && d.value < 10 && listing_widths[field] == 2;
        text_builder shows{d.shows, sizeof d.shows};
        if (pad)
            shows.put('0');
        shows.put_number(d.value);
        d.shows_length = shows.used;
    } else {
        d.shows_length = fields[field].shape == shape_text
                             ? trim_trailing_spaces(taken, scan_steps[place.step].width)
                             : 1;
        std::memcpy(d.shows, taken, d.shows_length);
    }
}

} // namespace

diagnosis diagnose_piece(const piece_verdict& verdict, const input_record& r, const char* piece,
                         std::size_t length, std::size_t text_length, std::uint64_t line,
                         std::uint64_t line_column)
{
    diagnosis d;
    d.fate = verdict.fate;
    d.line = line;
    d.column = column_in_line(line_column, verdict.at);
    d.cause = clause_at(verdict.cause, verdict.step, d.column);
    d.length = without_newline(piece, length);
    d.start = column_in_line(line_column, 0);
    if (verdict.fate == piece_fate::dropped) {
        piece_shape shape = shape_of(piece, length, text_length);
        d.need = shape.need;
        d.newline = shape.newline;
        d.whole = shape.whole;
        d.stop = stop_clause(r, piece, text_length, line_column, verdict.stopped);
    }
    if (verdict.fate == piece_fate::shifted)
        describe_shifted(r, verdict.field, line_column, d);
    std::size_t step = verdict.step;
    switch (verdict.cause) {
    case piece_cause::multibyte_text:
        d.field = scan_step_fields[step];
        d.characters = verdict.characters;
        d.later = verdict.shift;
        d.has_shift = true;
        return d;
    case piece_cause::control_character:
        d.field = verdict.field;
        quote(d.cause, piece + verdict.at, 1);
        return d;
    case piece_cause::empty_line: return d;
    case piece_cause::line_too_short: d.cause.step = r.steps_run - 1; return d;
    case piece_cause::zero_byte:
    case piece_cause::literal_missing:
    case piece_cause::takes_sign:
    case piece_cause::not_a_digit: // the cause is where the reading stopped
        d.cause = d.stop;
        d.stop = {};
        return d;
    default: break;
    }
    // It left the layout: blank columns, white space skipped or a number
    // that stopped short.
    d.field = verdict.fate == piece_fate::shifted ? verdict.field : std::size_t(field_count);
    d.cause.columns = span_of(line_column, scan_step_columns[step], step_end(step));
    if (verdict.cause == piece_cause::stops_short) {
        std::size_t to = r.to(step);
        d.cause.column = column_in_line(line_column, to);
        if (to < text_length)
            quote(d.cause, piece + to, 1);
    }
    if (verdict.fate == piece_fate::dropped)
        d.later = r.steps_run > 1 ? ended_late(r, r.steps_run - 2) : 0;
    d.has_shift = verdict.fate == piece_fate::shifted || d.later != 0;
    return d;
}

} // namespace v2list
