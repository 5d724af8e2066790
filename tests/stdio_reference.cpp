#include "stdio_reference.hpp"

#include <cstdio>
#include <cstring>
#include <vector>

#include "output_listing.hpp"
#include "piece_loop.hpp"

namespace v2list {

namespace {

// Terminates a text field sscanf filled and trims its trailing spaces, as
// a C programmer would.
void terminate_and_trim(char* text, std::size_t size)
{
    text[size - 1] = '\0';
    for (std::size_t n = std::strlen(text); n > 0 && text[n - 1] == ' ';)
        text[--n] = '\0';
}

} // namespace

std::vector<std::string> fields_of(const reference_record& r)
{
    auto text = [](const char* t, std::size_t size) {
        std::string s(t, strnlen(t, size));
        return s.erase(s.find_last_not_of(' ') + 1);
    };
    auto number = [](std::int32_t value) { return std::to_string(value); };
    auto one = [](char c) { return std::string(1, c); };
    // clang-format off
    return {text(r.text14, sizeof r.text14), number(r.number1), number(r.number2),
            one(r.code[0]), one(r.code[1]), one(r.code[2]), one(r.code[3]),
            one(r.code[4]), one(r.code[5]), one(r.code[6]), one(r.code_suffix),
            one(r.mark1), text(r.text15, sizeof r.text15), one(r.mark2),
            number(r.digit1), number(r.digit2), number(r.digit3),
            text(r.text2, sizeof r.text2), one(r.text16[0])};
    // clang-format on
}

int reference_read_record(const char* piece, std::size_t length, reference_record& r)
{
    char text[max_piece + 1];
    length = length < max_piece ? length : max_piece;
    std::memcpy(text, piece, length);
    text[length] = '\0';
    int count = std::sscanf(text, scan_format, r.text14, &r.number1, &r.number2, &r.code[0],
                            &r.code[1], &r.code[2], &r.code[3], &r.code[4], &r.code[5], &r.code[6],
                            &r.code_suffix, &r.mark1, r.text15, &r.mark2, &r.digit1, &r.digit2,
                            &r.digit3, r.text2, r.text16);
    // The texts the listing shows are fields 1, 13 and 18.
    if (count >= 1)
        terminate_and_trim(r.text14, sizeof r.text14);
    if (count >= 13)
        terminate_and_trim(r.text15, sizeof r.text15);
    if (count >= 18)
        terminate_and_trim(r.text2, sizeof r.text2);
    return count;
}

std::size_t reference_write_record(const reference_record& r, char* line, std::size_t size)
{
    int n = std::snprintf(line, size, print_format, r.text14, r.number1, r.number2, r.code[0],
                          r.code[1], r.code[2], r.code[3], r.code[4], r.code[5], r.code[6],
                          r.code_suffix, r.mark1, r.text15, r.digit1, r.digit2, r.digit3, r.text2,
                          r.mark2);
    return n > 0 ? std::size_t(n) : 0;
}

std::size_t reference_convert_piece(const char* piece, std::size_t length, char* line,
                                    std::size_t size)
{
    reference_record record{};
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

int read_piece(const char* piece, std::size_t length, input_record& record)
{
    read_record(piece, text_length_of(piece, length), record);
    return record.count;
}

int first_different_field(const input_record& product, const reference_record& reference, int count)
{
    std::vector<std::string> expected = fields_of(reference);
    for (int f = 0; f < count && f < int(expected.size()); ++f) {
        // The field as the converter read it, as fields_of has it.
        const field_place& place = field_places[std::size_t(f)];
        const char* start = product.start(place.step);
        std::size_t taken = product.to(place.step) - product.from(place.step);
        std::string field = fields[std::size_t(f)].shape == shape_number
                                ? std::to_string(product.values[f])
                            : fields[std::size_t(f)].shape == shape_text
                                ? std::string(start, trim_trailing_spaces(start, taken))
                                : std::string(start, 1);
        if (field != expected[std::size_t(f)])
            return f;
    }
    return -1;
}

} // namespace v2list
