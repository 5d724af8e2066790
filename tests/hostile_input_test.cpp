// Bytes of every value where the reading rules are sharpest, against the C
// library; and the helpers that compare characters 16 at a time, against
// their plain form.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "byte_blocks.hpp"
#include "conversion_loop.hpp"
#include "piece_generator.hpp"
#include "stdio_reference.hpp"

namespace v2list {
namespace {

TEST(hostile_input, every_byte_in_every_column)
{
    std::mt19937_64 random(11);
    const std::string record = filled_to_longest_piece(generate_record(random));
    for (std::size_t column = 0; column < record.size(); ++column) {
        for (int byte = 0; byte < 256; ++byte) {
            std::string piece = record;
            piece[column] = char(byte);
            for (std::size_t length : {max_piece, record_length + 1, shortest_record}) {
                char line[256], expected[256];
                std::size_t n =
                    convert_text(piece.data(), text_length_of(piece.data(), length), line);
                std::size_t m =
                    reference_convert_piece(piece.data(), length, expected, sizeof expected);
                ASSERT_EQ(std::string(line, n), std::string(expected, m))
                    << "byte " << byte << " in column " << column + 1 << ", length " << length;
            }
        }
    }
}

TEST(byte_blocks, bits_agree_with_the_plain_form)
{
    std::mt19937_64 random(5);
    for (int i = 0; i < 10000; ++i) {
        char text[16];
        for (char& c : text)
            c = random() % 3 == 0 ? '\n' : char(random());
        byte_block matches = load_block(text) == '\n';
        unsigned expected = 0;
        for (unsigned k = 0; k < 16; ++k)
            expected |= unsigned(text[k] == '\n') << k;
        ASSERT_EQ(block_bits(matches), expected);
        ASSERT_EQ(block_bits_plain(matches), expected);
    }
}

} // namespace
} // namespace v2list
