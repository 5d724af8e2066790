// What v2check says of a piece: one case for each way a piece fails or
// shifts, and, on many generated pieces, that it converts exactly what
// v2list converts and shows the very line v2list writes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "conversion_loop.hpp"
#include "piece_check.hpp"
#include "piece_generator.hpp"
#include "sample_record.hpp"

namespace v2list {
namespace {

struct check_case {
    const char* name;
    std::string piece;
    std::size_t line_column; // where the piece starts in its line
    piece_fate fate;
    std::size_t column;
    std::string reason; // empty for converted

    friend void PrintTo(const check_case& c, std::ostream* out) { *out << c.name; }
};

const std::string zero(1, '\0');

const check_case cases[] = {
    {"plain record", plain + "\n", 0, piece_fate::converted, 0, ""},
    {"padded numbers in their own columns", with(field_number1, " 7 3") + "\n", 0,
     piece_fate::converted, 0, ""},
    {"space-padded number reads its neighbour", with(field_number1, " 703") + "\n", 0,
     piece_fate::shifted, 15,
     "number1 (columns 15-16) holds \" 7\", read as 70 from columns 16-17; v2list writes "
     "\"SMITH JOHN         7003 ABC1234-X Y PAYROLL DEPT    123  Q Z\""},
    {"space among the digits", with(field_digit1, "1 3x") + "\n", 0, piece_fate::dropped, 55,
     "digit3 needs a digit and found \"x\""},
    {"literal out of place", with(literal_column, "x") + "\n", 0, piece_fate::dropped, 27,
     "column 27 holds \"x\" where \"-\" belongs"},
    {"letter for number2", with(field_number2, "x3") + "\n", 0, piece_fate::dropped, 17,
     "number2 needs a digit and found \"x\""},
    {"sign in a digit column", with(field_digit2, "+") + "\n", 0, piece_fate::dropped, 53,
     "digit2 needs a digit and found \"+\""},
    {"sign without digits", with(field_number1, "-\t") + "\n", 0, piece_fate::dropped, 16,
     "number1 needs a digit after \"-\" and found \"\\t\""},
    {"high byte for a digit", with(field_digit3, "\xe9") + "\n", 0, piece_fate::dropped, 54,
     "digit3 needs a digit and found \"\\xe9\""},
    {"zero byte in text15", with(column_of(field_text15) + 7, zero) + "\n", 0, piece_fate::dropped,
     40, "the line ends at column 40 (a zero byte) in text15"},
    {"zero byte before text16", with(field_text16, zero) + "\n", 0, piece_fate::dropped, 59,
     "the line ends at column 59 (a zero byte) before text16"},
    {"short line", plain.substr(0, shortest_record - 2) + "\n", 0, piece_fate::dropped, 58,
     "the line has 57 characters and a record needs 58 and its newline"},
    {"short last line", plain.substr(0, shortest_record - 1), 0, piece_fate::dropped, 59,
     "the last line has 58 characters and no newline, and a record needs 59 without one"},
    {"empty line", "\n", 0, piece_fate::dropped, 1, "an empty line"},
    {"newline after 80 characters", "\n", 80, piece_fate::dropped, 81,
     "the rest of the line from column 81 has 0 characters and a record needs 58 and its newline"},
    {"white space runs a long line out",
     with(field_number1, std::string(22, ' ') + plain.substr(column_of(field_number1) - 1))
         .substr(0, max_piece),
     0, piece_fate::dropped, 81,
     "the piece from column 1 has 80 characters, but it ends before text16, as a number took more "
     "or fewer columns than its own"},
};

class check_test : public testing::TestWithParam<check_case> {};

TEST_P(check_test, fate_column_and_reason)
{
    const check_case& c = GetParam();
    piece_verdict verdict;
    check_piece(c.piece.data(), c.piece.size(), text_length_of(c.piece.data(), c.piece.size()),
                c.line_column, verdict);
    EXPECT_EQ(verdict.fate, c.fate);
    if (c.fate != piece_fate::converted) {
        EXPECT_EQ(verdict.column, c.column);
        EXPECT_EQ(std::string(verdict.reason), c.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(pieces, check_test, testing::ValuesIn(cases),
                         [](const testing::TestParamInfo<check_case>& info) {
                             return test_name(info.param.name);
                         });

TEST(piece_check, converts_what_v2list_converts_and_shows_its_line)
{
    std::mt19937_64 random(12);
    for (int i = 0; i < 200000; ++i) {
        std::string piece = generate_piece(random);
        piece_verdict verdict;
        check_piece(piece.data(), piece.size(), text_length_of(piece.data(), piece.size()), 0,
                    verdict);
        char line[max_line], shown[4 * max_line];
        std::size_t length = convert_piece(piece.data(), piece.size(), line);
        ASSERT_EQ(verdict.fate != piece_fate::dropped, length > 0) << testing::PrintToString(piece);
        if (verdict.fate == piece_fate::shifted) {
            escape_text(line, length - 1, shown, sizeof shown);
            ASSERT_NE(
                std::string(verdict.reason).find("v2list writes \"" + std::string(shown) + "\""),
                std::string::npos);
        }
    }
}

} // namespace
} // namespace v2list
