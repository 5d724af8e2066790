#include "piece_check.hpp"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "column_copy.hpp"
#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"
#include "piece_loop.hpp"

namespace v2list {

namespace {

// Whether the listing shows a field.
constexpr auto shown = [] {
    std::array<bool, field_count> fields_shown{};
    for (field_id field : print_fields)
        fields_shown[field] = true;
    return fields_shown;
}();

// A reason put together in the verdict's fixed buffer; what does not fit is
// cut off.
struct reason_text {
    char* text;
    std::size_t size;
    std::size_t used = 0;

    [[gnu::format(printf, 2, 3)]] void add(const char* format, ...)
    {
        va_list args;
        va_start(args, format);
        // va_start has just set args up; the analyzer loses track of it here.
        // NOLINTNEXTLINE(clang-analyzer-valist.Uninitialized)
        int n = std::vsnprintf(text + used, size - used, format, args);
        va_end(args);
        if (n > 0)
            used = std::min(size - 1, used + std::size_t(n));
    }

    void add_quoted(const char* characters, std::size_t length)
    {
        add("\"");
        used += escape_text(characters, length, text + used, size - used);
        add("\"");
    }

    // "column 5" or "columns 5-6", for the characters from..to (from 0,
    // to excluded) of a piece that starts at column at of its line.
    void add_columns(std::size_t at, std::size_t from, std::size_t to)
    {
        if (to <= from + 1)
            add("column %zu", at + from + 1);
        else
            add("columns %zu-%zu", at + from + 1, at + to);
    }

    // What a scan step reads: its field, or what it skips.
    void add_step(std::size_t step)
    {
        const scan_step& s = scan_steps[step];
        if (s.assigns)
            add("%s", fields[scan_step_fields[step]].name);
        else if (s.kind == scan_step::literal)
            add("the \"%c\"", s.symbol);
        else if (s.kind == scan_step::number)
            add("an ignored number");
        else
            add(s.width > 1 ? "ignored columns" : "an ignored column");
    }
};

// The value of a number's own columns: without their white space, a sign
// and digits and nothing else. False when they hold no number.
bool own_number(const char* characters, std::size_t length, std::int32_t& value)
{
    char text[16];
    std::size_t n = 0;
    for (std::size_t i = 0; i < length && n < sizeof text; ++i)
        if (!is_white_space(static_cast<unsigned char>(characters[i])))
            text[n++] = characters[i];
    std::size_t i = n > 0 && (text[0] == '-' || text[0] == '+');
    if (i == n)
        return false;
    std::int64_t magnitude = 0;
    for (std::size_t k = i; k < n; ++k) {
        if (text[k] < '0' || text[k] > '9')
            return false;
        magnitude = magnitude * 10 + (text[k] - '0');
    }
    value = std::int32_t(text[0] == '-' ? -magnitude : magnitude);
    return true;
}

// The text of its own columns without trailing spaces, as the listing
// shows a text field.
std::size_t trimmed_length(const char* characters, std::size_t length)
{
    while (length > 0 && characters[length - 1] == ' ')
        --length;
    return length;
}

// For a converted record: the first field that the listing shows with a
// value not from its own columns; field_count when there is none.
std::size_t first_shifted_field(const char* piece, std::size_t text_length,
                                const input_record& record)
{
    for (std::size_t f = 0; f < field_count; ++f) {
        if (!shown[f])
            continue;
        auto id = field_id(f);
        const field_place& place = field_places[f];
        std::size_t from = std::min(place.column, text_length);
        std::size_t to = std::min(place.column + place.width, text_length);
        const char* own = piece + from;
        const char* read = field_characters(record, id);
        bool same;
        switch (fields[f].shape) {
        case shape_number: {
            std::int32_t value;
            same = own_number(own, to - from, value) && value == field_value(record, id);
            break;
        }
        case shape_text: {
            std::size_t n = trimmed_length(own, to - from);
            same = std::strlen(read) == n && std::memcmp(read, own, n) == 0;
            break;
        }
        case shape_character:
        case shape_tail: // not shown
            same = to > from && *own == *read;
            break;
        }
        if (!same)
            return f;
    }
    return field_count;
}

void explain_shift(const char* piece, std::size_t piece_length, std::size_t text_length,
                   std::size_t at, std::size_t f, const input_record& record,
                   const scan_trace& trace, piece_verdict& verdict)
{
    reason_text reason{verdict.reason, sizeof verdict.reason};
    const field_place& place = field_places[f];
    std::size_t from = std::min(place.column, text_length);
    std::size_t to = std::min(place.column + place.width, text_length);
    verdict.column = at + place.column + 1;
    reason.add("%s (", fields[f].name);
    reason.add_columns(at, place.column, place.column + place.width);
    reason.add(") holds ");
    reason.add_quoted(piece + from, to - from);
    reason.add(", read as ");
    auto id = field_id(f);
    switch (fields[f].shape) {
    case shape_number: reason.add("%d", int(field_value(record, id))); break;
    case shape_text:
        reason.add_quoted(field_characters(record, id), std::strlen(field_characters(record, id)));
        break;
    case shape_character:
    case shape_tail: // not shown
        reason.add_quoted(field_characters(record, id), 1);
        break;
    }
    reason.add(" from ");
    reason.add_columns(at, trace.steps[place.step].from, trace.steps[place.step].to);
    // The line is v2list's own: the piece converted as v2list converts it.
    char line[max_line];
    std::size_t length = convert_piece(piece, piece_length, line);
    reason.add("; v2list writes ");
    reason.add_quoted(line, length > 0 ? length - 1 : 0); // without its newline
}

void explain_mismatch(const char* piece, std::size_t text_length, std::size_t at,
                      const scan_trace& trace, piece_verdict& verdict)
{
    reason_text reason{verdict.reason, sizeof verdict.reason};
    std::size_t stop = trace.steps_run - 1;
    const scan_step& step = scan_steps[stop];
    std::size_t from = trace.steps[stop].from;
    if (step.kind == scan_step::literal) {
        verdict.column = at + from + 1;
        reason.add("column %zu holds ", verdict.column);
        reason.add_quoted(piece + from, 1);
        reason.add(" where \"%c\" belongs", step.symbol);
        return;
    }
    // A number found no digit: at once, or after a sign that left room.
    reason.add_step(stop);
    bool sign = piece[from] == '-' || piece[from] == '+';
    std::size_t found = sign && step.width > 1 ? trace.steps[stop].to : from;
    verdict.column = at + found + 1;
    if (found != from) {
        reason.add(" needs a digit after ");
        reason.add_quoted(piece + from, 1);
    } else {
        reason.add(" needs a digit");
    }
    if (found < text_length) {
        reason.add(" and found ");
        reason.add_quoted(piece + found, 1);
    } else {
        reason.add(" and the line ends");
    }
}

void explain_end(const char* piece, std::size_t length, std::size_t text_length, std::size_t at,
                 const scan_trace& trace, piece_verdict& verdict)
{
    reason_text reason{verdict.reason, sizeof verdict.reason};
    bool zero = text_length < length;
    bool newline = !zero && length > 0 && piece[length - 1] == '\n';
    std::size_t characters = newline ? text_length - 1 : text_length;
    verdict.column = at + characters + 1;
    // The step the end cut short: the one before the step that found
    // nothing, when that one did not get all of its width.
    std::size_t stop = trace.steps_run - 1;
    const auto& before = trace.steps[stop - (stop > 0)];
    bool inside = stop > 0 && before.to - before.from < scan_steps[stop - 1].width &&
                  scan_steps[stop - 1].kind == scan_step::characters;
    if (zero) {
        reason.add("the line ends at column %zu (a zero byte) %s ", verdict.column,
                   inside ? "in" : "before");
        reason.add_step(inside ? stop - 1 : stop);
        return;
    }
    if (characters == 0 && at == 0 && newline) {
        reason.add("an empty line");
        return;
    }
    bool whole = length < max_piece || newline;
    const char* last = newline ? "" : "last ";
    if (at == 0 && whole)
        reason.add("the %sline has %zu characters", last, characters);
    else if (whole)
        reason.add("the rest of the %sline from column %zu has %zu characters", last, at + 1,
                   characters);
    else
        reason.add("the piece from column %zu has %zu characters", at + 1, characters);
    // The last field needs one character: the newline, or one more.
    std::size_t need = newline ? shortest_record - 1 : shortest_record;
    if (whole && characters < need) {
        reason.add(newline ? " and a record needs %zu and its newline"
                           : " and no newline, and a record needs %zu without one",
                   need);
        return;
    }
    // Long enough, had every field stayed in its own columns.
    reason.add(", but it ends %s ", inside ? "in" : "before");
    reason.add_step(inside ? stop - 1 : stop);
    reason.add(", as a number took more or fewer columns than its own");
}

} // namespace

void check_piece(const char* piece, std::size_t length, std::size_t text_length,
                 std::size_t line_column, piece_verdict& verdict)
{
    // A plain record: every field from its own columns.
    verdict.fate = piece_fate::converted;
    if (copies_columns && text_length >= shortest_record && plain_record(piece))
        return;

    input_record record;
    scan_trace trace;
    int count = read_record(piece, length, record, trace);
    if (count == field_count) {
        std::size_t f = first_shifted_field(piece, text_length, record);
        if (f < field_count) {
            verdict.fate = piece_fate::shifted;
            explain_shift(piece, length, text_length, line_column, f, record, trace, verdict);
        }
        return;
    }
    verdict.fate = piece_fate::dropped;
    if (trace.ran_out)
        explain_end(piece, length, text_length, line_column, trace, verdict);
    else
        explain_mismatch(piece, text_length, line_column, trace, verdict);
}

std::size_t escape_text(const char* text, std::size_t length, char* out, std::size_t size)
{
    std::size_t used = 0;
    for (std::size_t i = 0; i < length && used + 5 <= size; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        const char* named = c == '\0'   ? "\\0"
                            : c == '\t' ? "\\t"
                            : c == '\n' ? "\\n"
                            : c == '\r' ? "\\r"
                            : c == '\\' ? "\\\\"
                            : c == '"'  ? "\\\""
                                        : nullptr;
        if (named != nullptr)
            used += std::size_t(std::snprintf(out + used, size - used, "%s", named));
        else if (c < 0x20 || c >= 0x7f)
            used += std::size_t(std::snprintf(out + used, size - used, "\\x%02x", c));
        else
            out[used++] = char(c);
    }
    if (used < size)
        out[used] = '\0';
    return used;
}

} // namespace v2list
