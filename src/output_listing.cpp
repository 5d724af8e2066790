#include "output_listing.hpp"

#include <cerrno>
#include <cstring>
#include <iterator>
#include <poll.h>
#include <unistd.h>
#include <utility>

#include "descriptor_ready.hpp"

namespace v2list {

namespace {

template <print_step Step, std::size_t Arg>
char* put_step(char* out, const input_record& record)
{
    if constexpr (Step.kind == print_step::literal) {
        *out++ = Step.symbol;
        return out;
    } else if constexpr (Step.kind == print_step::text) {
        constexpr field_id field = print_fields[Arg];
        const char* text = field_characters(record, field);
        std::size_t length = 0;
        while (length < fields[field].capacity && text[length] != '\0')
            ++length;
        return put_padded<Step>(out, text, length);
    } else if constexpr (Step.kind == print_step::number) {
        return put_number<Step>(out, field_value(record, print_fields[Arg]));
    } else {
        return put_padded<Step>(out, field_characters(record, print_fields[Arg]), 1);
    }
}

template <std::size_t... I>
char* put_steps(char* out, const input_record& record, std::index_sequence<I...>)
{
    ((out = put_step<print_steps[I], print_step_arguments[I]>(out, record)), ...);
    return out;
}

} // namespace

std::size_t write_record(const input_record& record, char* line)
{
    return std::size_t(put_steps(line, record, std::make_index_sequence<print_steps.size()>()) -
                       line);
}

void open_output(output_buffer& output, int fd)
{
    output.fd = fd;
    output.error = 0;
    output.used = 0;
}

bool flush_output(output_buffer& output)
{
    const char* p = output.buffer;
    std::size_t left = output.used;
    while (left > 0 && output.error == 0) {
        ssize_t n = ::write(output.fd, p, left);
        if (n > 0) {
            p += n;
            left -= std::size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            output.error = wait_until_ready(output.fd, POLLOUT);
        } else if (n < 0 && errno != EINTR) {
            output.error = errno;
        } else if (n == 0) {
            output.error = EIO; // a write that takes nothing would never finish
        }
    }
    output.used = 0;
    return output.error == 0;
}

bool append_output(output_buffer& output, const char* text, std::size_t length)
{
    while (length > 0) {
        if (output.used == sizeof output.buffer && !flush_output(output))
            return false;
        std::size_t n = std::min(length, sizeof output.buffer - output.used);
        std::memcpy(output.buffer + output.used, text, n);
        output.used += n;
        text += n;
        length -= n;
    }
    return output.error == 0;
}

void write_header(output_buffer& output)
{
    constexpr std::size_t length = sizeof listing_header - 1;
    std::memcpy(output.buffer, listing_header, length);
    output.buffer[length] = '\n';
    output.used = length + 1;
}

} // namespace v2list
