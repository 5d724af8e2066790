// The words of a verdict: the reason of a message, and what a tally names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "piece_verdict.hpp"

namespace v2list {

struct text_builder;

// Puts the reason of the message on a piece with a problem, the cause
// first; the piece's text has text_length characters and starts at
// line_column (from 0) of its line.
void explain(const piece_verdict& verdict, const char* piece, std::size_t text_length,
             std::uint64_t line_column, text_builder& out);

// What the cause's step reads, in the tally's words: its field's name,
// "a number", "the literal" or "ignored columns".
std::string_view step_subject(std::size_t step);

// The field a cause at step is about, or empty for none.
std::string_view cause_field(piece_cause cause, std::size_t step);

// Puts words, the %s, %c and %n in them filled in for step.
void put_words(text_builder& out, std::string_view words, std::size_t step);

// Puts "N column(s) late", or early for a negative shift.
void put_shift(text_builder& out, std::ptrdiff_t shift);

} // namespace v2list
