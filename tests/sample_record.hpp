// The record the case tables start from, made from the layout, so that it
// is a complete record whatever the layout.
#pragma once

#include <cctype>
#include <optional>
#include <string>

#include "input_record.hpp"

namespace v2list {

// A complete record: digits where numbers are read, the literals in place,
// each text field its name and trailing spaces, each single character a
// letter of its own, ignored columns blank.
inline std::string make_sample_record()
{
    std::string record;
    for (std::size_t i = 0; i < scan_steps.size(); ++i) {
        const scan_step& step = scan_steps[i];
        const field_info& field = fields[scan_step_fields[i]];
        std::string columns(step.width, ' ');
        if (step.kind == scan_step::literal)
            columns[0] = step.symbol;
        else if (step.kind == scan_step::number)
            for (std::size_t k = 0; k < step.width; ++k)
                columns[k] = char('1' + (i + k) % 9);
        else if (step.assigns && field.shape == shape_character)
            columns[0] = char('A' + scan_step_fields[i]);
        else if (step.assigns)
            for (std::size_t k = 0; k + 1 < step.width && k < field.name.size(); ++k)
                columns[k] = char(std::toupper(static_cast<unsigned char>(field.name[k])));
        record += columns;
    }
    return record;
}

inline const std::string plain = make_sample_record();

// The plain record with text put in from column (counted from 1) on.
inline std::string with(std::size_t column, const std::string& text, std::string line = plain)
{
    return line.replace(column - 1, text.size(), text);
}

// Where a field's own columns start, counted from 1, and how many there are.
constexpr std::size_t column_of(field_id field)
{
    return field_places[field].column + 1;
}
constexpr std::size_t width_of(field_id field)
{
    return field_places[field].width;
}

// The plain record with text put in from field's own columns on.
inline std::string with(field_id field, const std::string& text)
{
    return with(column_of(field), text);
}

// The first literal step of the layout, if it has one.
constexpr std::optional<std::size_t> literal_step = []() -> std::optional<std::size_t> {
    for (std::size_t i = 0; i < scan_steps.size(); ++i)
        if (scan_steps[i].kind == scan_step::literal)
            return i;
    return std::nullopt;
}();

// A readable test name from a case name.
inline std::string test_name(std::string name)
{
    for (char& c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c))))
            c = '_';
    return name;
}

} // namespace v2list
