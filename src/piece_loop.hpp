// Input cut into pieces exactly where a line reader with room for 80
// characters would cut it, whatever sizes the reads come in.
#pragma once

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <unistd.h>
#include <utility>

#include "byte_blocks.hpp"
#include "output_buffer.hpp"

namespace v2list {

// A piece ends after a newline, after this many characters, or at the end
// of input.
inline constexpr std::size_t max_piece = 80;

// A piece's characters without its newline.
constexpr std::size_t without_newline(const char* piece, std::size_t length)
{
    return length - (length > 0 && piece[length - 1] == '\n');
}

// An unfinished piece carried over, a block, and room past the data for a
// window of max_piece characters read anywhere in it.
struct piece_input {
    static constexpr std::size_t block_size = 1 << 17;
    char data[max_piece + block_size + max_piece];
};

namespace piece_detail {

static_assert(max_piece % 16 == 0, "pieces are searched 16 characters at a time");

// A read, retried when interrupted.
inline ssize_t read_block(int fd, char* buffer, std::size_t size)
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

// The first newline and zero byte among the max_piece characters at p, or
// max_piece.
struct piece_ends {
    std::size_t newline, zero;
};

// Which of the 16 characters at p lie at or below '\n' in value, a bit each.
inline unsigned low_characters(const char* p)
{
    return block_bits(load_block(p) <= '\n');
}

// The first character at or below '\n' among the max_piece at p, or
// max_piece; a record has none before the last block, which one test says.
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
    // Both lie at or below '\n'; in a record the first such is the newline.
    std::size_t at = first_low_character(p, std::make_index_sequence<max_piece / 16 - 1>());
    if (at == max_piece || p[at] == '\n')
        return {at, max_piece};
    // A zero byte or another control character came first.
    return {first_of(p, '\n'), first_of(p, '\0')};
}

// The length of the piece at the front, given its first newline: through
// it, max_piece, or at the end all that is left; 0 when more must come.
inline std::size_t piece_length(std::size_t newline, std::size_t available, bool at_end)
{
    if (newline < std::min(available, max_piece))
        return newline + 1;
    if (available >= max_piece)
        return max_piece;
    return at_end ? available : 0;
}

} // namespace piece_detail

// read_error is 0 or the errno of a failed read; stopped: a callback asked.
struct pieces_end {
    int read_error;
    bool stopped;
};

// fd read as it is.
struct plain_reader {
    ssize_t operator()(int fd, char* buffer, std::size_t size) const
    {
        return piece_detail::read_block(fd, buffer, size);
    }
};

// Reads fd to its end and calls on_piece(piece, length, text_length) for
// every piece, text_length being its characters before any zero byte, and
// before_wait() before a read that would wait. Either returns false to stop.
// An unfinished piece at a read error is dropped: nobody knows its end.
// read(fd, buffer, size) reads as read(2) does, what fd holds or what it
// stands for.
template <typename OnPiece, typename BeforeWait, typename Read = plain_reader>
[[gnu::always_inline]] inline pieces_end for_each_piece(piece_input& input, int fd,
                                                        OnPiece&& on_piece,
                                                        BeforeWait&& before_wait, Read&& read = {})
{
    using namespace piece_detail;
    std::size_t carried = 0;
    for (;;) {
        if (!ready_now(fd, POLLIN) && !before_wait())
            return {0, true};
        ssize_t n = read(fd, input.data + carried, piece_input::block_size);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!before_wait())
                return {0, true};
            if (int error = wait_until_ready(fd, POLLIN))
                return {error, false};
            continue;
        }
        if (n < 0)
            return {errno, false};
        std::size_t available = carried + std::size_t(n);
        const char* p = input.data;
        for (;;) {
            // Past the data the window is stale; piece_length knows.
            piece_ends ends = find_ends(p);
            std::size_t length = piece_length(ends.newline, available, n == 0);
            if (length == 0)
                break;
            if (!on_piece(p, length, std::min(ends.zero, length)))
                return {0, true};
            p += length;
            available -= length;
        }
        if (n == 0)
            return {0, false};
        std::memmove(input.data, p, available);
        carried = available;
    }
}

} // namespace v2list
