#include "piece_verdict.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "byte_blocks.hpp"
#include "output_listing.hpp"
#include "piece_loop.hpp"
#include "plain_copy.hpp"

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
    verdict.shift = ended_late(r, verdict.step);
    verdict.cause = verdict.shift < 0 ? piece_cause::stops_short
                    : own_columns_blank(piece, text_length, verdict.step)
                        ? piece_cause::columns_blank
                    : itself ? piece_cause::reads_neighbour
                             : piece_cause::skips_white_space;
}

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
    verdict.characters = found.characters;
    verdict.at = found.first;
}

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

std::size_t step_at(std::size_t column)
{
    std::size_t step = 0;
    while (step + 1 < scan_steps.size() && scan_step_columns[step + 1] <= column)
        ++step;
    return step;
}

void verdict_detail::judge_further(const char* piece, std::size_t length, std::size_t text_length,
                                   std::uint64_t line_column, piece_verdict& verdict)
{
    if (!verdict.plain) {
        read_record(piece, text_length, verdict.record);
        bool complete = verdict.record.count == field_count;
        if (complete)
            judge_complete(piece, text_length, verdict);
        if (!complete || verdict.fate != piece_fate::converted) {
            verdict.shape = complete ? piece_shape{} : shape_of(piece, length, text_length);
            if (!complete)
                judge_dropped(piece, text_length, verdict.shape, line_column, verdict);
            place_cause(verdict.shape, text_length, verdict);
            if (high_byte_in_texts(piece, text_length))
                find_multibyte_text(piece, text_length, verdict);
            return;
        }
    }
    if (may_show_control(piece, text_length))
        find_control_character(piece, text_length, verdict);
}

std::size_t verdict_detail::write_read_line(const piece_verdict& verdict, char* line)
{
    return write_record(verdict.record, line);
}

} // namespace v2list
