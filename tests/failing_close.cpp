// Preloaded into a program under test: closing a file whose name ends in
// ".close-fails" closes it, then fails with EIO, as NFS or a quota may
// report a write only when the file is closed.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" int close(int fd)
{
    char link[64], path[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    if (syscall(SYS_close, fd) != 0)
        return -1;
    const char suffix[] = ".close-fails";
    if (n < ssize_t(sizeof suffix - 1) ||
        std::memcmp(path + n - (sizeof suffix - 1), suffix, sizeof suffix - 1) != 0)
        return 0;
    errno = EIO;
    return -1;
}
