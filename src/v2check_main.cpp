// v2check: tells, for the files named or standard input, which pieces v2list
// would drop or convert with a field taken from columns not its own, and why.
// Exit status: 0 all clean, 1 something dropped, shifted or split, 2 trouble.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <err.h>
#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include "input_check.hpp"

namespace {

const char usage[] =
    "usage: v2check [-cq] [-m NUM] [--show-line=WHEN] [FILE...]\n"
    "Reads each FILE (standard input when none is named, or for -) as v2list\n"
    "would, and tells which lines it drops, which records it converts with a\n"
    "field from columns not its own, and which lines it reads in several pieces,\n"
    "one message a problem:\n"
    "\n"
    "  NAME:LINE:COLUMN: KIND: REASON\n"
    "\n"
    "KIND is dropped, shifted or split; COLUMN is where the cause is, and REASON\n"
    "says the cause first, then what follows from it. A summary and a tally of\n"
    "the causes end the report of each file, and a total ends several.\n"
    "\n"
    "  -c, --count          print only the summaries and the tallies\n"
    "  -m, --max-count=NUM  print at most NUM messages for each file\n"
    "  -q, --quiet          print nothing; stop at the first problem\n"
    "      --show-line=WHEN after each message, the piece and a caret under the\n"
    "                       column: auto (when output is a terminal), always, never\n"
    "      --help           print this help and exit\n"
    "      --version        print the version and exit\n"
    "\n"
    "Exit status: 0 when every piece converts with every field from its own\n"
    "columns, 1 when anything is dropped, shifted or split, 2 on trouble.\n";

bool write_text(int fd, const char* text)
{
    std::size_t length = std::strlen(text);
    return ::write(fd, text, length) == ssize_t(length);
}

enum { option_show_line = 256, option_help, option_version };

const option long_options[] = {
    {"count", no_argument, nullptr, 'c'},
    {"max-count", required_argument, nullptr, 'm'},
    {"quiet", no_argument, nullptr, 'q'},
    {"show-line", required_argument, nullptr, option_show_line},
    {"help", no_argument, nullptr, option_help},
    {"version", no_argument, nullptr, option_version},
    {nullptr, 0, nullptr, 0},
};

} // namespace

int main(int argc, char** argv)
{
    static v2list::check_work work;
    work.options = {false, false, UINT64_MAX};
    const char* show_line = "auto";
    opterr = 0; // its messages are said here, in v2check's words
    for (int c; (c = getopt_long(argc, argv, ":cm:q", long_options, nullptr)) != -1;) {
        // The option getopt_long stopped at, as it was given.
        char short_option[] = {'-', char(optopt), '\0'};
        const char* given = optopt != 0 ? short_option : argv[optind - 1];
        switch (c) {
        case 'c': work.options.max_messages = 0; break;
        case 'm': {
            char* end;
            errno = 0;
            unsigned long long most = std::strtoull(optarg, &end, 10);
            if (*optarg == '\0' || *optarg == '-' || *end != '\0' || errno != 0)
                errx(2, "%s: not a count of messages (see v2check --help)", optarg);
            work.options.max_messages = std::min<std::uint64_t>(work.options.max_messages, most);
            break;
        }
        case 'q': work.options.quiet = true; break;
        case option_show_line: show_line = optarg; break;
        case option_help: return write_text(STDOUT_FILENO, usage) ? 0 : 2;
        case option_version:
            return write_text(STDOUT_FILENO, "v2check " V2LIST_VERSION "\n") ? 0 : 2;
        case ':': warnx("%s: needs a value (see v2check --help)", given); return 2;
        default: warnx("%s: unknown option (see v2check --help)", given); return 2;
        }
    }
    if (std::strcmp(show_line, "always") == 0)
        work.options.show_line = true;
    else if (std::strcmp(show_line, "auto") == 0)
        work.options.show_line = isatty(STDOUT_FILENO) == 1;
    else if (std::strcmp(show_line, "never") != 0)
        errx(2, "--show-line=%s: say auto, always or never", show_line);

    v2list::open_output(work.report, STDOUT_FILENO);
    static v2list::check_counts counts, total;
    bool trouble = false, stopped = false;
    char* standard_input[] = {const_cast<char*>("-")};
    char** names = optind < argc ? argv + optind : standard_input;
    int name_count = optind < argc ? argc - optind : 1;
    for (int i = 0; i < name_count && work.report.error == 0 && !stopped; ++i) {
        bool is_stdin = std::strcmp(names[i], "-") == 0;
        const char* name = is_stdin ? "<stdin>" : names[i];
        int fd = is_stdin ? STDIN_FILENO : ::open(names[i], O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            warn("%s", name);
            trouble = true;
            continue;
        }
        static v2list::shown_name shown;
        v2list::escape_text(name, std::strlen(name), shown.text, sizeof shown.text);
        counts = {};
        v2list::check_end end = v2list::check_input(work, fd, shown.text, counts);
        if (end.read_error != 0) {
            errno = end.read_error;
            warn("%s: read error", name);
            trouble = true;
        }
        stopped = end.stopped;
        if (!is_stdin)
            ::close(fd);
        v2list::add_counts(total, counts);
        if (!work.options.quiet && work.report.error == 0)
            v2list::write_summary(work.report, name_count == 1 ? nullptr : shown.text, counts);
    }
    if (name_count > 1 && !work.options.quiet && work.report.error == 0)
        v2list::write_summary(work.report, "total", total);
    if (!v2list::flush_output(work.report)) {
        errno = work.report.error;
        warn("write error");
        return 2;
    }
    if (trouble)
        return 2;
    return total.dropped + total.shifted + total.split > 0 ? 1 : 0;
}
