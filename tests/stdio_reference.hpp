// The reference for the converter: the C library's sscanf and snprintf,
// called with the two format texts and the record's members written out one
// by one, as a C programmer writes such a call; nothing of the converter's
// field tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input_record.hpp"

namespace v2list {

// A record as a C programmer holds it: a member for each field, the texts
// terminated.
struct reference_record {
    char text14[14 + 1];
    std::int32_t number1;
    std::int32_t number2;
    char code[7];
    char code_suffix;
    char mark1;
    char text15[15 + 1];
    char mark2;
    std::int32_t digit1;
    std::int32_t digit2;
    std::int32_t digit3;
    char text2[2 + 1];
    char text16[16];
};

// What read_record does, by sscanf: scan, terminate, trim.
int reference_read_record(const char* piece, std::size_t length, reference_record& record);

// The record line by snprintf; line has room for size characters.
std::size_t reference_write_record(const reference_record& record, char* line, std::size_t size);

// The record line of a piece, or 0 when it is not a complete record.
std::size_t reference_convert_piece(const char* piece, std::size_t length, char* line,
                                    std::size_t size);

// The whole listing of an input by the plain stdio program: fgets with room
// for 80 characters, then the above.
std::string reference_listing(const std::string& input);

// The first of the count fields a scan assigned that differs between the
// two records, member by member, or -1 when they agree. Texts are compared
// without their trailing spaces (only a text the scan took whole is
// trimmed); of text16, which may be only partly filled, just the first
// character.
int first_different_field(const input_record& product, const reference_record& reference,
                          int count);

// Every field of a record, in the order the scan assigns them, as text:
// texts without their trailing spaces, of text16 its first character.
std::vector<std::string> fields_of(const reference_record& record);

// The converter's reading of a piece of length characters: its count.
int read_piece(const char* piece, std::size_t length, input_record& record);

} // namespace v2list
