// Pieces of input for the differential tests and the benchmark: plain
// records, and records mutated where the reading rules are sharpest.
#pragma once

#include <random>
#include <string>

namespace v2list {

// A complete record of 74 columns, every field drawn at random.
std::string generate_record(std::mt19937_64& random);

// A record whose numbers a legacy writer may have written otherwise: padded
// with a space on either side, signed, or followed by white space.
std::string generate_moved_record(std::mt19937_64& random);

// A piece as the conversion loop may cut it (at most 80 characters): a
// record, often mutated, cut short or run long, with or without a newline.
std::string generate_piece(std::mt19937_64& random);

} // namespace v2list
