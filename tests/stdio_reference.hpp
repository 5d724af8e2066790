// The reference for the converter: the C library's sscanf and snprintf,
// driven by the same scan and print format texts.
#pragma once

#include <cstddef>

#include "input_record.hpp"

namespace v2list {

// What read_record does, by sscanf: scan, terminate, trim.
int reference_read_record(const char* piece, std::size_t length, input_record& record);

// The record line by snprintf; line has room for size characters.
std::size_t reference_format_record(const input_record& record, char* line, std::size_t size);

// The record line of a piece, or 0 when it is not a complete record.
std::size_t reference_convert_piece(const char* piece, std::size_t length, char* line,
                                    std::size_t size);

} // namespace v2list
