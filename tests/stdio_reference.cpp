#include "stdio_reference.hpp"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

#include "conversion_loop.hpp"
#include "output_listing.hpp"

namespace v2list {

namespace {

void trim(char* text)
{
    for (std::size_t n = std::strlen(text); n > 0 && text[n - 1] == ' ';)
        text[--n] = '\0';
}

// The arguments sscanf and snprintf take for the fields, by the field table.
template <std::size_t F>
auto scan_argument(input_record& r)
{
    char* at = field_characters(r, field_id(F));
    if constexpr (fields[F].shape == shape_number)
        return reinterpret_cast<std::int32_t*>(at);
    else
        return at;
}

template <std::size_t A>
auto print_argument(const input_record& r)
{
    constexpr field_id field = print_fields[A];
    if constexpr (fields[field].shape == shape_number)
        return int(field_value(r, field));
    else if constexpr (fields[field].shape == shape_character)
        return int(*field_characters(r, field));
    else
        return field_characters(r, field);
}

template <std::size_t... F>
int scan_fields(const char* text, input_record& r, std::index_sequence<F...>)
{
    return std::sscanf(text, scan_format, scan_argument<F>(r)...);
}

template <std::size_t... A>
int print_fields_to(char* line, std::size_t size, const input_record& r, std::index_sequence<A...>)
{
    return std::snprintf(line, size, print_format, print_argument<A>(r)...);
}

// A text's characters without its trailing spaces.
std::string trimmed(const char* text, std::size_t capacity)
{
    std::string s(text, strnlen(text, capacity));
    return s.erase(s.find_last_not_of(' ') + 1);
}

} // namespace

int reference_read_record(const char* piece, std::size_t length, input_record& r)
{
    char text[max_piece + 1];
    length = length < max_piece ? length : max_piece;
    std::memcpy(text, piece, length);
    text[length] = '\0';
    int count = scan_fields(text, r, std::make_index_sequence<field_count>());
    for (int f = 0; f < count; ++f) {
        if (fields[f].shape == shape_text) {
            char* at = field_characters(r, field_id(f));
            at[fields[f].capacity] = '\0';
            trim(at);
        }
    }
    return count;
}

std::size_t reference_write_record(const input_record& r, char* line, std::size_t size)
{
    int n = print_fields_to(line, size, r, std::make_index_sequence<std::size(print_fields)>());
    return n > 0 ? std::size_t(n) : 0;
}

std::size_t reference_convert_piece(const char* piece, std::size_t length, char* line,
                                    std::size_t size)
{
    input_record record;
    if (reference_read_record(piece, length, record) != field_count)
        return 0;
    return reference_write_record(record, line, size);
}

std::string reference_listing(const std::string& input)
{
    std::string listing = std::string(listing_header) + "\n";
    FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    char piece[max_piece + 1], line[256];
    while (in != nullptr && std::fgets(piece, sizeof piece, in) != nullptr)
        listing.append(line, reference_convert_piece(piece, std::strlen(piece), line, sizeof line));
    if (in != nullptr)
        std::fclose(in);
    return listing;
}

int first_different_field(const input_record& a, const input_record& b, int count)
{
    for (int f = 0; f < count && f < field_count; ++f) {
        auto id = static_cast<field_id>(f);
        const char* x = field_characters(a, id);
        const char* y = field_characters(b, id);
        bool same;
        switch (fields[f].shape) {
        case shape_number: same = field_value(a, id) == field_value(b, id); break;
        // Only a text the scan took whole is trimmed, so trailing spaces of
        // one it ran out in may differ.
        case shape_text:
            same = trimmed(x, fields[f].capacity) == trimmed(y, fields[f].capacity);
            break;
        case shape_character:
        case shape_tail: same = *x == *y; break; // of text16, just its first character
        }
        if (!same)
            return f;
    }
    return -1;
}

} // namespace v2list
