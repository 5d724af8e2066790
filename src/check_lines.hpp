// v2check's check of one input: its pieces cut into lines, each line's
// pieces judged, counted, listed or rejected, and the messages written.
#pragma once

#include "check_counts.hpp"
#include "check_report.hpp"
#include "piece_loop.hpp"

namespace v2list {

// Reads fd to its end, counts what it finds in counts, and writes the
// messages, each as "NAME:LINE:COLUMN: FATE: REASON" or as a JSON object,
// in order of line and column, to work.report, and the file's verdict. A
// failed write is in the error of work.report, work.rejects or work.listing
// and ends the check; stopped, it was quiet and met a problem.
pieces_end check_input(check_work& work, int fd, const input_name& name, check_counts& counts);

} // namespace v2list
