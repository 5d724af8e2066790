// Pieces of input for the differential tests and the benchmark: plain
// records, and records mutated where the reading rules are sharpest.
#pragma once

#include <random>
#include <string>

namespace v2list {

// A complete record, every column of the layout, every field drawn at
// random.
std::string generate_record(std::mt19937_64& random);

// A record whose numbers a legacy writer may have written otherwise: padded
// with a space on either side, signed, or followed by white space, and the
// column after them often blank.
std::string generate_shifted_record(std::mt19937_64& random);

// A piece as the conversion loop may cut it (at most 80 characters): a
// record, often mutated, cut short or run long, with or without a newline.
std::string generate_piece(std::mt19937_64& random);

// text followed by digits, 1 to 9 over again, up to the longest piece.
std::string filled_to_longest_piece(std::string text);

} // namespace v2list
