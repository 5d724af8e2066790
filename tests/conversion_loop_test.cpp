// The whole loop: pieces cut from a stream exactly as fgets with a size of 81
// cuts them, whatever sizes the reads come in, and failures reported.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

#include "conversion_loop.hpp"
#include "output_listing.hpp"
#include "piece_generator.hpp"
#include "sample_record.hpp"
#include "stdio_reference.hpp"

namespace v2list {
namespace {

// A stream of lines of every kind: records, mutated records, long lines,
// empty lines, and maybe no newline at the very end.
std::string generate_stream(std::mt19937_64& random, std::size_t lines)
{
    std::string stream;
    for (std::size_t i = 0; i < lines; ++i) {
        std::string line = generate_piece(random);
        if (line.empty() || line.back() != '\n')
            line += '\n';
        // Before the line: a whole piece, or up to 200 characters.
        switch (random() % 8) {
        case 0: line.insert(0, filled_to_longest_piece(generate_record(random))); break;
        case 1: line.insert(0, random() % 200, 'x'); break;
        case 2: line.assign(1, '\n'); break;
        default: break;
        }
        stream += line;
    }
    if (random() % 2)
        stream += generate_record(random).substr(0, random() % 80);
    return stream;
}

struct run {
    std::string output;
    conversion_result result;
};

// Converts input delivered through a pipe in writes of the given sizes, in
// turn, into a temporary file.
run convert_through_pipe(const std::string& input, std::vector<std::size_t> sizes)
{
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        std::size_t done = 0;
        for (std::size_t i = 0; done < input.size(); ++i) {
            std::size_t n = std::min(sizes[i % sizes.size()], input.size() - done);
            if (write(fds[1], input.data() + done, n) != ssize_t(n))
                break;
            done += n;
        }
        close(fds[1]);
    });
    FILE* out = std::tmpfile();
    static conversion work;
    run r{"", convert(work, fds[0], fileno(out))};
    writer.join();
    close(fds[0]);
    std::rewind(out);
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, out)) > 0;)
        r.output.append(block, n);
    std::fclose(out);
    return r;
}

TEST(conversion_loop, matches_the_stdio_program_whatever_the_read_sizes)
{
    std::mt19937_64 random(7);
    const std::vector<std::vector<std::size_t>> deliveries = {
        {1}, {79, 80, 81}, {3, 150, 1}, {1 << 16}, {200000}};
    for (int round = 0; round < 20; ++round) {
        std::string input = generate_stream(random, 3000);
        std::string expected = reference_listing(input);
        for (const auto& sizes : deliveries) {
            run r = convert_through_pipe(input, sizes);
            EXPECT_EQ(r.result.error, 0);
            ASSERT_EQ(r.output, expected) << "round " << round << ", first read size " << sizes[0];
        }
    }
}

TEST(conversion_loop, inputs_of_every_shape_at_the_edges)
{
    std::mt19937_64 random(3);
    const std::string record = generate_record(random);
    std::vector<std::string> inputs = {"", std::string(100000, '\n'), std::string(1000, '\0'),
                                       std::string(100000, 'x') + "\n" + record};
    // A last line without a newline, of every length a piece can have.
    for (std::size_t length = 0; length <= max_piece; ++length)
        inputs.push_back(record + "\n" + filled_to_longest_piece(record).substr(0, length));
    for (const std::string& input : inputs) {
        run r = convert_through_pipe(input, {1 << 16});
        EXPECT_EQ(r.result.error, 0);
        ASSERT_EQ(r.output, reference_listing(input)) << "input of " << input.size() << " bytes";
    }
}

TEST(conversion_loop, read_error_is_reported_after_the_header)
{
    int directory = open("/", O_RDONLY);
    FILE* out = std::tmpfile();
    static conversion work;
    conversion_result result = convert(work, directory, fileno(out));
    close(directory);
    EXPECT_EQ(result.error, EISDIR);
    EXPECT_TRUE(result.failed_read);
    char text[32] = {};
    std::rewind(out);
    EXPECT_EQ(std::fread(text, 1, sizeof text - 1, out), sizeof listing_header);
    EXPECT_EQ(std::string(text), std::string(listing_header) + "\n");
    std::fclose(out);
}

TEST(conversion_loop, write_error_is_reported)
{
    int full = open("/dev/full", O_WRONLY);
    // Fails on the write when the buffer fills, or on the last one.
    for (std::size_t records : {1, 5000}) {
        std::string input;
        for (std::size_t i = 0; i < records; ++i)
            input += plain + "\n";
        FILE* in = std::tmpfile();
        std::fwrite(input.data(), 1, input.size(), in);
        std::rewind(in);
        static conversion work;
        conversion_result result = convert(work, fileno(in), full);
        std::fclose(in);
        EXPECT_EQ(result.error, ENOSPC);
        EXPECT_FALSE(result.failed_read);
    }
    close(full);
}

} // namespace
} // namespace v2list
