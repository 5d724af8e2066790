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

// Same count, and the same value in every field the scan assigned.
void expect_same_record(const input_record& product, const input_record& reference, int count,
                        const std::string& piece)
{
    for (int f = 0; f < count; ++f) {
        auto id = static_cast<field_id>(f);
        if (shape_of(id) == shape_number) {
            EXPECT_EQ(field_value(product, id), field_value(reference, id)) << "field " << f << " of " << testing::PrintToString(piece);
        } else {
            // text16 may be only partly filled; its first character is sure.
            std::size_t n = shape_of(id) == shape_tail ? 1 : character_capacity(id);
            EXPECT_EQ(std::memcmp(field_characters(product, id), field_characters(reference, id), n), 0)
                << "field " << f << " of " << testing::PrintToString(piece);
        }
    }
}

TEST(differential, generated_pieces_agree_with_the_c_library)
{
    std::mt19937_64 random(20261208);
    int complete = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string piece = generate_piece(random);
        input_record product{}, reference{};
        int count = read_record(piece.data(), piece.size(), product);
        ASSERT_EQ(count, reference_read_record(piece.data(), piece.size(), reference)) << testing::PrintToString(piece);
        expect_same_record(product, reference, count, piece);

        char line[256], expected[256];
        std::size_t length = convert_piece(piece.data(), piece.size(), line);
        std::size_t expected_length = reference_convert_piece(piece.data(), piece.size(), expected, sizeof expected);
        ASSERT_EQ(std::string(line, length), std::string(expected, expected_length)) << testing::PrintToString(piece);
        complete += count == field_count;
        if (HasFailure())
            return;
    }
    // The generator must reach both outcomes often, or the test proves little.
    EXPECT_GT(complete, 40000);
    EXPECT_LT(complete, 160000);
}

} // namespace
} // namespace v2list
