// The record the case tables start from, and its line.
#pragma once

#include <cctype>
#include <string>

#include "input_record.hpp"

namespace v2list {

// A complete record: every group distinct, text fields with trailing spaces.
inline const std::string plain =
    "SMITH JOHN    0723 ABC1234-X  Y PAYROLL DEPT    Z  123 Q  TAIL000000000000";
inline const std::string plain_line =
    "SMITH JOHN         0723 ABC1234-X Y PAYROLL DEPT    123  Q Z\n";

// The plain record with text put in from column (counted from 1) on.
inline std::string with(std::size_t column, const std::string& text, std::string line = plain)
{
    return line.replace(column - 1, text.size(), text);
}

// Where a field's own columns start, counted from 1.
constexpr std::size_t column_of(field_id field)
{
    return field_places[field].column + 1;
}

// The column of the literal "-", counted from 1.
constexpr std::size_t literal_column = [] {
    std::size_t step = 0;
    while (scan_steps[step].kind != scan_step::literal)
        ++step;
    return scan_step_columns[step] + 1;
}();

// The plain record with text put in from field's own columns on.
inline std::string with(field_id field, const std::string& text)
{
    return with(column_of(field), text);
}

// The plain record line with text put in from column on.
inline std::string line_with(std::size_t column, const std::string& text)
{
    return with(column, text, plain_line);
}

// A readable test name from a case name.
inline std::string test_name(std::string name)
{
    for (char& c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c))))
            c = '_';
    return name;
}

} // namespace v2list
