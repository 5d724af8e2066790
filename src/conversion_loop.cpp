#include "conversion_loop.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "column_copy.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"

namespace v2list {

namespace {

// Large reads for throughput; after each block at most one unfinished piece
// (under max_piece characters) is carried over to the front.
constexpr std::size_t block_size = 1 << 17;

// Reads into buffer, retrying interrupted calls; returns the count, 0 at the
// end of input, or -1 with errno set.
ssize_t read_block(int fd, char* buffer, std::size_t size)
{
    for (;;) {
        ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

// The shortcut when it applies, else the full reader and writer.
inline std::size_t convert_one(const char* piece, std::size_t length, char* line)
{
    std::size_t written = copy_columns(piece, length, line);
    if (written == 0) {
        input_record record;
        if (read_record(piece, length, record) == field_count)
            written = format_record(record, line);
    }
    return written;
}

// Both live for the whole run; the loop allocates nothing.
output_listing listing;
char input[max_piece + block_size];

} // namespace

const std::size_t max_line = std::max(max_copied_line, max_record_line());

std::size_t piece_length(const char* p, std::size_t available)
{
    std::size_t window = std::min(available, max_piece);
    const void* newline = std::memchr(p, '\n', window);
    if (newline != nullptr)
        return std::size_t(static_cast<const char*>(newline) - p) + 1;
    return window == max_piece ? max_piece : 0;
}

std::size_t convert_piece(const char* piece, std::size_t length, char* line)
{
    return convert_one(piece, length, line);
}
conversion_result convert(int in_fd, int out_fd)
{
    open_listing(listing, out_fd);
    if (!write_header(listing))
        return {listing.error, false};

    std::size_t carried = 0;
    for (;;) {
        ssize_t n = read_block(in_fd, input + carried, block_size);
        if (n < 0) {
            int error = errno;
            flush_listing(listing);
            return {error, true};
        }
        std::size_t available = carried + std::size_t(n);
        const char* p = input;
        if (n == 0) {
            // At the end of input, what is left is the last piece.
            if (char* line = reserve_output(listing, max_line); line && available > 0)
                listing.used += convert_one(p, available, line);
            break;
        }
        for (std::size_t length; (length = piece_length(p, available)) != 0;) {
            char* line = reserve_output(listing, max_line);
            if (line == nullptr)
                return {listing.error, false};
            listing.used += convert_one(p, length, line);
            p += length;
            available -= length;
        }
        std::memmove(input, p, available);
        carried = available;
    }
    flush_listing(listing);
    return {listing.error, false};
}

} // namespace v2list
