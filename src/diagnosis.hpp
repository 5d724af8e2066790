// A diagnosis: everything v2check says of one problem, complete when the
// judgement makes it. The text and the JSON report are two renderings of it,
// and neither looks at the piece or its reading again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "input_record.hpp"
#include "output_listing.hpp"
#include "piece_verdict.hpp"

namespace v2list {

// Columns of a line, from 1; first 0 for none.
struct column_span {
    std::uint64_t first = 0, last = 0;
};

// One cause and where it stands: the cause of the problem, or why the reading
// of a dropped line stopped.
struct clause {
    piece_cause cause = piece_cause::none;
    unsigned char step = 0;         // the step it is about: {step}, {subject}, {literal}
    unsigned char found_length = 0; // {found}: the characters it quotes at column
    char found[2];
    bool inside = false;      // {inside}: the line ends inside the step, not before it
    bool ends = false;        // {ends}: the line ends just after what was found
    std::uint64_t column = 0; // {column}: where it points
    column_span columns = {}; // {columns}: the step's own columns
};

// What a file's own problem names: its compressed format, the byte where its
// data stops (has_byte) and the library's words; the count a line states
// (has_stated: a group took it), that line and the records counted.
struct file_facts {
    std::string_view format = {}, why = {}, stated = {};
    std::uint64_t byte = 0, stating_line = 0, records = 0;
    bool has_byte = false, has_stated = false;
};

struct diagnosis {
    piece_fate fate = piece_fate::converted;
    bool newline = false, whole = true; // {newline}; {whole}: the piece ends its line
    bool has_shift = false;             // the reading left the layout, by {later}
    unsigned char field = field_count;  // {field}: the field the words name
    // A record shifted: its field shown shifted, that field's own columns,
    // the columns it was read from ({from}), and what it shows: {shows} is
    // its value as the listing writes it, a number's value also in value.
    unsigned char shifted_field = field_count;
    unsigned char shows_length = 0;
    std::int32_t value = 0;
    std::uint32_t characters = 0;       // {characters}: multibyte_text's UTF-8 characters
    std::uint32_t glued = 0;            // {glued}: records a split line holds glued, {lost} + 1
    std::uint32_t length = 0, need = 0; // {length}: of the piece, no newline; {need}: for a record
    std::uint64_t line = 0, column = 0; // where the message points, from 1
    std::uint64_t start = 1;            // {start}: the piece's first column in its line
    std::ptrdiff_t later = 0;           // {later}: how many columns late (negative: early)
    clause cause = {}, stop = {};       // stop: why a dropped line's reading stopped
    column_span own = {}, from = {};
    char shows[16];
    const file_facts* file = nullptr; // a file's own problem: what it names
};

// The listing writes each field it shows in a place of this many columns at
// least, numbers padded with zeros to it.
inline constexpr auto listing_widths = [] {
    std::array<std::size_t, field_count> widths{};
    for (std::size_t i = 0; i < print_steps.size(); ++i)
        if (print_steps[i].takes_argument())
            widths[print_fields[print_step_arguments[i]]] = print_steps[i].width;
    return widths;
}();

// The diagnosis of a piece the verdict finds a problem in, from the piece,
// read as reading, at line_column (from 0) of line.
diagnosis diagnose_piece(const piece_verdict& verdict, const input_record& reading,
                         const char* piece, std::size_t length, std::size_t text_length,
                         std::uint64_t line, std::uint64_t line_column);

} // namespace v2list
