// v2check's report on one input: a message for each problem and split line,
// the counts and the tally of causes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <regex.h>
#include <string>
#include <string_view>

#include "check_counts.hpp"
#include "diagnosis.hpp"
#include "input_record.hpp"
#include "input_source.hpp"
#include "output_buffer.hpp"
#include "piece_loop.hpp"
#include "piece_verdict.hpp"

namespace v2list {

struct check_options {
    bool quiet;                 // write nothing, stop at the first problem
    bool show_line;             // after each message, the piece and a caret under the column
    bool json;                  // the report as JSON Lines, one object a line
    std::uint64_t max_messages; // for each input; the counting goes on
    // A line of one piece v2list drops that matches one is allowed.
    const regex_t* allowed;
    std::size_t allowed_count;
    // Where not null, a line of one piece v2list drops that matches it is
    // allowed and states, in the pattern's first group, how many records the
    // file holds: every other line that is neither allowed nor empty.
    const regex_t* record_count;
    bool count_only; // -c: the summaries and the tallies alone
};

// Everything a check works in; the caller owns it, as with a conversion.
struct check_work {
    piece_input input;
    output_buffer report;  // the messages, for the caller to open and flush
    output_buffer rejects; // every line with a problem, as it was; fd -1 for none
    output_buffer listing; // the listing of the records to trust; fd -1 for none
    check_options options;
    // A line of several pieces, held until it ends, or until it outgrows
    // most_held characters: its characters, its newline and a zero byte
    // after them (regexec may look for a terminator, whatever REG_STARTEND
    // says), and each piece's verdict, reading and length of text.
    static constexpr std::size_t most_held = 1024 * max_piece;
    static constexpr std::size_t most_held_pieces = most_held / max_piece + 1;
    char held[most_held + 2];
    piece_verdict held_verdicts[most_held_pieces];
    input_record held_readings[most_held_pieces];
    unsigned char held_text_lengths[most_held_pieces];
    static_assert(max_piece < 255, "a piece's length of text, its newline too, fits a byte");
    input_source::buffer compressed;
    // Why the last file checked is incomplete (fate converted where it is
    // not), for its summary, and the texts it names.
    bool rejects_unended; // the rejects' last line has no newline yet
    diagnosis ending;
    file_facts ending_facts;
    std::string ending_stated, ending_why;
};

// A file's name as given (for standard input, its label), escaped for the
// text report (every message one line), and as a JSON string; whole,
// whatever its length.
struct input_name {
    bool standard_input;
    std::string shown, json;
};

input_name name_input(const char* given, bool standard_input);

// A text escaped for the text report, whole.
std::string escaped_text(const char* text);

// The JSON report's object for a file not read to its end, and why.
void write_unread(output_buffer& report, const input_name& name, const char* reason);

// The JSON report's first object: its version and the program's.
void write_report_start(output_buffer& report, const char* program_version);

// The summary line ("NAME: N lines and N pieces read: ...", the name left
// out unless named, "total" for a null name, and the files left unread
// where there are any) and the tally: a line for each cause, most frequent
// first. As JSON, a "summary" object with why the file is incomplete
// (ending), or for a null name the "total", with the files' verdicts.
void write_summary(output_buffer& report, bool json, const input_name* name, bool named,
                   const check_counts& counts, const diagnosis& ending,
                   const file_totals& files = {});

} // namespace v2list
