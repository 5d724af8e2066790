// An input as v2check reads it: text as it comes, or compressed data (gzip,
// bzip2, xz, zstd) decompressed as it comes through the format's own
// library, told by its signature whatever the file's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "piece_loop.hpp"

namespace v2list {

// What an input is: text, or compressed data of one of these formats.
enum class input_format : unsigned char { text, gzip, bzip2, xz, zstd };
inline constexpr std::string_view format_names[] = {"text", "gzip", "bzip2", "xz", "zstd"};

// How compressed data stopped being readable: it ends before its end, or
// fails its check, or is no such data.
enum class input_break : unsigned char { none, cut_short, damaged };

// The compressed format whose signature bytes begin with, or text;
// not yet decided while more bytes could still make one; cut: the input
// ends inside the signature.
struct format_guess {
    input_format format;
    bool decided;
    bool cut = false;
};
format_guess compression_of(const char* bytes, std::size_t length, bool at_end);

// Whether v2check was built with the library that reads format.
bool can_decompress(input_format format);

// A compression library's state, one format's.
struct decoder;

struct input_source {
    // Compressed data read and not yet decompressed.
    struct buffer {
        char data[piece_input::block_size];
    };

    input_source(int fd, buffer& compressed);
    ~input_source();
    input_source(const input_source&) = delete;
    input_source& operator=(const input_source&) = delete;

    // Reads as read(2) does: text as it is, compressed data decompressed;
    // 0 at the end of the text, or where the compressed data stops being
    // readable (see broken).
    ssize_t read(char* out, std::size_t size)
    {
        if (decided && !decompressing)
            return piece_detail::read_block(fd, out, size);
        return decided ? decompress(out, size) : first_read(out, size);
    }

    input_format format = input_format::text; // found at the first read
    bool decompressing = false;               // format is read through its library
    // Where the compressed data stopped being readable: how, the bytes of
    // the file read by then, and the library's words.
    input_break broken = input_break::none;
    std::uint64_t broken_at = 0;
    std::string why;

  private:
    ssize_t first_read(char* out, std::size_t size);
    ssize_t decompress(char* out, std::size_t size);

    int fd;
    buffer& compressed;
    std::size_t in = 0, in_end = 0; // what compressed holds yet to decompress
    std::uint64_t read_in = 0;      // bytes of the file read before compressed's
    bool decided = false, at_end = false, done = false;
    std::unique_ptr<decoder> library;
};

} // namespace v2list
