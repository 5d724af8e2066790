#include "conversion_loop.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <unistd.h>

#include "byte_blocks.hpp"
#include "column_copy.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"

namespace v2list {

namespace {

// Large reads for throughput; after each block at most one unfinished piece
// (under max_piece characters) is carried over to the front. Past the data
// lies room for one more window, so that a window can always be read whole;
// what it holds past the data is never used.
constexpr std::size_t block_size = 1 << 17;
constexpr std::size_t window = max_piece;
static_assert(window % 16 == 0);

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

// Where the piece at p ends: the first newline among the window characters
// there, or window when there is none. And whether the characters before
// the last block are quiet: none of them at or below '\n' in value, so no
// newline and no zero byte, which is what the shortcut needs to know of them.
struct window_scan {
    std::size_t newline;
    bool quiet_head;
};

constexpr unsigned window_blocks = window / 16, last_block = window_blocks - 1;
static_assert(16 * last_block >= plain_length);

inline window_scan scan_window(const char* p)
{
    byte_block low{};
    for (unsigned i = 0; i < last_block; ++i)
        low |= load_block(p + 16 * i) <= '\n';
    // A whole plain record has its newline in the last block, and one test
    // over the others says so.
    if (block_bits(low) == 0) {
        unsigned bits = block_bits(load_block(p + 16 * last_block) == '\n');
        return {bits ? 16 * last_block + unsigned(std::countr_zero(bits)) : window, true};
    }
    byte_bits newlines{};
    for (unsigned i = 0; i < window_blocks; ++i)
        newlines.set_block(i, load_block(p + 16 * i) == '\n');
    return {newlines.first(window), false};
}

// The length of the piece at the front of the available characters, given
// where its first newline is: through the newline, max_piece characters, or
// at the end of input all that is left; 0 when more input must come first.
inline std::size_t piece_length(std::size_t newline, std::size_t available, bool at_end)
{
    if (newline < std::min(available, window))
        return newline + 1;
    if (available >= max_piece)
        return max_piece;
    return at_end ? available : 0;
}

// The shortcut when it applies, else the full reader and writer.
inline std::size_t convert_one(const char* piece, std::size_t length, bool quiet_head, char* line)
{
    std::size_t written = quiet_head ? copy_plain_columns(piece, line) : copy_columns(piece, length, line);
    if (written == 0) {
        input_record record;
        if (read_record(piece, length, record) == field_count)
            written = format_record(record, line);
    }
    return written;
}

// Both live for the whole run; the loop allocates nothing.
output_listing listing;
char input[max_piece + block_size + window];

// Room for either kind of record line.
constexpr std::size_t max_line = std::max(max_copied_line, max_record_line());
static_assert(max_line <= 256);

} // namespace

std::size_t convert_piece(const char* piece, std::size_t length, char* line)
{
    return convert_one(piece, length, false, line);
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
        char* out = listing.buffer + listing.used;
        for (;;) {
            window_scan scan = scan_window(p);
            std::size_t length = piece_length(scan.newline, available, n == 0);
            if (length == 0)
                break;
            // The end of the listing is kept here, not in listing.used, as
            // the compiler cannot know the lines written leave that alone.
            if (std::size_t(std::end(listing.buffer) - out) < max_line) {
                listing.used = std::size_t(out - listing.buffer);
                if (!flush_listing(listing))
                    return {listing.error, false};
                out = listing.buffer;
            }
            // Past the data the window holds stale characters: a quiet head
            // counts only when the piece covers it.
            bool quiet_head = scan.quiet_head && length > 16 * last_block;
            out += convert_one(p, length, quiet_head, out);
            p += length;
            available -= length;
        }
        listing.used = std::size_t(out - listing.buffer);
        if (n == 0)
            break;
        std::memmove(input, p, available);
        carried = available;
    }
    flush_listing(listing);
    return {listing.error, false};
}

} // namespace v2list
