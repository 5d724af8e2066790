#include "check_report.hpp"

#include <cstring>
#include <string>
#include <string_view>

#include "message_words.hpp"
#include "report_messages.hpp"
#include "text_builder.hpp"

namespace v2list {

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
    return {standard_input, escaped(given, escape_style::text), escaped(given, escape_style::json)};
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

// A count and its noun, one or many, then what follows.
void put_count(text_builder& out, std::uint64_t n, const char* noun, const char* then)
{
    out.say(n, noun, n != 1 ? "s" : "", then);
}

// A line length, where the last counts all longer than a piece.
void put_length(text_builder& out, std::size_t n)
{
    if (n > max_piece)
        out.say("over ", max_piece);
    else
        out.put_number(n);
}

// The words of a file's verdict after "verdict: NAME: ": in another layout,
// the commonest length of the lines not allowed and where most lines leave
// the layout. False for a verdict without words.
bool put_verdict_words(text_builder& out, const check_counts& c)
{
    std::size_t top[3];
    if (verdict_of(c) != file_verdict::other_layout ||
        commonest_lengths(line_lengths(c, false), top) == 0)
        return false;
    out.put("the commonest line length is ");
    put_length(out, top[0]);
    leaving most = most_left(c);
    if (most.pieces > 0) {
        if (2 * most.pieces > c.lines) {
            out.put("; most lines read ");
        } else {
            out.put("; ");
            put_count(out, most.pieces, " line", most.pieces == 1 ? " reads " : " read ");
        }
        put_shift(out, most.shift);
        out.say(" from column ", column_in_line(0, scan_step_columns[most.step]));
    }
    return true;
}

// A file's summary after its counts: its verdict, where most lines left
// the layout, the verdict's words and why the file is incomplete.
void put_json_verdict(text_builder& line, const check_counts& c, const diagnosis& ending)
{
    leaving most = most_left(c);
    line.say(",\"verdict\":\"", verdict_table[std::size_t(verdict_of(c))].name,
             "\",\"final_newline\":",
             c.compressed > 0    ? "null"
             : c.unfinished == 0 ? "true"
                                 : "false",
             ",\"left_layout\":");
    if (most.pieces > 0)
        line.say("{\"column\":", column_in_line(0, scan_step_columns[most.step]),
                 ",\"shift\":", most.shift, ",\"pieces\":", most.pieces, '}');
    else
        line.put("null");
    char words[256];
    text_builder reason{words, sizeof words};
    line.put(",\"reason\":");
    if (put_verdict_words(reason, c))
        line.put_json(words, reason.used);
    else
        line.put("null");
    line.put(",\"incomplete\":");
    if (ending.fate == piece_fate::incomplete) {
        line.say("{\"cause\":\"", row_of(ending.cause.cause).code, '"');
        put_json_ending(line, *ending.file);
        line.put('}');
    } else {
        line.put("null");
    }
}

void write_summary_json(output_buffer& report, const input_name* name, const check_counts& c,
                        const diagnosis& ending, const file_totals& files)
{
    static char text[most_rows * 128];
    text_builder line{text, sizeof text};
    append_text(report, name != nullptr ? "{\"type\":\"summary\",\"file\":" + name->json
                                        : "{\"type\":\"total\"");
    if (name == nullptr)
        line.say(",\"unread\":", files.unread);
    line.say(",\"lines\":", c.lines, ",\"pieces\":", c.pieces, ",\"converted\":", c.converted,
             ",\"shifted\":", c.shifted, ",\"dropped\":", c.dropped, ",\"split\":", c.split,
             ",\"suspect\":", c.suspect, ",\"allowed\":", c.allowed,
             ",\"listed\":", listed_lines(c), ",\"rejected\":", c.rejected);
    if (name != nullptr) {
        put_json_verdict(line, c, ending);
    } else {
        for (std::size_t v = 0; v < verdict_count; ++v)
            line.say(v == 0 ? ",\"verdicts\":{\"" : ",\"", verdict_table[v].name,
                     "\":", files.verdicts[v]);
        line.put('}');
    }
    line.put(",\"causes\":[");
    tally_row rows[most_rows];
    std::size_t count = tally(c, rows);
    for (std::size_t i = 0; i < count; ++i) {
        auto cause = piece_cause(rows[i].cause);
        line.say(i > 0 ? ",{\"kind\":\"" : "{\"kind\":\"", fate_table[rows[i].fate].name,
                 "\",\"cause\":\"", row_of(cause).code, "\",\"field\":");
        put_field(line, cause_field(cause, rows[i].step));
        line.say(",\"count\":", rows[i].count, '}');
    }
    line.put("],\"lengths\":[");
    std::size_t top[3];
    std::size_t found = commonest_lengths(line_lengths(c, true), top);
    for (std::size_t i = 0; i < found; ++i)
        line.say(i > 0 ? ",{\"length\":" : "{\"length\":", top[i], ",\"lines\":", c.lengths[top[i]],
                 '}');
    line.put("]}\n");
    append_output(report, text, line.used);
}

// The text summary of a file or of the total, put together line by line.
struct summary_text : text_builder {
    const check_counts& c;

    void count(std::uint64_t n, const char* noun, const char* then)
    {
        put_count(*this, n, noun, then);
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
        count(c.split, " line", " split; ");
        count(listed_lines(c), " line", " listed, ");
        say(c.rejected, " rejected");
        if (unread > 0) {
            put("; ");
            count(unread, " file", " unread");
        }
        put('\n');
    }

    // The total's count of files of each verdict.
    void verdicts_line(const file_totals& files)
    {
        put("verdicts:");
        for (std::size_t v = 0, said = 0; v < verdict_count; ++v)
            if (files.verdicts[v] > 0)
                say(said++ > 0 ? ", " : " ", files.verdicts[v], ' ', verdict_table[v].name);
        put('\n');
    }

    // A file's verdict and its words; and a last line without its newline.
    void verdict_line()
    {
        say("verdict: ", verdict_table[std::size_t(verdict_of(c))].name, ": ");
        if (!put_verdict_words(*this, c))
            used -= 2;
        put('\n');
        if (c.unfinished > 0)
            put("the last line has no newline: the file may be cut short\n");
    }

    // Where lines are dropped, the commonest lengths show another layout.
    // With no record converted, the commonest alone, of the lines not allowed.
    void lengths_line()
    {
        std::size_t top[3];
        bool none = c.converted == 0;
        length_counts lengths = line_lengths(c, !none);
        std::size_t found = commonest_lengths(lengths, top);
        none = none && found > 0;
        put(none ? "no record converted: the commonest line length is "
                 : "commonest line lengths: ");
        for (std::size_t i = 0; i < (none ? 1 : found); ++i) {
            if (i > 0)
                put(", ");
            put_length(*this, top[i]);
            put(" (");
            count(lengths[top[i]], " line", ")");
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
        std::string_view fate = fate_table[rows[i].fate].name;
        char text[256];
        text_builder row{text, sizeof text};
        row.put_number(rows[i].count, 8);
        row.say(' ', fate);
        for (std::size_t pad = fate.size(); pad < 7; ++pad)
            row.put(' ');
        row.put("  ");
        put_tally_words(row, piece_cause(rows[i].cause), rows[i].step);
        row.put('\n');
        append_output(report, text, row.used);
    }
}

} // namespace

void write_summary(output_buffer& report, bool json, const input_name* name, bool named,
                   const check_counts& c, const diagnosis& ending, const file_totals& files)
{
    if (json) {
        write_summary_json(report, name, c, ending, files);
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
    lines.counts_line(files.unread);
    if (name == nullptr)
        lines.verdicts_line(files);
    else
        lines.verdict_line();
    if (c.dropped > 0)
        lines.lengths_line();
    append_output(report, text, lines.used);
    write_tally(report, c);
}
} // namespace v2list
