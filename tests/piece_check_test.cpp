// What v2check says of a piece, on many generated pieces: it converts exactly
// what v2list converts, and a shifted record's message shows the very line
// v2list writes. The message for each cause is held by the golden report.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "conversion_loop.hpp"
#include "piece_check.hpp"
#include "piece_generator.hpp"

namespace v2list {

void PrintTo(piece_fate fate, std::ostream* out)
{
    *out << fate_name(fate);
}

namespace {

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
        if (length == 0)
            ASSERT_EQ(verdict.fate, piece_fate::dropped) << testing::PrintToString(piece);
        else
            ASSERT_NE(verdict.fate, piece_fate::dropped) << testing::PrintToString(piece);
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
