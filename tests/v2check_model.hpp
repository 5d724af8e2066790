// A model of v2check, written from its manual page and apart from it: the
// same format texts and the C library (fgets cuts the lines, sscanf reads
// the pieces), and the rules written plainly and slowly. What it tells: each
// file's counts, verdict and messages (line, fate and whether the cause is
// multibyte_text or glued_records), the listing, the rejects and the exit status. Compressed
// data is decompressed whole, with the format's library, where the tests
// are built with it, as v2check is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace v2check_model {

struct options {
    bool quiet = false;
    std::uint64_t most = UINT64_MAX; // messages a file, the file's own aside; 0 for -c
    bool count_only = false;         // -c: not even the file's own
    std::vector<std::string> allow;  // extended regular expressions
    std::string record_count;        // --record-count's pattern, or empty
};

struct message {
    std::uint64_t line;
    std::string fate;   // dropped, shifted, suspect, split, compressed or incomplete
    bool multibyte;     // the cause is multibyte_text
    bool glued = false; // the cause is glued_records
    bool operator==(const message&) const = default;
};

struct file_report {
    bool unread = false; // it could not be opened
    std::uint64_t lines = 0, pieces = 0, converted = 0, shifted = 0, suspect = 0, dropped = 0,
                  allowed = 0, split = 0, listed = 0, rejected = 0;
    std::string verdict;       // clean, problems, other_layout, compressed, empty, incomplete
    std::string final_newline; // true, false or null
    std::vector<message> messages;
};

struct report {
    std::vector<file_report> files; // those read before -q stopped
    std::string listing, rejects;   // the listing with its header
    int status = 0;
};

// What v2check tells of these inputs, in order; a missing one is nullopt.
report check(const std::vector<std::optional<std::string>>& inputs, const options& given);

// The fate v2check gives one piece read alone, "converted" for none, and
// whether the cause is multibyte_text.
std::string piece_fate(const std::string& piece, bool* multibyte = nullptr);

} // namespace v2check_model
