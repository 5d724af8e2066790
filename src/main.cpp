// v2list: converts fixed-column records on standard input to the version-2
// listing on standard output. Arguments are ignored.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "conversion_loop.hpp"

namespace {

// Says on standard error what failed; nothing else is ever written there.
void report(const char* what, int error)
{
    char message[256];
    int length = std::snprintf(message, sizeof message, "v2list: %s error: %s\n", what,
                               std::strerror(error));
    // Nothing more can be done if even this fails; the exit status still tells.
    if (length > 0)
        [[maybe_unused]] ssize_t ignored =
            ::write(STDERR_FILENO, message, std::min<std::size_t>(std::size_t(length), sizeof message - 1));
}

} // namespace

int main()
{
    static v2list::conversion work;
    v2list::conversion_result result = v2list::convert(work, STDIN_FILENO, STDOUT_FILENO);
    if (result.error == 0)
        return 0;
    report(result.failed_read ? "read" : "write", result.error);
    return 1;
}
