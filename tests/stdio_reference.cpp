#include "stdio_reference.hpp"

#include <cstdio>
#include <cstring>

#include "conversion_loop.hpp"
#include "output_listing.hpp"

namespace v2list {

namespace {

void trim(char* text)
{
    for (std::size_t n = std::strlen(text); n > 0 && text[n - 1] == ' ';)
        text[--n] = '\0';
}

} // namespace

int reference_read_record(const char* piece, std::size_t length, input_record& r)
{
    char text[max_piece + 1];
    length = length < max_piece ? length : max_piece;
    std::memcpy(text, piece, length);
    text[length] = '\0';
    int count = std::sscanf(text, scan_format, r.text14, &r.number1, &r.number2, &r.code[0],
                            &r.code[1], &r.code[2], &r.code[3], &r.code[4], &r.code[5],
                            &r.code[6], &r.code_suffix, &r.mark1, r.text15, &r.mark2, &r.digit1,
                            &r.digit2, &r.digit3, r.text2, r.text16);
    r.text14[14] = r.text15[15] = r.text2[2] = '\0';
    trim(r.text14);
    trim(r.text15);
    trim(r.text2);
    return count;
}

std::size_t reference_format_record(const input_record& r, char* line, std::size_t size)
{
    int n = std::snprintf(line, size, print_format, r.text14, r.number1, r.number2, r.code[0],
                          r.code[1], r.code[2], r.code[3], r.code[4], r.code[5], r.code[6],
                          r.code_suffix, r.mark1, r.text15, r.digit1, r.digit2, r.digit3,
                          r.text2, r.mark2);
    return n > 0 ? std::size_t(n) : 0;
}

std::size_t reference_convert_piece(const char* piece, std::size_t length, char* line,
                                    std::size_t size)
{
    input_record record;
    if (reference_read_record(piece, length, record) != field_count)
        return 0;
    return reference_format_record(record, line, size);
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
        bool same = shape_of(id) == shape_number
                        ? field_value(a, id) == field_value(b, id)
                        : std::memcmp(field_characters(a, id), field_characters(b, id),
                                      shape_of(id) == shape_tail ? 1 : character_capacity(id)) == 0;
        if (!same)
            return f;
    }
    return -1;
}

} // namespace v2list
