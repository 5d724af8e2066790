// One piece in, its count and its record line out, at the edges of the
// reading rules. The count each case must give is said in fields of the
// layout; the line is the C library's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"
#include "piece_generator.hpp"
#include "plain_copy.hpp"
#include "sample_record.hpp"
#include "stdio_reference.hpp"

namespace v2list {

namespace {

struct piece_case {
    const char* name;
    std::string piece;
    int count; // the fields assigned: the field the scan stops before, -1 for none

    friend void PrintTo(const piece_case& c, std::ostream* out) { *out << c.name; }
};

const std::string zero(1, '\0');
const std::string spaces14(width_of(field_text14) - 2, ' ');
const std::string seven_then_spaces = std::string(width_of(field_number1), ' ').replace(0, 1, "7");

std::vector<piece_case> make_cases()
{
    std::vector<piece_case> cases = {
        {"complete line", plain + "\n", field_count},
        {"last line without newline", plain, field_count},
        {"columns after the record ignored", filled_to_longest_piece(plain), field_count},
        {"one character short and newline", plain.substr(0, shortest_record - 1) + "\n",
         field_count},
        {"two characters short and newline", plain.substr(0, shortest_record - 2) + "\n",
         field_count - 1},
        {"one character short at end of input", plain.substr(0, shortest_record - 1),
         field_count - 1},
        {"shortest record at end of input", plain.substr(0, shortest_record), field_count},
        {"space-padded numbers shift", with(field_number1, " 731"), field_count},
        {"negative number", with(field_number1, "-5"), field_count},
        {"plus sign", with(field_number1, "+5"), field_count},
        {"number ending early, then spaces", with(field_number1, seven_then_spaces), field_count},
        {"minus sign in a digit column", with(field_digit1, "-"), field_digit1},
        {"plus sign in a digit column", with(field_digit1, "+"), field_digit1},
        {"space among the digits", with(field_digit1, "1 3"), field_digit3},
        {"high byte is no white space",
         with(field_number1,
              "\xa0"
              "7"),
         field_number1},
        {"letter where a number goes", with(field_number2, "x3"), field_number2},
        {"zero numbers", with(field_number1, "0000"), field_count},
        {"text14 trimmed", with(field_text14, "AB" + spaces14), field_count},
        {"text14 all spaces", with(field_text14, std::string(width_of(field_text14), ' ')),
         field_count},
        {"tab ends trimming", with(field_text14, "AB\t" + spaces14.substr(1)), field_count},
        {"text15 all spaces", with(field_text15, std::string(width_of(field_text15), ' ')),
         field_count},
        {"text2 letter and space", with(field_text2, "Q "), field_count},
        {"text2 space and letter", with(field_text2, " Q"), field_count},
        {"text2 two letters", with(field_text2, "QR"), field_count},
        {"text2 two spaces", with(field_text2, "  "), field_count},
        {"text2 tab and space", with(field_text2, "\t "), field_count},
        {"zero byte after text16's first column", with(column_of(field_text16) + 1, zero),
         field_count},
        {"zero byte in text16's first column", with(field_text16, zero), field_text16},
        {"zero byte inside text15", with(column_of(field_text15) + 7, zero), field_text15 + 1},
        {"zero byte in column 1", with(field_text14, zero), -1},
        {"newline alone", "\n", 1},
        {"empty piece", "", -1},
        {"carriage return after full line", plain + "\r\n", field_count},
        {"carriage return two characters short", plain.substr(0, shortest_record - 2) + "\r\n",
         field_count},
        {"carriage return as mark2", with(field_mark2, "\r"), field_count},
        {"high bytes pass through", with(field_text14, "\xc3\xa9t\xc3\xa9"), field_count},
    };
    if (literal_step) {
        std::size_t column = scan_step_columns[*literal_step] + 1;
        int after = int(scan_step_fields[*literal_step]);
        cases.push_back({"literal missing", with(column, "x"), after});
        // number2 ends early, and its ignored column takes the space: the
        // literal is then looked for one column early.
        cases.push_back({"second number ending early", with(field_number2, "3 "), after});
    }
    return cases;
}

class piece_test : public testing::TestWithParam<piece_case> {};

TEST_P(piece_test, count_and_line)
{
    const piece_case& c = GetParam();
    input_record record{};
    reference_record reference{};
    int count = read_piece(c.piece.data(), c.piece.size(), record);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(reference_read_record(c.piece.data(), c.piece.size(), reference), c.count);

    char line[max_line], expected[max_line];
    std::string reference_line(
        expected, reference_convert_piece(c.piece.data(), c.piece.size(), expected, max_line));
    EXPECT_EQ(std::string(line, convert_text(c.piece.data(),
                                             text_length_of(c.piece.data(), c.piece.size()), line)),
              reference_line);
}

INSTANTIATE_TEST_SUITE_P(pieces, piece_test, testing::ValuesIn(make_cases()),
                         [](const testing::TestParamInfo<piece_case>& info) {
                             return test_name(info.param.name);
                         });

TEST(write_record, numbers_of_every_value_they_can_hold)
{
    std::string piece = plain + "\n";
    input_record reading;
    ASSERT_EQ(read_piece(piece.data(), piece.size(), reading), field_count);
    reference_record record{};
    reference_read_record(piece.data(), piece.size(), record);
    // Every value number1's columns can hold: a sign counts in its width.
    std::int32_t most = 1;
    for (std::size_t i = 0; i < width_of(field_number1); ++i)
        most *= 10;
    for (std::int32_t value = 1 - most / 10; value < most; ++value) {
        reading.values[field_number1] = record.number1 = value;
        char line[max_line], expected[max_line];
        EXPECT_EQ(std::string(line, write_record(reading, line)),
                  std::string(expected, reference_write_record(record, expected, max_line)));
    }
}

// The shipped layout must take the fast path, or every plain record would
// go a slower way with nothing in the output to show it.
TEST(plain_copy, plain_record_takes_the_fast_path)
{
    EXPECT_TRUE(copies_plain) << "the line plan refuses: " << listing_detail::plan.refusal;
    EXPECT_TRUE(plain_record(plain.data()));
}

} // namespace
} // namespace v2list
