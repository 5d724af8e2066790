// The catalog of v2check's words: one row a cause, with its tally words and
// its message as texts with named slots, read at compile time as the format
// texts are. A slot names a fact of the diagnosis (diagnosis.hpp):
//   {name}            the fact
//   {name|one|many}   "one" where the fact counts 1, else "many"
//   {?name:words}     the words where the fact holds (a number not 0, a text
//   {!name:words}     not empty, a span, a stop, a flag set), or where not
// A slot that names no fact, or a fact a row of its kind does not have,
// fails the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "piece_verdict.hpp"

namespace v2list {

// The facts a slot may name, those of one clause first (diagnosis.hpp says
// what each holds).
// clang-format off
enum class fact : unsigned char {
    step, subject, literal, column, found, inside, ends, columns, named,   // of a clause
    field, from, shows, later, stop, then, characters, bytes, length, need, // of a piece
    start, rest, newline, whole, short_of, most, glued, lost, record,
    format, byte, why, stated, stating_line, records,                      // of a file
    none
};
inline constexpr std::string_view fact_names[] = {
    "step", "subject", "literal", "column", "found", "inside", "ends", "columns", "named",
    "field", "from", "shows", "later", "stop", "then", "characters", "bytes", "length", "need",
    "start", "rest", "newline", "whole", "short", "most", "glued", "lost", "record",
    "format", "byte", "why", "stated", "stating_line", "records"};
// clang-format on
static_assert(std::size(fact_names) == std::size_t(fact::none));

// Which facts a row of each kind may name: the tally's words name a step
// alone; a message on a piece the facts of a piece; one on a file its own.
constexpr std::uint64_t fact_bit(fact f)
{
    return std::uint64_t(1) << unsigned(f);
}
constexpr std::uint64_t fact_range(fact first, fact last)
{
    return (fact_bit(last) << 1) - fact_bit(first);
}
inline constexpr std::uint64_t tally_slots = fact_bit(fact::subject) | fact_bit(fact::literal) |
                                             fact_bit(fact::columns) | fact_bit(fact::most);
inline constexpr std::uint64_t piece_slots = fact_range(fact::step, fact::record);
inline constexpr std::uint64_t file_slots = fact_range(fact::format, fact::records);

// One part of a wording: words as they stand, a fact, a choice by a count,
// or words shown only where a fact holds (up to the matching end).
struct wording_token {
    enum kind_t : unsigned char { words, slot, plural, when, unless, end };
    kind_t kind = words;
    fact name = fact::none;
    std::string_view text = {}, other = {}; // words; plural: for one, for many
    std::size_t close = 0;                  // when, unless: the index of its end
};

struct wording {
    wording_token tokens[48];
    std::size_t count = 0;
    std::uint64_t facts = 0; // every fact it names
};

namespace catalog_detail {

// Not constexpr: reaching it while the catalog is read at compile time
// fails the build, and the compiler shows this call and its reason.
inline void bad_wording(const char*) {}

constexpr fact fact_named(std::string_view name)
{
    for (std::size_t f = 0; f < std::size(fact_names); ++f)
        if (fact_names[f] == name)
            return fact(f);
    bad_wording("a slot names no fact of a diagnosis");
    return fact::none;
}

constexpr std::size_t find(std::string_view text, std::size_t from, std::string_view stops)
{
    std::size_t at = text.find_first_of(stops, from);
    if (at == std::string_view::npos)
        bad_wording("a slot is not closed");
    return at;
}

constexpr wording compile(std::string_view text)
{
    wording w;
    std::size_t open[8], depth = 0;
    auto add = [&w](wording_token t) {
        if (w.count == std::size(w.tokens))
            bad_wording("a wording of more than 48 parts");
        if (t.name != fact::none)
            w.facts |= fact_bit(t.name);
        w.tokens[w.count++] = t;
    };
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '}') {
            if (depth == 0)
                bad_wording("a '}' closes nothing");
            w.tokens[open[--depth]].close = w.count;
            add({wording_token::end});
            ++i;
        } else if (text[i] != '{') {
            std::size_t stop = text.find_first_of("{}", i);
            stop = stop == std::string_view::npos ? text.size() : stop;
            add({wording_token::words, fact::none, text.substr(i, stop - i)});
            i = stop;
        } else if (text[i + 1] == '?' || text[i + 1] == '!') {
            std::size_t colon = find(text, i + 2, ":");
            if (depth == std::size(open))
                bad_wording("conditions nested too deep");
            open[depth++] = w.count;
            add({text[i + 1] == '?' ? wording_token::when : wording_token::unless,
                 fact_named(text.substr(i + 2, colon - i - 2))});
            i = colon + 1;
        } else {
            std::size_t stop = find(text, i + 1, "|}");
            fact name = fact_named(text.substr(i + 1, stop - i - 1));
            if (text[stop] == '}') {
                add({wording_token::slot, name});
            } else {
                std::size_t bar = find(text, stop + 1, "|"), close = find(text, bar + 1, "}");
                add({wording_token::plural, name, text.substr(stop + 1, bar - stop - 1),
                     text.substr(bar + 1, close - bar - 1)});
                stop = close;
            }
            i = stop + 1;
        }
    }
    if (depth != 0)
        bad_wording("a condition is not closed");
    return w;
}

} // namespace catalog_detail

// The fates a cause comes with, a bit each.
constexpr unsigned fate_bit(piece_fate fate)
{
    return 1u << unsigned(fate);
}
inline constexpr unsigned file_fates =
    fate_bit(piece_fate::compressed) | fate_bit(piece_fate::incomplete);

// One cause: its code as the JSON report has it, the fates it comes with,
// where its message points, whether it is about one step (the JSON's
// field), its words in the tally, its message, and, where it differs, its
// words where it ends another message as the reason the reading stopped.
struct cause_row {
    std::string_view code;
    unsigned fates;
    cause_place place;
    bool about_step;
    std::string_view tally, message, as_stop = {};
};

inline constexpr unsigned dropped_or_shifted =
    fate_bit(piece_fate::dropped) | fate_bit(piece_fate::shifted);

// clang-format off
inline constexpr cause_row cause_catalog[] = {
    {"none", fate_bit(piece_fate::converted), cause_place::judged, false, "converted", ""},
    {"columns_blank", dropped_or_shifted, cause_place::step_columns, true,
     "{subject}'s column{columns||s} {columns|is|are} blank",
     "{step}'s {columns} {columns|is|are} blank{then}"},
    {"skips_white_space", dropped_or_shifted, cause_place::step_columns, true,
     "{subject} skips white space", "{step} skips white space at column {column}{then}"},
    {"reads_neighbour", fate_bit(piece_fate::shifted), cause_place::step_columns, true,
     "{subject} skips white space into a neighbour's column",
     "{step} skips white space at column {column} and shows {shows} from {from}"
     "{?later:; later fields read {later}}"},
    {"stops_short", dropped_or_shifted, cause_place::step_end, true, "{subject} stops short",
     "{?found:{step} stops at {found} in column {column}}"
     "{!found:{step} stops at column {column}, where the line ends}{then}"},
    {"takes_sign", fate_bit(piece_fate::dropped), cause_place::step_start, true,
     "{subject} takes a sign",
     "{step} finds {found} at column {column}, a sign, {?ends:then the line ends}{!ends:no digit}"},
    {"not_a_digit", fate_bit(piece_fate::dropped), cause_place::step_start, true,
     "{subject} finds no digit",
     "{?found:{step} finds {found} at column {column}, not a digit}"
     "{!found:{step} finds no digit before the line ends}"},
    {"literal_missing", fate_bit(piece_fate::dropped), cause_place::step_start, true,
     "no \"{literal}\" in its column", "column {column} holds {found} where the \"{literal}\" belongs"},
    {"zero_byte", fate_bit(piece_fate::dropped), cause_place::text_end, true,
     "zero byte in {subject}",
     "the line ends at column {column} (a zero byte){?named: {?inside:in}{!inside:before} {step}}"},
    {"line_too_short", fate_bit(piece_fate::dropped), cause_place::line_end, false,
     "line too short",
     "{?whole:the {?rest:rest of the }{!newline:last }line{?rest: from column {start}}}"
     "{!whole:the piece from column {start}} has {length} character{length||s}"
     "{?short:{?newline: and a record needs {need} and its newline}"
     "{!newline: and no newline, and a record needs {need} without one}}"
     "{!short: and ends before {step}}",
     "the line ends {?inside:in}{!inside:before} {step}"},
    {"empty_line", fate_bit(piece_fate::dropped), cause_place::line_end, false, "empty line",
     "an empty line"},
    {"control_character", fate_bit(piece_fate::suspect), cause_place::judged, true,
     "{subject} shows a control character",
     "{field} shows {found} from column {column}, a control character"},
    {"multibyte_text", dropped_or_shifted, cause_place::judged, true,
     "{subject} holds UTF-8 characters of several bytes",
     "{field} holds {characters} UTF-8 character{characters||s} of {bytes} bytes, so later "
     "fields read {later}{?stop:: {stop}}"},
    {"gzip", fate_bit(piece_fate::compressed), cause_place::judged, false, "gzip data",
     "gzip data, not read: this v2check was built without zlib"},
    {"bzip2", fate_bit(piece_fate::compressed), cause_place::judged, false, "bzip2 data",
     "bzip2 data, not read: this v2check was built without libbz2"},
    {"xz", fate_bit(piece_fate::compressed), cause_place::judged, false, "xz data",
     "xz data, not read: this v2check was built without liblzma"},
    {"zstd", fate_bit(piece_fate::compressed), cause_place::judged, false, "zstd data",
     "zstd data, not read: this v2check was built without libzstd"},
    {"line_split", fate_bit(piece_fate::split), cause_place::judged, false,
     "line longer than {most} characters",
     "the line is longer than {most} characters and is read in pieces of {most}, each as a "
     "line of its own"},
    {"glued_records", fate_bit(piece_fate::split), cause_place::judged, false,
     "records glued together",
     "the line holds {glued} records glued together: "
     "{lost|a newline lost after column|newlines lost after every} {record}{lost|| columns}"},
    {"cut_short", fate_bit(piece_fate::incomplete), cause_place::judged, false,
     "compressed data cut short", "{format} data cut short: the file ends at byte {byte}"},
    {"damaged", fate_bit(piece_fate::incomplete), cause_place::judged, false,
     "compressed data damaged", "{format} data damaged at byte {byte}: {why}"},
    {"count_differs", fate_bit(piece_fate::incomplete), cause_place::judged, false,
     "records not as many as stated",
     "line {stating_line} states {?stated:{stated} records}{!stated:an empty count of records}, "
     "and {records} {records|was|were} read"},
    {"count_missing", fate_bit(piece_fate::incomplete), cause_place::judged, false,
     "no line states the count of records", "no line states the count of records"},
    {"count_twice", fate_bit(piece_fate::incomplete), cause_place::judged, false,
     "two lines state the count of records", "line {stating_line} states the count of records again"},
};
// clang-format on
inline constexpr std::size_t cause_count = std::size(cause_catalog);
static_assert(cause_count == std::size_t(piece_cause::count_twice) + 1);

inline constexpr const cause_row& row_of(piece_cause cause)
{
    return cause_catalog[std::size_t(cause)];
}

// What follows from leaving the layout, where a row says {then}: for a
// record shifted, the field it shows otherwise and from where; for a line
// dropped, where the reading stopped once it read late or early.
inline constexpr std::string_view shifted_then =
    ": {field} shows {shows} from {from}{?later:; later fields read {later}}";
inline constexpr std::string_view dropped_then = "{?later:, so later fields read {later}: {stop}}";

namespace catalog_detail {

template <typename Text>
constexpr auto compile_each(Text text)
{
    std::array<wording, cause_count> wordings{};
    for (std::size_t c = 0; c < cause_count; ++c)
        wordings[c] = compile(text(cause_catalog[c]));
    return wordings;
}

// Every row names only facts of its kind.
constexpr bool rows_name_their_facts()
{
    for (const cause_row& row : cause_catalog) {
        std::uint64_t own = (row.fates & file_fates) != 0 ? file_slots : piece_slots;
        if ((compile(row.tally).facts & ~tally_slots) != 0)
            bad_wording("a tally's words name a fact of more than a step");
        if (((compile(row.message).facts | compile(row.as_stop).facts) & ~own) != 0)
            bad_wording("a message names a fact its cause does not have");
    }
    return ((compile(shifted_then).facts | compile(dropped_then).facts) & ~piece_slots) == 0;
}
static_assert(rows_name_their_facts());

} // namespace catalog_detail

// Each cause's wordings, read once at compile time.
inline constexpr auto message_wordings =
    catalog_detail::compile_each([](const cause_row& row) { return row.message; });
inline constexpr auto stop_wordings = catalog_detail::compile_each(
    [](const cause_row& row) { return row.as_stop.empty() ? row.message : row.as_stop; });
inline constexpr auto tally_wordings =
    catalog_detail::compile_each([](const cause_row& row) { return row.tally; });
inline constexpr wording then_wordings[2] = {catalog_detail::compile(dropped_then),
                                             catalog_detail::compile(shifted_then)};

} // namespace v2list
