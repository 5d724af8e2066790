// The converter against the C library's sscanf and snprintf, driven by the
// same format texts, on many generated pieces: plain records and their
// mutations, cut short, run long, with and without a newline.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "piece_generator.hpp"
#include "stdio_reference.hpp"

namespace v2list {
namespace {

TEST(differential, generated_pieces_agree_with_the_c_library)
{
    std::mt19937_64 random(20261208);
    int complete = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string piece = generate_piece(random);
        input_record product{}, reference{};
        int count = read_record(piece.data(), piece.size(), product);
        ASSERT_EQ(count, reference_read_record(piece.data(), piece.size(), reference)) << testing::PrintToString(piece);
        ASSERT_EQ(first_different_field(product, reference, count), -1) << testing::PrintToString(piece);

        char line[256], expected[256];
        std::size_t length = convert_piece(piece.data(), piece.size(), line);
        std::size_t expected_length = reference_convert_piece(piece.data(), piece.size(), expected, sizeof expected);
        ASSERT_EQ(std::string(line, length), std::string(expected, expected_length)) << testing::PrintToString(piece);
        complete += count == field_count;
    }
    // The generator must reach both outcomes often, or the test proves little.
    EXPECT_GT(complete, 40000);
    EXPECT_LT(complete, 160000);
}

} // namespace
} // namespace v2list
