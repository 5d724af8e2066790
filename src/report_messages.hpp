// The messages on problems: one struct, written by the text report or the
// JSON report, straight into its buffer.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check_report.hpp"
#include "diagnosis.hpp"
#include "message_catalog.hpp"
#include "message_words.hpp"
#include "output_listing.hpp"
#include "text_builder.hpp"

namespace v2list {

// The JSON report writes a field's name, and the listing of a piece whose
// characters are all shown as they are, without looking for bytes to escape.
static_assert(std::ranges::all_of(fields, [](const field_info& f) {
    return std::ranges::all_of(f.name, [](char c) { return shown_as_is(c); });
}));
static_assert(std::all_of(print_format, print_format + sizeof print_format - 2,
                          [](char c) { return shown_as_is(c); }));

// The names the report writes for each message, for append_short.
inline constexpr auto fate_names =
    short_names_of<std::size(fate_table)>([](std::size_t f) { return fate_table[f].name; });
inline constexpr auto cause_codes =
    short_names_of<cause_count>([](std::size_t c) { return cause_catalog[c].code; });

// A field's name as a JSON string, or null for none.
template <typename Out>
inline void put_field(Out& text, std::string_view field)
{
    if (field.empty())
        text.put("null");
    else
        text.say('"', field, '"');
}

// A problem as both reports say it: its diagnosis, and the piece it is on.
struct problem_message {
    const diagnosis& d;
    std::string_view piece = {}; // without its newline
    std::string_view view = {};  // what the caret view shows, and where its caret goes
    std::size_t caret = 0;
    std::string_view listing = {}; // the line v2list writes without its newline, or empty
};

// A number, or null where there is none.
template <typename Out>
inline void put_json_number(Out& text, bool has, std::uint64_t n)
{
    if (has)
        text.put_number(n);
    else
        text.put("null");
}

// The facts of an incomplete file, as its problem and its summary give them.
template <typename Out>
inline void put_json_ending(Out& text, const file_facts& f)
{
    text.put(",\"byte\":");
    put_json_number(text, f.has_byte, f.byte);
    text.put(",\"stated\":");
    if (f.has_stated)
        text.put_json(f.stated.data(), f.stated.size());
    else
        text.put("null");
    text.put(",\"stating_line\":");
    put_json_number(text, f.stating_line != 0, f.stating_line);
    text.say(",\"records\":", f.records);
}

// The facts of a problem of its kind alone: what a shifted record shows
// and from where, the records a split line holds glued, why a file is
// incomplete.
[[gnu::always_inline]] inline void put_json_kind_facts(message_text& text, const diagnosis& d)
{
    if (d.fate == piece_fate::shifted) {
        text.say(",\"own\":[", d.own.first, ',', d.own.last, "],\"shows\":");
        if (fields[d.shifted_field].shape == shape_number) // digits and a sign
            text.say('"', std::string_view(d.shows, d.shows_length), "\",\"from\":[");
        else {
            text.put_json(d.shows, d.shows_length);
            text.put(",\"from\":[");
        }
        text.say(d.from.first, ',', d.from.last, ']');
    } else if (d.fate == piece_fate::split) {
        text.put(",\"glued\":");
        put_json_number(text, d.glued != 0, d.glued);
    } else if (d.fate == piece_fate::incomplete) {
        put_json_ending(text, *d.file);
    }
}

// The JSON report's object after its name; the reason is written in place,
// and escaped where it must be.
[[gnu::always_inline]] inline void put_json_message(message_text& text, const problem_message& m)
{
    const diagnosis& d = m.d;
    text.say(",\"line\":", d.line, ",\"column\":", d.column, ",\"kind\":\"");
    fate_names.put(text, std::size_t(d.fate));
    text.put("\",\"cause\":\"");
    cause_codes.put(text, std::size_t(d.cause.cause));
    if (row_of(d.cause.cause).about_step && scan_steps[d.cause.step].assigns) {
        text.put("\",\"field\":\"");
        field_names.put(text, scan_step_fields[d.cause.step]);
        text.put("\",\"reason\":\"");
    } else {
        text.put("\",\"field\":null,\"reason\":\"");
    }
    std::size_t reason = text.used;
    put_reason(text, d);
    std::size_t length = text.used - reason;
    if (text_builder::shown_run(text.text + reason, 0, length) < length) {
        std::string words(text.text + reason, length); // rare: a name or a byte to escape
        text.used = reason;
        text.put_escaped(words.data(), length, escape_style::json);
    }
    text.say("\",\"length\":", d.length);
    if (d.cause.found_length > 0) {
        text.put(",\"found\":");
        text.put_json(d.cause.found, d.cause.found_length);
        text.put(",\"shift\":");
    } else {
        text.put(",\"found\":null,\"shift\":");
    }
    if (d.has_shift)
        text.put_number(d.later);
    else
        text.put("null");
    put_json_kind_facts(text, d);
    text.put(",\"piece\":");
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
// then, where asked, the caret view (none for a message on the whole file)
// and a note of the line v2list writes.
[[gnu::always_inline]] inline void put_text_message(message_text& text, const problem_message& m,
                                                    bool show_line)
{
    const diagnosis& d = m.d;
    text.say(':', d.line, ':', d.column, ": ");
    fate_names.put(text, std::size_t(d.fate));
    text.put(": ");
    put_reason(text, d);
    text.put('\n');
    if (!show_line || d.fate == piece_fate::incomplete)
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
    // A file's own message is written whatever the cap, but for -c and -q.
    bool file_message_wanted() const
    {
        return !work.options.quiet && !work.options.count_only && work.report.error == 0;
    }

    // Room for a message but its name: more than twice the longest, a
    // JSON object of 80 characters of a piece, 60 of its listing, 16 of
    // what it shows and a stated count of 80, each byte escaped in 6, and
    // the words of its reason; a text message of the same, its caret view
    // and note. No part of a message is measured against it.
    static constexpr std::size_t most_message = 8192;

    // A builder for the next most_message and extra characters of the report.
    bool make_room(message_text& text, std::size_t extra = 0)
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
    [[gnu::always_inline]] bool start(message_text& text, std::string_view opening)
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

    // A message written straight into the report, the name whole; counted
    // against the cap unless it is the file's own.
    bool write(const problem_message& m, bool capped = true)
    {
        written += capped;
        message_text text{nullptr, 0};
        bool json = work.options.json;
        if (!start(text, json ? "{\"type\":\"problem\",\"file\":" : ""))
            return false;
        if (json)
            put_json_message(text, m);
        else
            put_text_message(text, m, work.options.show_line);
        work.report.used += text.used;
        return true;
    }
};

} // namespace v2list
