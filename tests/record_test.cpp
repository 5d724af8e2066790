// One piece in, its count and its record line out: the reading rules and the
// line layout, case by case. Every case also goes through the full reader
// and writer alone, so the column shortcut and the full path must agree.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"
#include "piece_generator.hpp"
#include "sample_record.hpp"

namespace v2list {
namespace {

struct piece_case {
    const char* name;
    std::string piece;
    int count;
    std::string line; // empty when the piece is not a complete record

    friend void PrintTo(const piece_case& c, std::ostream* out) { *out << c.name; }
};

const piece_case cases[] = {
    {"complete line", plain + "\n", 19, plain_line},
    {"last line without newline", plain, 19, plain_line},
    {"columns 75 to 80 ignored", filled_to_longest_piece(plain), 19, plain_line},
    {"58 characters and newline", plain.substr(0, shortest_record - 1) + "\n", 19, plain_line},
    {"57 characters and newline", plain.substr(0, shortest_record - 2) + "\n", 18, ""},
    {"58 characters at end of input", plain.substr(0, shortest_record - 1), 18, ""},
    {"59 characters at end of input", plain.substr(0, shortest_record), 19, plain_line},
    {"no minus in column 27", with(literal_column, "x"), 10, ""},
    {"space-padded numbers shift", with(field_number1, " 731"), 19, line_with(20, "7301")},
    {"negative number", with(field_number1, "-5"), 19, line_with(20, "-523")},
    {"plus sign", with(field_number1, "+5"), 19, line_with(20, "0523")},
    {"number ending early, then a space", with(field_number1, "7 "), 19, plain_line},
    {"second number ending early", with(field_number2, "3 "), 10, ""},
    {"minus sign in a digit column", with(field_digit1, "-"), 14, ""},
    {"plus sign in a digit column", with(field_digit1, "+"), 14, ""},
    {"space among the digits", with(field_digit1, "1 3"), 16, ""},
    {"high byte is no white space",
     with(field_number1,
          "\xa0"
          "7"),
     1, ""},
    {"letter where a number goes", with(field_number2, "x3"), 2, ""},
    {"zero numbers", with(field_number1, "0000"), 19, line_with(20, "0000")},
    {"text14 trimmed", with(field_text14, "AB            "), 19,
     line_with(1, "AB                ")},
    {"text14 all spaces", with(field_text14, std::string(14, ' ')), 19,
     line_with(1, std::string(18, ' '))},
    {"tab ends trimming", with(field_text14, "AB\t           "), 19,
     line_with(1, "AB\t               ")},
    {"text15 all spaces", with(field_text15, std::string(15, ' ')), 19,
     line_with(37, std::string(15, ' '))},
    {"text2 letter and space", with(field_text2, "Q "), 19, line_with(57, " Q")},
    {"text2 space and letter", with(field_text2, " Q"), 19, line_with(57, " Q")},
    {"text2 two letters", with(field_text2, "QR"), 19, line_with(57, "QR")},
    {"text2 two spaces", with(field_text2, "  "), 19, line_with(57, "  ")},
    {"text2 tab and space", with(field_text2, "\t "), 19, line_with(57, " \t")},
    {"zero byte in column 60", with(column_of(field_text16) + 1, std::string(1, '\0')), 19,
     plain_line},
    {"zero byte in column 59", with(field_text16, std::string(1, '\0')), 18, ""},
    {"zero byte in column 40", with(column_of(field_text15) + 7, std::string(1, '\0')), 13, ""},
    {"zero byte in column 1", with(field_text14, std::string(1, '\0')), -1, ""},
    {"newline alone", "\n", 1, ""},
    {"empty piece", "", -1, ""},
    {"carriage return after full line", plain + "\r\n", 19, plain_line},
    {"carriage return after 57 characters", plain.substr(0, shortest_record - 2) + "\r\n", 19,
     plain_line},
    {"carriage return as mark2", with(field_mark2, "\r"), 19, line_with(60, "\r")},
    {"high bytes pass through", with(field_text14, "\xc3\xa9t\xc3\xa9"), 19,
     line_with(1, "\xc3\xa9t\xc3\xa9")},
};

class piece_test : public testing::TestWithParam<piece_case> {};

TEST_P(piece_test, count_and_line)
{
    const piece_case& c = GetParam();
    input_record record;
    EXPECT_EQ(read_record(c.piece.data(), c.piece.size(), record), c.count);

    char line[256];
    std::size_t length = convert_piece(c.piece.data(), c.piece.size(), line);
    EXPECT_EQ(std::string(line, length), c.line);
    if (c.count == field_count) {
        EXPECT_EQ(std::string(line, write_record(record, line)), c.line);
        EXPECT_EQ(c.line.size(), 61u);
    }
}

INSTANTIATE_TEST_SUITE_P(pieces, piece_test, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<piece_case>& info) {
                             return test_name(info.param.name);
                         });

TEST(write_record, numbers_of_any_value)
{
    std::string piece = plain + "\n";
    input_record record;
    read_record(piece.data(), piece.size(), record);
    struct {
        std::int32_t value;
        const char* columns_20_to_23;
    } const numbers[] = {
        {7, "0723"}, {0, "0023"}, {-5, "-523"}, {123, "12323"}, {-2147483647 - 1, "-214748364823"}};
    for (const auto& n : numbers) {
        record.number1 = n.value;
        char line[256];
        std::string text(line, write_record(record, line));
        EXPECT_EQ(text.substr(19, std::strlen(n.columns_20_to_23)), n.columns_20_to_23);
    }
}

// The shipped layout must take the shortcut, or every plain record would
// go a slower way with nothing in the output to show it.
TEST(column_copy, plain_record_takes_the_shortcut)
{
    char line[max_line];
    piece_way way;
    EXPECT_EQ(std::string(line, convert_piece(plain.data(), plain.size(), line, way)), plain_line);
    EXPECT_EQ(way, piece_way::copied);
}

} // namespace
} // namespace v2list
