// Preloaded into a program under test: standard input and output are made
// non-blocking, a poll that would wait fails with ENOMEM, and one that
// would not says nothing is ready. The program then meets a descriptor that
// is not ready and cannot wait for it; it must fail, not spin.
// The C library's checked inline poll would clash with the one defined here.
#undef _FORTIFY_SOURCE
#include <cerrno>
#include <fcntl.h>
#include <poll.h>

[[gnu::constructor]] static void make_standard_streams_non_blocking()
{
    fcntl(0, F_SETFL, fcntl(0, F_GETFL) | O_NONBLOCK);
    fcntl(1, F_SETFL, fcntl(1, F_GETFL) | O_NONBLOCK);
}

extern "C" int poll(pollfd*, nfds_t, int timeout)
{
    if (timeout == 0)
        return 0;
    errno = ENOMEM;
    return -1;
}
