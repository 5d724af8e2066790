#include "output_buffer.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace v2list {

namespace {

// 1 when ready, 0 when not, -1 with errno set when poll failed.
int poll_one(int fd, short events, int timeout)
{
    pollfd p{fd, events, 0};
    for (;;) {
        int n = ::poll(&p, 1, timeout);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

} // namespace

bool ready_now(int fd, short events)
{
    return poll_one(fd, events, 0) != 0;
}

int wait_until_ready(int fd, short events)
{
    return poll_one(fd, events, -1) < 0 ? errno : 0;
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

} // namespace v2list
