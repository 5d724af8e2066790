// What v2check says of a piece, on many generated pieces: it converts exactly
// what v2list converts, and a shifted record's message names the field the
// listing shows from other columns. The message for each cause is held by
// the golden report.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "piece_check.hpp"
#include "piece_generator.hpp"

namespace v2list {

void PrintTo(piece_fate fate, std::ostream* out)
{
    *out << fate_name(fate);
}

namespace {

TEST(piece_check, converts_what_v2list_converts_and_names_the_field_shifted)
{
    std::mt19937_64 random(12);
    for (int i = 0; i < 200000; ++i) {
        std::string piece = generate_piece(random);
        piece_verdict verdict;
        std::size_t text_length = text_length_of(piece.data(), piece.size());
        judge_piece(piece.data(), piece.size(), text_length, 0, true, verdict);
        char line[max_line];
        if (convert_piece(piece.data(), piece.size(), line) == 0)
            ASSERT_EQ(verdict.fate, piece_fate::dropped) << testing::PrintToString(piece);
        else
            ASSERT_NE(verdict.fate, piece_fate::dropped) << testing::PrintToString(piece);
        if (verdict.fate == piece_fate::shifted) {
            ASSERT_NE(std::string(verdict.reason).find(fields[verdict.field].name),
                      std::string::npos)
                << verdict.reason;
        }
    }
}

} // namespace
} // namespace v2list
