// The converter against the C library's sscanf and snprintf, driven by the
// same format texts, on many generated pieces: plain records and their
// mutations, cut short, run long, with and without a newline. The shortcut
// and the middle way for shifted numbers are held to it on their own as well.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "column_copy.hpp"
#include "column_plan.hpp"
#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "piece_generator.hpp"
#include "stdio_reference.hpp"

namespace v2list {
namespace {

// The line by the shortcut for plain records, empty when it does not apply.
std::string plain_line_of(const std::string& piece)
{
    char line[max_line];
    std::size_t text = text_length_of(piece.data(), piece.size());
    return std::string(line, text >= shortest_record ? copy_plain_columns(piece.data(), line) : 0);
}

// The line by the middle way for shifted numbers, empty when it does not apply.
std::string shifted_line(const std::string& piece)
{
    char line[max_line];
    return std::string(
        line, copy_shifted_columns(piece.data(), text_length_of(piece.data(), piece.size()), line));
}

TEST(differential, generated_pieces_agree_with_the_c_library)
{
    std::mt19937_64 random(20261208);
    int complete = 0, ways[4] = {};
    for (int i = 0; i < 200000; ++i) {
        std::string piece = i % 4 ? generate_piece(random) : generate_shifted_record(random) + "\n";
        input_record product{}, reference{};
        int count = read_record(piece.data(), piece.size(), product);
        ASSERT_EQ(count, reference_read_record(piece.data(), piece.size(), reference))
            << testing::PrintToString(piece);
        ASSERT_EQ(first_different_field(product, reference, count), -1)
            << testing::PrintToString(piece);

        char expected[max_line], line[max_line];
        std::string reference_line(expected, reference_convert_piece(piece.data(), piece.size(),
                                                                     expected, sizeof expected));
        piece_way way;
        ASSERT_EQ(std::string(line, convert_piece(piece.data(), piece.size(), line, way)),
                  reference_line)
            << testing::PrintToString(piece);
        ++ways[int(way)];
        complete += count == field_count;
        if constexpr (copies_columns) {
            // The middle way alone gives every line, and refuses every piece
            // that is not a complete record; the shortcut, where it applies.
            ASSERT_EQ(shifted_line(piece), reference_line) << testing::PrintToString(piece);
            std::string plain = plain_line_of(piece);
            ASSERT_TRUE(plain.empty() || plain == reference_line) << testing::PrintToString(piece);
        }
    }
    // The generator must reach every outcome often, or the test proves little.
    EXPECT_GT(complete, 40000);
    EXPECT_LT(complete, 160000);
    // The shipped layout takes the fast ways (95,934 pieces copied and 40,838
    // copied shifted today): a change to the layout or the code that sends plain or
    // padded records a slower way fails here.
    const char* refusal = copies_columns ? "nothing" : column_detail::plan.refusal;
    EXPECT_GT(ways[int(piece_way::copied)], 90000)
        << "copied from their own columns; the copy plan refuses: " << refusal;
    EXPECT_GT(ways[int(piece_way::copied_shifted)], 35000)
        << "copied where their numbers shifted them; the copy plan refuses: " << refusal;
    EXPECT_EQ(ways[int(piece_way::read_and_written)], 0)
        << "read and written field by field; the copy plan refuses: " << refusal;
}

// The character-by-character digit test, the general path, against the
// packed one that the shipped layout takes.
TEST(differential, numbers_tested_one_by_one_as_when_packed)
{
    if constexpr (copies_columns && column_detail::numbers_pack) {
        constexpr auto runs = std::make_index_sequence<column_detail::plan.number_count>();
        std::mt19937_64 random(19);
        for (int i = 0; i < 200000; ++i) {
            std::string piece = generate_piece(random);
            piece.resize(max_piece, ' ');
            ASSERT_EQ(column_detail::numbers_plain_each(piece.data(), runs),
                      column_detail::numbers_plain_packed(piece.data(), runs))
                << testing::PrintToString(piece);
        }
    }
}

} // namespace
} // namespace v2list
