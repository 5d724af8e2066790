#include "conversion_loop.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <poll.h>
#include <utility>
#include <unistd.h>

#include "byte_blocks.hpp"
#include "column_copy.hpp"
#include "descriptor_ready.hpp"
#include "input_record.hpp"

namespace v2list {

namespace {

static_assert(max_piece % 16 == 0, "pieces are searched 16 characters at a time");
static_assert(std::max(max_copied_line, max_record_line) <= max_line);

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

// The first c among the max_piece characters at p; max_piece for none.
inline std::size_t first_of(const char* p, char c)
{
    for (std::size_t block = 0; block < max_piece; block += 16)
        if (unsigned bits = block_bits(load_block(p + block) == c))
            return block + unsigned(std::countr_zero(bits));
    return max_piece;
}

// The first newline and the first zero byte among the max_piece characters
// at p; max_piece for none.
struct piece_ends {
    std::size_t newline, zero;
};

// Which of the 16 characters at p lie at or below '\n' in value, a bit each.
inline unsigned low_characters(const char* p)
{
    return block_bits(load_block(p) <= '\n');
}

// The first character at or below '\n' among the max_piece at p; max_piece
// for none. A record has none before the last block, and one test over
// those blocks together says so.
template <std::size_t... Block>
inline std::size_t first_low_character(const char* p, std::index_sequence<Block...>)
{
    constexpr std::size_t last = sizeof...(Block) * 16;
    byte_block head = ((load_block(p + 16 * Block) <= '\n') | ...);
    if (block_bits(head) == 0) {
        unsigned bits = low_characters(p + last);
        return bits ? last + unsigned(std::countr_zero(bits)) : max_piece;
    }
    for (std::size_t block = 0; block < last; block += 16)
        if (unsigned bits = low_characters(p + block))
            return block + unsigned(std::countr_zero(bits));
    return max_piece; // not reached: head had one
}

inline piece_ends find_ends(const char* p)
{
    // Both lie at or below '\n' in value; in a record the first such
    // character is the newline.
    std::size_t at = first_low_character(p, std::make_index_sequence<max_piece / 16 - 1>());
    if (at == max_piece || p[at] == '\n')
        return {at, max_piece};
    // A zero byte or another control character came first.
    return {first_of(p, '\n'), first_of(p, '\0')};
}

// The length of the piece at the front of the available characters, given
// where its first newline is: through the newline, max_piece characters, or
// at the end of input all that is left; 0 when more input must come first.
inline std::size_t piece_length(std::size_t newline, std::size_t available, bool at_end)
{
    if (newline < std::min(available, max_piece))
        return newline + 1;
    if (available >= max_piece)
        return max_piece;
    return at_end ? available : 0;
}

// The record line of a piece whose text (before any zero byte) has
// text_length characters: by the shortcut when it applies, else by the full
// reader and writer.
inline std::size_t convert_text(const char* piece, std::size_t length, std::size_t text_length,
                                char* line)
{
    if (text_length >= plain_length)
        if (std::size_t written = copy_plain_columns(piece, line))
            return written;
    input_record record;
    if (read_record(piece, length, record) != field_count)
        return 0;
    return format_record(record, line);
}

} // namespace

std::size_t convert_piece(const char* piece, std::size_t length, char* line)
{
    const void* zero = std::memchr(piece, '\0', length);
    std::size_t text_length = zero ? std::size_t(static_cast<const char*>(zero) - piece) : length;
    return convert_text(piece, length, text_length, line);
}

conversion_result convert(conversion& work, int in_fd, int out_fd)
{
    output_listing& listing = work.listing;
    open_listing(listing, out_fd);
    write_header(listing);

    std::size_t carried = 0;
    for (;;) {
        // Nothing converted waits for input that has not come yet.
        if (listing.used > 0 && !ready_now(in_fd, POLLIN) && !flush_listing(listing))
            return {listing.error, false};
        ssize_t n = read_block(in_fd, work.input + carried, conversion::block_size);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!flush_listing(listing))
                return {listing.error, false};
            wait_until_ready(in_fd, POLLIN);
            continue;
        }
        if (n < 0) {
            int error = errno;
            flush_listing(listing);
            return {error, true};
        }
        std::size_t available = carried + std::size_t(n);
        const char* p = work.input;
        // The end of the listing is kept here, not in listing.used, as the
        // compiler cannot know the lines written leave that alone.
        char* out = listing.buffer + listing.used;
        for (;;) {
            // Past the data, the window holds stale characters; piece_length
            // looks only at what is available.
            piece_ends ends = find_ends(p);
            std::size_t length = piece_length(ends.newline, available, n == 0);
            if (length == 0)
                break;
            if (std::size_t(std::end(listing.buffer) - out) < max_line) {
                listing.used = std::size_t(out - listing.buffer);
                if (!flush_listing(listing))
                    return {listing.error, false};
                out = listing.buffer;
            }
            out += convert_text(p, length, std::min(ends.zero, length), out);
            p += length;
            available -= length;
        }
        listing.used = std::size_t(out - listing.buffer);
        if (n == 0)
            break;
        std::memmove(work.input, p, available);
        carried = available;
    }
    flush_listing(listing);
    return {listing.error, false};
}

} // namespace v2list
