// v2list: converts fixed-column records on standard input to the version-2
// listing on standard output. Arguments are ignored.
#include <cerrno>
#include <err.h>
#include <unistd.h>

#include "conversion_loop.hpp"

int main()
{
    static v2list::conversion work;
    v2list::conversion_result result = v2list::convert(work, STDIN_FILENO, STDOUT_FILENO);
    if (result.error == 0)
        return 0;
    // The one message v2list ever writes: "v2list: read error: REASON" or
    // "v2list: write error: REASON".
    errno = result.error;
    warn("%s error", result.failed_read ? "read" : "write");
    return 1;
}
