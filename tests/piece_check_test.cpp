// What v2check says of a piece: one case for each cause, and, on many
// generated pieces, that it converts exactly what v2list converts, shows the
// very line v2list writes, and judges as the full reader does.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

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
    std::string words;  // the cause as the tally names it
    std::string reason; // empty for converted

    friend void PrintTo(const check_case& c, std::ostream* out) { *out << c.name; }
};

const std::string zero(1, '\0');

// One case for each cause, each with its exact message.
const check_case cases[] = {
    {"plain record", plain + "\n", 0, piece_fate::converted, 0, "", ""},
    {"padded numbers in their own columns", with(field_number1, " 7 3") + "\n", 0,
     piece_fate::converted, 0, "", ""},
    {"a number reads a neighbour's column", with(field_number1, " 703") + "\n", 0,
     piece_fate::shifted, 15, "number1 reads a neighbour's column",
     "number1 skips white space at column 15 and reads on into column 17, past its own columns: "
     "number1 (columns 15-16) holds \" 7\", read as 70 from columns 16-17; v2list writes "
     "\"SMITH JOHN         7003 ABC1234-X Y PAYROLL DEPT    123  Q Z\""},
    {"a number skips white space, a later field shifts",
     with(field_number1, " 00" + plain.substr(column_of(field_number2) - 1)) + "\n", 0,
     piece_fate::shifted, 15, "number1 skips white space",
     "number1 skips white space at column 15 and reads on to column 17, so every later field is "
     "read 1 column late: number2 (columns 17-18) holds \"02\", read as 23 from columns 18-19; "
     "v2list writes \"SMITH JOHN         0023 ABC1234-X Y PAYROLL DEPT    123  Q Z\""},
    {"a number stops short", with(field_number2, "3a") + "\n", 0, piece_fate::dropped, 18,
     "number2 stops short",
     "number2 stops at column 18 (\"a\" is not a digit), so every later field is read 1 column "
     "early: column 26 holds \"4\" where the \"-\" belongs"},
    {"a digit skips white space", with(field_digit1, "1 3x") + "\n", 0, piece_fate::dropped, 53,
     "digit2 skips white space",
     "digit2 skips white space at column 53 and reads on to column 54, so every later field is "
     "read 1 column late: digit3 finds \"x\" at column 55, not a digit"},
    {"the literal out of place", with(literal_column, "x") + "\n", 0, piece_fate::dropped, 27,
     "no \"-\" in its column", "column 27 holds \"x\" where the \"-\" belongs"},
    {"a letter for a number", with(field_number2, "x3") + "\n", 0, piece_fate::dropped, 17,
     "number2 finds no digit", "number2 finds \"x\" at column 17, not a digit"},
    {"a high byte for a digit", with(field_digit3, "\xe9") + "\n", 0, piece_fate::dropped, 54,
     "digit3 finds no digit", "digit3 finds \"\\xe9\" at column 54, not a digit"},
    {"a sign in a digit column", with(field_digit2, "+") + "\n", 0, piece_fate::dropped, 53,
     "digit2 takes a sign",
     "digit2 takes the sign \"+\" at column 53, which leaves it no room for a digit"},
    {"a sign without digits", with(field_number1, "-\t") + "\n", 0, piece_fate::dropped, 15,
     "number1 takes a sign",
     "number1 takes the sign \"-\" at column 15 and then finds \"\\t\" at column 16, not a digit"},
    {"a zero byte in text15", with(column_of(field_text15) + 7, zero) + "\n", 0,
     piece_fate::dropped, 40, "zero byte", "the line ends at column 40 (a zero byte) in text15"},
    {"a zero byte before text16", with(field_text16, zero) + "\n", 0, piece_fate::dropped, 59,
     "zero byte", "the line ends at column 59 (a zero byte) before text16"},
    {"a short line", plain.substr(0, shortest_record - 2) + "\n", 0, piece_fate::dropped, 58,
     "line too short", "the line has 57 characters and a record needs 58 and its newline"},
    {"a short line with a move in it", with(field_number1, " 7").substr(0, 26) + "\n", 0,
     piece_fate::dropped, 27, "line too short",
     "the line has 26 characters and a record needs 58 and its newline"},
    {"a short last line", plain.substr(0, shortest_record - 1), 0, piece_fate::dropped, 59,
     "line too short",
     "the last line has 58 characters and no newline, and a record needs 59 without one"},
    {"an empty line", "\n", 0, piece_fate::dropped, 1, "empty line", "an empty line"},
    {"the newline after 80 characters", "\n", 80, piece_fate::dropped, 81, "line too short",
     "the rest of the line from column 81 has 0 characters and a record needs 58 and its "
     "newline"},
    {"white space runs a long line out",
     with(field_number1, std::string(22, ' ') + plain.substr(column_of(field_number1) - 1))
         .substr(0, max_piece),
     0, piece_fate::dropped, 15, "number1 skips white space",
     "number1 skips white space at column 15 and reads on to column 38, so every later field is "
     "read 22 columns late: the line ends before text16"},
};

class check_test : public testing::TestWithParam<check_case> {};

TEST_P(check_test, fate_column_and_reason)
{
    const check_case& c = GetParam();
    piece_verdict verdict;
    judge_piece(c.piece.data(), c.piece.size(), text_length_of(c.piece.data(), c.piece.size()),
                c.line_column, true, verdict);
    EXPECT_EQ(verdict.fate, c.fate);
    if (c.fate != piece_fate::converted) {
        EXPECT_EQ(verdict.column, c.column);
        EXPECT_EQ(std::string(verdict.reason), c.reason);
        char words[128];
        EXPECT_EQ(std::string(words, cause_words(verdict, words, sizeof words)), c.words);
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
        std::size_t text_length = text_length_of(piece.data(), piece.size());
        judge_piece(piece.data(), piece.size(), text_length, 0, true, verdict);
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
