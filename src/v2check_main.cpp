// v2check: tells, for the files named or standard input, which pieces v2list
// would drop or convert with a field taken from columns not its own, and why.
// Exit status: 0 all clean, 1 something dropped, shifted or split, 2 trouble.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <err.h>
#include <fcntl.h>
#include <unistd.h>

#include "input_check.hpp"

namespace {

const char usage[] =
    "usage: v2check [-q] [FILE...]\n"
    "Reads each FILE (standard input when none is named, or for -) as v2list\n"
    "would, and tells which lines it drops, which records it converts with a\n"
    "field from columns not its own, and which lines it reads in several pieces.\n"
    "\n"
    "  -q         print nothing; the exit status alone tells\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Exit status: 0 when every piece converts with every field from its own\n"
    "columns, 1 when anything is dropped, shifted or split, 2 on trouble.\n";

bool write_text(int fd, const char* text)
{
    std::size_t length = std::strlen(text);
    return ::write(fd, text, length) == ssize_t(length);
}

const char* plural(std::size_t n)
{
    return n == 1 ? "" : "s";
}

// The line that ends the report.
void summarize(v2list::input_check& work, const v2list::check_counts& c)
{
    char text[512];
    int n = std::snprintf(text, sizeof text,
                          "%zu line%s and %zu piece%s read: %zu record%s converted, %zu of them "
                          "shifted; %zu piece%s dropped; %zu line%s split\n",
                          c.lines, plural(c.lines), c.pieces, plural(c.pieces), c.converted,
                          plural(c.converted), c.shifted, c.dropped, plural(c.dropped), c.split,
                          plural(c.split));
    v2list::append_output(work.report, text, std::size_t(n));
}

} // namespace

int main(int argc, char** argv)
{
    static v2list::input_check work;
    int first = 1;
    for (; first < argc && argv[first][0] == '-' && argv[first][1] != '\0'; ++first) {
        const char* option = argv[first];
        if (std::strcmp(option, "--") == 0) {
            ++first;
            break;
        } else if (std::strcmp(option, "-q") == 0) {
            work.quiet = true;
        } else if (std::strcmp(option, "--help") == 0) {
            return write_text(STDOUT_FILENO, usage) ? 0 : 2;
        } else if (std::strcmp(option, "--version") == 0) {
            return write_text(STDOUT_FILENO, "v2check " V2LIST_VERSION "\n") ? 0 : 2;
        } else {
            warnx("%s: unknown option (see v2check --help)", option);
            return 2;
        }
    }

    v2list::open_output(work.report, STDOUT_FILENO);
    v2list::check_counts counts{};
    bool trouble = false;
    char* standard_input[] = {const_cast<char*>("-")};
    char** names = first < argc ? argv + first : standard_input;
    int name_count = first < argc ? argc - first : 1;
    for (int i = 0; i < name_count && work.report.error == 0; ++i) {
        bool is_stdin = std::strcmp(names[i], "-") == 0;
        const char* name = is_stdin ? "<stdin>" : names[i];
        int fd = is_stdin ? STDIN_FILENO : ::open(names[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            warn("%s", name);
            trouble = true;
            continue;
        }
        if (int error = v2list::check_input(work, fd, name, counts)) {
            errno = error;
            warn("%s: read error", name);
            trouble = true;
        }
        if (!is_stdin)
            ::close(fd);
    }
    if (!work.quiet && work.report.error == 0)
        summarize(work, counts);
    if (!v2list::flush_output(work.report)) {
        errno = work.report.error;
        warn("write error");
        return 2;
    }
    if (trouble)
        return 2;
    return counts.dropped + counts.shifted + counts.split > 0 ? 1 : 0;
}
