// One piece in, its count and its record line out: the reading rules and the
// line layout, case by case. Every case also goes through the full reader
// and writer alone, so the column shortcut and the full path must agree.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "column_copy.hpp"
#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"
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
    {"columns 75 to 80 ignored", plain + "extra!", 19, plain_line},
    {"58 characters and newline", plain.substr(0, 58) + "\n", 19, plain_line},
    {"57 characters and newline", plain.substr(0, 57) + "\n", 18, ""},
    {"58 characters at end of input", plain.substr(0, 58), 18, ""},
    {"59 characters at end of input", plain.substr(0, 59), 19, plain_line},
    {"no minus in column 27", with(27, "x"), 10, ""},
    {"space-padded numbers shift", with(15, " 731"), 19, line_with(20, "7301")},
    {"negative number", with(15, "-5"), 19, line_with(20, "-523")},
    {"plus sign", with(15, "+5"), 19, line_with(20, "0523")},
    {"number ending early, then a space", with(15, "7 "), 19, plain_line},
    {"second number ending early", with(17, "3 "), 10, ""},
    {"minus sign in a digit column", with(52, "-"), 14, ""},
    {"plus sign in a digit column", with(52, "+"), 14, ""},
    {"space among the digits", with(52, "1 3"), 16, ""},
    {"high byte is no white space", with(15, "\xa0" "7"), 1, ""},
    {"letter where a number goes", with(17, "x3"), 2, ""},
    {"zero numbers", with(15, "0000"), 19, line_with(20, "0000")},
    {"text14 trimmed", with(1, "AB            "), 19, line_with(1, "AB                ")},
    {"text14 all spaces", with(1, std::string(14, ' ')), 19, line_with(1, std::string(18, ' '))},
    {"tab ends trimming", with(1, "AB\t           "), 19, line_with(1, "AB\t               ")},
    {"text15 all spaces", with(33, std::string(15, ' ')), 19, line_with(37, std::string(15, ' '))},
    {"text2 letter and space", with(56, "Q "), 19, line_with(57, " Q")},
    {"text2 space and letter", with(56, " Q"), 19, line_with(57, " Q")},
    {"text2 two letters", with(56, "QR"), 19, line_with(57, "QR")},
    {"text2 two spaces", with(56, "  "), 19, line_with(57, "  ")},
    {"text2 tab and space", with(56, "\t "), 19, line_with(57, " \t")},
    {"zero byte in column 60", with(60, std::string(1, '\0')), 19, plain_line},
    {"zero byte in column 59", with(59, std::string(1, '\0')), 18, ""},
    {"zero byte in column 40", with(40, std::string(1, '\0')), 13, ""},
    {"zero byte in column 1", with(1, std::string(1, '\0')), -1, ""},
    {"newline alone", "\n", 1, ""},
    {"empty piece", "", -1, ""},
    {"carriage return after full line", plain + "\r\n", 19, plain_line},
    {"carriage return after 57 characters", plain.substr(0, 57) + "\r\n", 19, plain_line},
    {"carriage return as mark2", with(49, "\r"), 19, line_with(60, "\r")},
    {"high bytes pass through", with(1, "\xc3\xa9t\xc3\xa9"), 19, line_with(1, "\xc3\xa9t\xc3\xa9")},
    {"80 characters", plain + "123456", 19, plain_line},
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
    } const numbers[] = {{7, "0723"}, {0, "0023"}, {-5, "-523"}, {123, "12323"}, {-2147483647 - 1, "-214748364823"}};
    for (const auto& n : numbers) {
        record.number1 = n.value;
        char line[256];
        std::string text(line, write_record(record, line));
        EXPECT_EQ(text.substr(19, std::strlen(n.columns_20_to_23)), n.columns_20_to_23);
    }
}

// The shipped layout must take the shortcut, or every plain record would
// go the slow way with nothing in the output to show it.
TEST(column_copy, plain_record_takes_the_shortcut)
{
    char line[256];
    ASSERT_GE(plain.size(), plain_length);
    EXPECT_EQ(std::string(line, copy_plain_columns(plain.data(), line)), plain_line);
}

} // namespace
} // namespace v2list
