// v2check's reading of one input: every piece judged as v2list would take
// it, and a diagnostic for each one dropped or shifted and each line split.
#pragma once

#include <cstddef>

#include "output_listing.hpp"
#include "piece_loop.hpp"

namespace v2list {

struct check_counts {
    std::size_t lines, pieces, converted, shifted, dropped, split;
};

// Everything a check works in; the caller owns it, as with a conversion.
struct input_check {
    piece_input input;
    output_buffer report; // the diagnostics, for the caller to open and flush
    bool quiet;           // count only, write nothing
};

// Reads fd to its end, adds what it finds to counts and writes the
// diagnostics, each as "NAME:LINE:COLUMN: KIND: REASON", to work.report.
// Returns 0, or the errno of a failed read; a failed write is in
// work.report.error and ends the check.
int check_input(input_check& work, int fd, const char* name, check_counts& counts);

} // namespace v2list
