// The words of a diagnosis, rendered from the catalog's rows: a message's
// reason, the tally's words for a cause, and the words both use.
#pragma once

#include <cstddef>
#include <string_view>

#include "diagnosis.hpp"
#include "piece_verdict.hpp"
#include "text_builder.hpp"

namespace v2list {

// The fields' names, for append_short.
inline constexpr auto field_names =
    short_names_of<field_count>([](std::size_t f) { return fields[f].name; });

// Puts the reason of the message on the problem d, the cause first.
void put_reason(message_text& out, const diagnosis& d);

// Puts the tally's words for cause at step.
void put_tally_words(text_builder& out, piece_cause cause, std::size_t step);

// The field a cause at step is about, or empty for none.
std::string_view cause_field(piece_cause cause, std::size_t step);

// Puts "N column(s) late", or early for a negative shift.
template <typename Out>
void put_shift(Out& out, std::ptrdiff_t shift);

} // namespace v2list
