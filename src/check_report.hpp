// v2check's report on one input: a message for each problem and split line,
// the counts and the tally of causes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <regex.h>
#include <string>
#include <string_view>

#include "input_record.hpp"
#include "output_buffer.hpp"
#include "piece_loop.hpp"
#include "piece_verdict.hpp"

namespace v2list {

// What a file comes to, and the exit status it asks for: every line
// converts from its own columns or is allowed; some do not; more than half
// do not; it is compressed data; it has no line.
enum class file_verdict : unsigned char { clean, problems, other_layout, compressed, empty };
struct verdict_facts {
    std::string_view name;
    int status;
};
inline constexpr verdict_facts verdict_table[] = {
    {"clean", 0}, {"problems", 1}, {"other_layout", 1}, {"compressed", 1}, {"empty", 0}};
inline constexpr std::size_t verdict_count = std::size(verdict_table);

struct check_counts {
    // Converted counts the shifted and suspect; allowed: dropped, but expected.
    std::uint64_t lines, pieces, converted, shifted, suspect, dropped, allowed, split;
    // Lines that do not convert from their own columns, allowed ones aside;
    // files whose last line has no newline; compressed files.
    std::uint64_t off_layout, unfinished, compressed;
    // The problems by fate, cause and the step it is about; the tally puts
    // the steps of a field or of ignored columns together.
    std::uint64_t causes[problem_fates][cause_count][scan_steps.size()];
    // Lines by their length without the newline, the last all longer.
    std::uint64_t lengths[max_piece + 2];
    // Pieces dropped or shifted by the step where their reading left the
    // layout and how many columns late it read (early below max_piece): no
    // more than a piece has.
    std::uint64_t left_layout[scan_steps.size()][2 * max_piece + 1];
    std::uint64_t verdicts[verdict_count]; // files
};

// Each fate's name, as the reports write it, and the count it adds one to.
struct fate_facts {
    std::string_view name;
    std::uint64_t check_counts::*count;
};
inline constexpr fate_facts fate_table[] = {
    {"dropped", &check_counts::dropped}, {"shifted", &check_counts::shifted},
    {"suspect", &check_counts::suspect}, {"split", &check_counts::split},
    {"compressed", &check_counts::compressed}, {"converted", &check_counts::converted}};
static_assert(std::size(fate_table) == problem_fates + 1);

file_verdict verdict_of(const check_counts& file);

// The exit status the files' verdicts ask for: the highest of them.
int verdicts_status(const check_counts& total);

void add_counts(check_counts& total, const check_counts& more);

struct check_options {
    bool quiet;                 // write nothing, stop at the first problem
    bool show_line;             // after each message, the piece and a caret under the column
    bool json;                  // the report as JSON Lines, one object a line
    std::uint64_t max_messages; // for each input; the counting goes on
    // A line of one piece v2list drops that matches one is allowed.
    const regex_t* allowed;
    std::size_t allowed_count;
};

// Everything a check works in; the caller owns it, as with a conversion.
struct check_work {
    piece_input input;
    output_buffer report;  // the messages, for the caller to open and flush
    output_buffer rejects; // every line with a problem, as it was; fd -1 for none
    output_buffer listing; // the listing of the records to trust; fd -1 for none
    check_options options;
    // A line not yet judged: its first piece of max_piece, or a split line
    // that may be allowed, of up to most_held characters. The byte after
    // them stays zero: regexec may look for a terminator, whatever
    // REG_STARTEND says.
    static constexpr std::size_t most_held = 1024 * max_piece;
    char held[most_held + 1];
};

// A file's name as given (for standard input, its label), escaped for the
// text report (every message one line), and as a JSON string; whole,
// whatever its length.
struct input_name {
    const char* given;
    bool standard_input;
    std::string shown, json;
};

input_name name_input(const char* given, bool standard_input);

// A text escaped for the text report, whole.
std::string escaped_text(const char* text);

// Reads fd to its end, counts what it finds in counts, and writes the
// messages, each as "NAME:LINE:COLUMN: FATE: REASON" or as a JSON object,
// in order of line and column, to work.report, and the file's verdict. A
// failed write is in the error of work.report, work.rejects or work.listing
// and ends the check; stopped, it was quiet and met a problem.
pieces_end check_input(check_work& work, int fd, const input_name& name, check_counts& counts);

// The JSON report's object for a file not read to its end, and why.
void write_unread(output_buffer& report, const input_name& name, const char* reason);

// The JSON report's first object: its version and the program's.
void write_report_start(output_buffer& report, const char* program_version);

// The summary line ("NAME: N lines and N pieces read: ...", the name left
// out unless named, "total" for a null name, and the files left unread
// where there are any) and the tally: a line for each cause, most frequent
// first. As JSON, a "summary" object, or for a null name the "total".
void write_summary(output_buffer& report, bool json, const input_name* name, bool named,
                   const check_counts& counts, std::uint64_t unread = 0);

} // namespace v2list
