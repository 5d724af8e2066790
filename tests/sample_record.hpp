// The record the case tables start from, and its line.
#pragma once

#include <cctype>
#include <string>

namespace v2list {

// A complete record: every group distinct, text fields with trailing spaces.
inline const std::string plain = "SMITH JOHN    0723 ABC1234-X  Y PAYROLL DEPT    Z  123 Q  TAIL000000000000";
inline const std::string plain_line = "SMITH JOHN         0723 ABC1234-X Y PAYROLL DEPT    123  Q Z\n";

// The plain record with text put in from column (counted from 1) on.
inline std::string with(std::size_t column, const std::string& text, std::string line = plain)
{
    return line.replace(column - 1, text.size(), text);
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
