#include "descriptor_ready.hpp"

#include <cerrno>
#include <poll.h>

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

} // namespace v2list
