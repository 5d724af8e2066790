// The converter against the C library's sscanf and snprintf, driven by the
// same format texts, on many generated pieces: plain records and their
// mutations, cut short, run long, with and without a newline. The plain copy
// and the reader and writer are held to it on their own as well.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"
#include "piece_generator.hpp"
#include "plain_copy.hpp"
#include "stdio_reference.hpp"

namespace v2list {
namespace {

// The line by the plain copy, empty when the piece is not plain.
std::string plain_line_of(const std::string& piece)
{
    char line[max_line];
    std::size_t text = text_length_of(piece.data(), piece.size());
    bool copied = copies_plain && text >= shortest_record && plain_record(piece.data());
    return std::string(line, copied ? copy_plain_columns(piece.data(), line) : 0);
}

// The line by the reader and writer, empty when the piece is no record.
std::string read_line_of(const std::string& piece)
{
    char line[max_line];
    input_record reading;
    read_record<false>(piece.data(), text_length_of(piece.data(), piece.size()), reading);
    return std::string(line, reading.count == field_count ? write_record(reading, line) : 0);
}

TEST(differential, generated_pieces_agree_with_the_c_library)
{
    std::mt19937_64 random(20261208);
    int complete = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string piece = i % 4 ? generate_piece(random) : generate_shifted_record(random) + "\n";
        input_record product{};
        reference_record reference{};
        int count = read_piece(piece.data(), piece.size(), product);
        ASSERT_EQ(count, reference_read_record(piece.data(), piece.size(), reference))
            << testing::PrintToString(piece);
        ASSERT_EQ(first_different_field(product, reference, count), -1)
            << testing::PrintToString(piece);

        char expected[max_line], line[max_line];
        std::string reference_line(expected, reference_convert_piece(piece.data(), piece.size(),
                                                                     expected, sizeof expected));
        ASSERT_EQ(std::string(line, convert_text(piece.data(),
                                                 text_length_of(piece.data(), piece.size()), line)),
                  reference_line)
            << testing::PrintToString(piece);
        complete += count == field_count;
        // Either way alone gives the line: the plain copy where it applies,
        // the reader and writer everywhere.
        ASSERT_EQ(read_line_of(piece), reference_line) << testing::PrintToString(piece);
        std::string plain = plain_line_of(piece);
        ASSERT_TRUE(plain.empty() || plain == reference_line) << testing::PrintToString(piece);
    }
    // The generator must reach every outcome often, or the test proves little.
    EXPECT_GT(complete, 40000);
    EXPECT_LT(complete, 160000);
}

} // namespace
} // namespace v2list
