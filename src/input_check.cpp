#include "input_check.hpp"

#include <algorithm>
#include <cstdio>

#include "piece_check.hpp"

namespace v2list {

namespace {

// One diagnostic line; a name too long for the line is cut off.
bool report(input_check& work, const char* name, std::size_t line, std::size_t column,
            const char* kind, const char* reason)
{
    if (work.quiet)
        return true;
    char text[8192];
    int n =
        std::snprintf(text, sizeof text, "%s:%zu:%zu: %s: %s\n", name, line, column, kind, reason);
    return append_output(work.report, text, std::min(std::size_t(n), sizeof text - 1));
}

} // namespace

int check_input(input_check& work, int fd, const char* name, check_counts& counts)
{
    // The line being read: its number, where the next piece starts in it,
    // and how many pieces of it there were and converted.
    std::size_t line = 1, column = 0, pieces = 0, converted = 0;
    auto end_line = [&] {
        bool ok = true;
        if (pieces > 1) {
            ++counts.split;
            char reason[256];
            std::snprintf(reason, sizeof reason,
                          "the line has %zu characters and is read as %zu pieces of at most %zu; "
                          "%s of them converted",
                          column, pieces, max_piece,
                          converted == 0        ? "none"
                          : converted == pieces ? "all"
                                                : "some");
            ok = report(work, name, line, max_piece + 1, "split", reason);
        }
        ++line;
        column = pieces = converted = 0;
        return ok;
    };
    piece_verdict verdict;
    pieces_end end = for_each_piece(
        work.input, fd,
        [&](const char* piece, std::size_t length, std::size_t text_length) {
            bool newline = piece[length - 1] == '\n';
            counts.lines += column == 0;
            ++counts.pieces;
            ++pieces;
            check_piece(piece, length, text_length, column, verdict);
            bool ok = true;
            switch (verdict.fate) {
            case piece_fate::converted:
                ++counts.converted;
                ++converted;
                break;
            case piece_fate::shifted:
                ++counts.converted;
                ++converted;
                ++counts.shifted;
                ok = report(work, name, line, verdict.column, "shifted", verdict.reason);
                break;
            case piece_fate::dropped:
                ++counts.dropped;
                ok = report(work, name, line, verdict.column, "dropped", verdict.reason);
                break;
            }
            column += length - newline;
            return ok && (newline ? end_line() : true);
        },
        [&] { return flush_output(work.report); });
    // A last line without a newline ends with the input.
    if (column > 0 && work.report.error == 0)
        end_line();
    return end.read_error;
}

} // namespace v2list
