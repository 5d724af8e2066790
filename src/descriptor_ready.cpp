#include "descriptor_ready.hpp"

#include <cerrno>
#include <poll.h>

namespace v2list {

namespace {

bool ready_within(int fd, short events, int timeout)
{
    pollfd p{fd, events, 0};
    for (;;) {
        int n = ::poll(&p, 1, timeout);
        if (n >= 0)
            return n > 0;
        if (errno != EINTR)
            return true;
    }
}

} // namespace

bool ready_now(int fd, short events)
{
    return ready_within(fd, events, 0);
}

void wait_until_ready(int fd, short events)
{
    ready_within(fd, events, -1);
}

} // namespace v2list
