// v2check: tells, for the files named or standard input, which pieces v2list
// would drop or convert with a field taken from columns not its own, and why.
// Exit status: 0 all clean, 1 something dropped, shifted, split or suspect,
// 2 trouble.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <err.h>
#include <fcntl.h>
#include <getopt.h>
#include <iterator>
#include <regex.h>
#include <unistd.h>

#include "input_check.hpp"

namespace {

const char usage[] =
    "usage: v2check [-cq] [-m NUM] [--show-line=WHEN] [--format=FORMAT]\n"
    "               [--allow=REGEX]... [--rejects=FILE] [--label=NAME] [FILE...]\n"
    "Reads each FILE (standard input when none is named, or for -) as v2list\n"
    "would, and tells which lines it drops, which records it converts with a\n"
    "field from columns not its own, and which lines it reads in several pieces,\n"
    "one message a problem:\n"
    "\n"
    "  NAME:LINE:COLUMN: FATE: REASON\n"
    "\n"
    "FATE is dropped, shifted, split or suspect; COLUMN is where the reading\n"
    "first left the layout, or where it failed, and REASON says the cause\n"
    "first, then what follows from it. A summary and a tally of the causes end\n"
    "the report of each file, and a total ends several.\n"
    "\n"
    "  -c, --count          print only the summaries and the tallies\n"
    "  -m, --max-count=NUM  print at most NUM messages for each file\n"
    "  -q, --quiet          print nothing; stop at the first problem\n"
    "      --show-line=WHEN after each message, the piece and a caret under the\n"
    "                       column: auto (when output is a terminal), always, never\n"
    "      --format=FORMAT  text (the default) or json: JSON Lines\n"
    "      --allow=REGEX    a dropped line that matches is expected: no problem\n"
    "      --rejects=FILE   write every line that has a problem, whole, to FILE\n"
    "      --label=NAME     the name of standard input in the report\n"
    "      --help           print this help and exit\n"
    "      --version        print the version and exit\n"
    "\n"
    "Exit status: 0 when every piece converts with every field from its own\n"
    "columns, 1 when anything is dropped, shifted, split or suspect, 2 on\n"
    "trouble.\n";

enum {
    option_show_line = 256,
    option_help,
    option_version,
    option_allow,
    option_rejects,
    option_label,
    option_format,
};

const option long_options[] = {
    {"count", no_argument, nullptr, 'c'},
    {"max-count", required_argument, nullptr, 'm'},
    {"quiet", no_argument, nullptr, 'q'},
    {"show-line", required_argument, nullptr, option_show_line},
    {"allow", required_argument, nullptr, option_allow},
    {"rejects", required_argument, nullptr, option_rejects},
    {"label", required_argument, nullptr, option_label},
    {"format", required_argument, nullptr, option_format},
    {"help", no_argument, nullptr, option_help},
    {"version", no_argument, nullptr, option_version},
    {nullptr, 0, nullptr, 0},
};

// Writes out what report holds; on failure says so and gives status 2.
int flush_or_fail(v2list::output_buffer& report, int status)
{
    if (v2list::flush_output(report))
        return status;
    errno = report.error;
    warn("write error");
    return 2;
}

// The option getopt_long stopped at, as it was given: the long option's
// whole argument where it was one (optopt, when not 0, is its value), else
// the short option.
const char* option_as_given(char** argv, const option** long_option)
{
    static char given[4 * 4096 + 4];
    const char* word = argv[optind - 1];
    *long_option = nullptr;
    if (std::strncmp(word, "--", 2) == 0) {
        std::size_t name = std::strcspn(word + 2, "=");
        for (const option* o = long_options; o->name != nullptr; ++o)
            if (std::strncmp(o->name, word + 2, name) == 0 && (optopt == 0 || optopt == o->val))
                *long_option = o;
    }
    if (optopt == 0 || *long_option != nullptr) {
        v2list::escape_text(word, std::strlen(word), given, sizeof given);
    } else {
        char short_option[] = {'-', char(optopt)};
        v2list::escape_text(short_option, 2, given, sizeof given);
    }
    return given;
}

} // namespace

int main(int argc, char** argv)
{
    static v2list::check_work work;
    static regex_t allowed[64];
    work.options = {false, false, false, UINT64_MAX, allowed, 0};
    v2list::open_output(work.rejects, -1);
    const char* label = "<stdin>";
    const char* show_line = "auto";
    opterr = 0; // its messages are said here, in v2check's words
    v2list::open_output(work.report, STDOUT_FILENO);
    for (int c; (c = getopt_long(argc, argv, ":cm:q", long_options, nullptr)) != -1;) {
        switch (c) {
        case 'c': work.options.max_messages = 0; break;
        case 'm': {
            // Plain decimal digits: no sign, no white space.
            char* end;
            errno = 0;
            unsigned long long most = std::strtoull(optarg, &end, 10);
            if (*optarg == '\0' || std::strspn(optarg, "0123456789") != std::strlen(optarg) ||
                errno != 0) {
                v2list::shown_name count;
                v2list::escape_text(optarg, std::strlen(optarg), count.text, sizeof count.text);
                errx(2, "%s: not a count of messages (see v2check --help)", count.text);
            }
            work.options.max_messages = std::min<std::uint64_t>(work.options.max_messages, most);
            break;
        }
        case 'q': work.options.quiet = true; break;
        case option_show_line: show_line = optarg; break;
        case option_label: label = optarg; break;
        case option_format:
            if (std::strcmp(optarg, "json") != 0 && std::strcmp(optarg, "text") != 0) {
                v2list::shown_name format;
                v2list::escape_text(optarg, std::strlen(optarg), format.text, sizeof format.text);
                errx(2, "--format=%s: say text or json", format.text);
            }
            work.options.json = std::strcmp(optarg, "json") == 0;
            break;
        case option_allow: {
            if (work.options.allowed_count == std::size(allowed))
                errx(2, "--allow: at most %zu patterns", std::size(allowed));
            regex_t& pattern = allowed[work.options.allowed_count];
            if (int error = regcomp(&pattern, optarg, REG_EXTENDED | REG_NOSUB)) {
                char why[256];
                regerror(error, &pattern, why, sizeof why);
                v2list::shown_name shown;
                v2list::escape_text(optarg, std::strlen(optarg), shown.text, sizeof shown.text);
                errx(2, "--allow=%s: %s", shown.text, why);
            }
            ++work.options.allowed_count;
            break;
        }
        case option_rejects: {
            int fd = ::open(optarg, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (fd < 0) {
                v2list::shown_name shown;
                v2list::escape_text(optarg, std::strlen(optarg), shown.text, sizeof shown.text);
                err(2, "%s", shown.text);
            }
            v2list::open_output(work.rejects, fd);
            break;
        }
        case option_help:
            v2list::append_output(work.report, usage, sizeof usage - 1);
            return flush_or_fail(work.report, 0);
        case option_version: {
            const char version[] = "v2check " V2LIST_VERSION "\n";
            v2list::append_output(work.report, version, sizeof version - 1);
            return flush_or_fail(work.report, 0);
        }
        default: {
            const option* long_option;
            const char* given = option_as_given(argv, &long_option);
            const char* what = c == ':' ? "needs a value"
                               : long_option != nullptr && long_option->has_arg == no_argument
                                   ? "takes no value"
                                   : "unknown option";
            warnx("%s: %s (see v2check --help)", given, what);
            return 2;
        }
        }
    }
    if (std::strcmp(show_line, "always") == 0) {
        work.options.show_line = true;
    } else if (std::strcmp(show_line, "auto") == 0) {
        work.options.show_line = isatty(STDOUT_FILENO) == 1;
    } else if (std::strcmp(show_line, "never") != 0) {
        v2list::shown_name when;
        v2list::escape_text(show_line, std::strlen(show_line), when.text, sizeof when.text);
        errx(2, "--show-line=%s: say auto, always or never", when.text);
    }

    if (work.options.json && !work.options.quiet)
        v2list::write_report_start(work.report, V2LIST_VERSION);
    static v2list::check_counts counts, total;
    bool trouble = false, stopped = false;
    std::uint64_t unread = 0; // files that could not be read to their end
    char* standard_input[] = {const_cast<char*>("-")};
    char** names = optind < argc ? argv + optind : standard_input;
    int name_count = optind < argc ? argc - optind : 1;
    for (int i = 0; i < name_count && work.report.error == 0 && !stopped; ++i) {
        bool is_stdin = std::strcmp(names[i], "-") == 0;
        const char* name = is_stdin ? label : names[i];
        static v2list::shown_name shown;
        v2list::escape_text(name, std::strlen(name), shown.text, sizeof shown.text);
        int fd = is_stdin ? STDIN_FILENO : ::open(names[i], O_RDONLY | O_CLOEXEC);
        int error = fd < 0 ? errno : 0;
        if (fd >= 0) {
            counts = {};
            v2list::check_end end = v2list::check_input(work, fd, {name, shown.text}, counts);
            error = end.read_error;
            stopped = end.stopped;
            if (!is_stdin)
                ::close(fd);
        }
        // A file not read to its end has its error and no summary.
        if (error != 0) {
            errno = error;
            if (fd < 0)
                warn("%s", shown.text);
            else
                warn("%s: read error", shown.text);
            trouble = true;
            ++unread;
            continue;
        }
        v2list::add_counts(total, counts);
        v2list::input_name named{name, shown.text};
        if (!work.options.quiet && work.report.error == 0)
            v2list::write_summary(work.report, work.options.json, &named, name_count > 1, counts);
    }
    if (name_count > 1 && !work.options.quiet && work.report.error == 0)
        v2list::write_summary(work.report, work.options.json, nullptr, true, total, unread);
    if (work.rejects.fd >= 0 &&
        (!v2list::flush_output(work.rejects) || ::close(work.rejects.fd) != 0)) {
        errno = work.rejects.error != 0 ? work.rejects.error : errno;
        warn("rejects: write error");
        trouble = true;
    }
    int status = trouble                                                           ? 2
                 : total.dropped + total.shifted + total.suspect + total.split > 0 ? 1
                                                                                   : 0;
    return flush_or_fail(work.report, status);
}
