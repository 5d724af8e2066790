#include "output_listing.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

namespace v2list {

namespace {

// Writes length characters at out, padded with fill to width on the left or,
// for a left-justified field, with spaces on the right.
char* put_padded(char* out, const char* body, std::size_t length, const print_step& step,
                 char fill = ' ')
{
    std::size_t pad = step.width > length ? step.width - length : 0;
    if (!step.left) {
        std::memset(out, fill, pad);
        out += pad;
    }
    std::memcpy(out, body, length);
    out += length;
    if (step.left) {
        std::memset(out, ' ', pad);
        out += pad;
    }
    return out;
}

char* put_number(char* out, std::int32_t value, const print_step& step)
{
    char text[12];
    char* digits = std::end(text);
    // Unsigned, so that the most negative value has a magnitude too.
    std::uint32_t magnitude = value < 0 ? 0u - std::uint32_t(value) : std::uint32_t(value);
    do
        *--digits = char('0' + magnitude % 10);
    while (magnitude /= 10);
    std::size_t length = std::size_t(std::end(text) - digits);
    if (step.zero && !step.left) {
        // Zero padding goes between the sign and the digits.
        if (value < 0) {
            *out++ = '-';
            print_step rest = step;
            rest.width = step.width > 0 ? step.width - 1 : 0;
            return put_padded(out, digits, length, rest, '0');
        }
        return put_padded(out, digits, length, step, '0');
    }
    if (value < 0)
        *--digits = '-', ++length;
    return put_padded(out, digits, length, step);
}

} // namespace

std::size_t format_record(const input_record& record, char* line)
{
    char* out = line;
    std::size_t arg = 0;
    for (const print_step& step : print_steps) {
        switch (step.kind) {
        case print_step::literal:
            *out++ = step.symbol;
            break;
        case print_step::text: {
            const char* text = field_characters(record, print_fields[arg++]);
            out = put_padded(out, text, std::strlen(text), step);
            break;
        }
        case print_step::number:
            out = put_number(out, field_value(record, print_fields[arg++]), step);
            break;
        case print_step::character:
            out = put_padded(out, field_characters(record, print_fields[arg++]), 1, step);
            break;
        }
    }
    return std::size_t(out - line);
}

void open_listing(output_listing& listing, int fd)
{
    listing.fd = fd;
    listing.error = 0;
    listing.used = 0;
}

bool flush_listing(output_listing& listing)
{
    const char* p = listing.buffer;
    std::size_t left = listing.used;
    while (left > 0 && listing.error == 0) {
        ssize_t n = ::write(listing.fd, p, left);
        if (n > 0) {
            p += n;
            left -= std::size_t(n);
        } else if (n < 0 && errno != EINTR) {
            listing.error = errno;
        } else if (n == 0) {
            listing.error = EIO; // a write that takes nothing would never finish
        }
    }
    listing.used = 0;
    return listing.error == 0;
}

bool write_header(output_listing& listing)
{
    constexpr std::size_t length = sizeof listing_header - 1;
    char* out = reserve_output(listing, length + 1);
    if (out == nullptr)
        return false;
    std::memcpy(out, listing_header, length);
    out[length] = '\n';
    listing.used += length + 1;
    return true;
}

bool write_record(output_listing& listing, const input_record& record)
{
    char* out = reserve_output(listing, max_record_line());
    if (out == nullptr)
        return false;
    listing.used += format_record(record, out);
    return true;
}

} // namespace v2list
