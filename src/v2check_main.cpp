// v2check: tells which pieces of its input v2list drops or reads shifted, and
// why. Exit status: 0 clean, 1 a problem, 2 trouble.
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
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "check_lines.hpp"
#include "check_report.hpp"
#include "output_listing.hpp"

namespace {

const char usage[] =
    "usage: v2check [-chq] [-m NUM] [--show-line=WHEN] [--format=FORMAT]\n"
    "               [--allow=REGEX]... [--record-count=REGEX] [--rejects=FILE]\n"
    "               [--listing=FILE] [--label=NAME] [FILE...]\n"
    "Reads each FILE (standard input when none is named, or for -) as v2list\n"
    "would, decompressed where it is gzip, bzip2, xz or zstd data, and tells\n"
    "which lines it drops, which records it converts with a field from\n"
    "columns not its own, and which lines it reads in several pieces, one\n"
    "message a problem:\n"
    "\n"
    "  NAME:LINE:COLUMN: FATE: REASON\n"
    "\n"
    "FATE is dropped, shifted, split, suspect, compressed or incomplete; COLUMN\n"
    "is where the reading first left the layout, or where it failed, and REASON\n"
    "says the cause first, then what follows from it. A summary, the file's\n"
    "verdict (clean, problems, other_layout, compressed, empty or incomplete)\n"
    "and a tally of the causes end the report of each file, and a total the\n"
    "report of several.\n"
    "\n"
    "  -c, --count          print only the summaries and the tallies\n"
    "  -m, --max-count=NUM  print at most NUM messages on lines for each file\n"
    "  -q, --quiet          print nothing; stop at the first problem\n"
    "      --show-line=WHEN after each message, the piece and a caret under the\n"
    "                       column: auto (when output is a terminal), always, never\n"
    "      --format=FORMAT  text (the default) or json: JSON Lines\n"
    "      --allow=REGEX    a dropped line that matches is expected: no problem\n"
    "      --record-count=REGEX  a dropped line that matches states the count of\n"
    "                       records in REGEX's first group, and is allowed\n"
    "      --rejects=FILE   write every line that has a problem, whole, to FILE\n"
    "      --listing=FILE   write the listing of the records to trust to FILE\n"
    "      --label=NAME     the name of standard input in the report\n"
    "  -h, --help           print this help and exit\n"
    "      --version        print the version and exit\n"
    "\n"
    "Exit status: 0 when every file is clean or empty, 1 when anything is\n"
    "dropped, shifted, split, suspect, compressed or incomplete, 2 on trouble.\n";

enum {
    option_show_line = 256,
    option_version,
    option_allow,
    option_rejects,
    option_listing,
    option_label,
    option_format,
    option_record_count,
};

const option long_options[] = {
    {"count", no_argument, nullptr, 'c'},
    {"max-count", required_argument, nullptr, 'm'},
    {"quiet", no_argument, nullptr, 'q'},
    {"show-line", required_argument, nullptr, option_show_line},
    {"allow", required_argument, nullptr, option_allow},
    {"record-count", required_argument, nullptr, option_record_count},
    {"rejects", required_argument, nullptr, option_rejects},
    {"listing", required_argument, nullptr, option_listing},
    {"label", required_argument, nullptr, option_label},
    {"format", required_argument, nullptr, option_format},
    {"help", no_argument, nullptr, 'h'},
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

int write_or_fail(v2list::output_buffer& report, const char* text, int status)
{
    v2list::append_output(report, text, std::strlen(text));
    return flush_or_fail(report, status);
}

// The version, and the compressed formats this v2check reads.
std::string version_text()
{
    std::string text = "v2check " V2LIST_VERSION "\ncompressed input read:";
    for (auto format : {v2list::input_format::gzip, v2list::input_format::bzip2,
                        v2list::input_format::xz, v2list::input_format::zstd})
        if (v2list::can_decompress(format))
            text.append(" ").append(v2list::format_names[std::size_t(format)]);
    return text.append("\n");
}

// The count -m gives: plain decimal digits, no sign, no white space.
unsigned long long message_count(const char* given)
{
    char* end;
    errno = 0;
    unsigned long long most = std::strtoull(given, &end, 10);
    if (*given == '\0' || std::strspn(given, "0123456789") != std::strlen(given) || errno != 0)
        errx(2, "%s: not a count of messages (see v2check --help)",
             v2list::escaped_text(given).c_str());
    return most;
}

void compile_pattern(regex_t& pattern, const char* option, const char* given, int flags)
{
    if (int error = regcomp(&pattern, given, REG_EXTENDED | flags)) {
        char why[256];
        regerror(error, &pattern, why, sizeof why);
        errx(2, "%s=%s: %s", option, v2list::escaped_text(given).c_str(), why);
    }
}

// Says what is wrong with the option getopt_long stopped at (c is ':' for a
// missing value), as it was given: the long option's whole argument where it
// was one (optopt, when not 0, is its value), else the short option.
int bad_option(char** argv, int c)
{
    const char* word = argv[optind - 1];
    const option* long_option = nullptr;
    if (std::strncmp(word, "--", 2) == 0) {
        std::size_t name = std::strcspn(word + 2, "=");
        for (const option* o = long_options; o->name != nullptr; ++o)
            if (std::strncmp(o->name, word + 2, name) == 0 && (optopt == 0 || optopt == o->val))
                long_option = o;
    }
    const char short_option[] = {'-', char(optopt), '\0'};
    const char* what = c == ':' ? "needs a value"
                       : long_option != nullptr && long_option->has_arg == no_argument
                           ? "takes no value"
                           : "unknown option";
    warnx("%s: %s (see v2check --help)",
          v2list::escaped_text(optopt == 0 || long_option != nullptr ? word : short_option).c_str(),
          what);
    return 2;
}

// A closed standard descriptor gets /dev/null, opened the wrong way round so
// that using it fails as before, and no file v2check opens takes its number.
void hold_standard_descriptors()
{
    for (int fd = 0; fd < 3; ++fd)
        if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF &&
            ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY) != fd)
            std::abort(); // nowhere to say it
}

bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Where a path that names nothing yet would be made: the folder that would
// hold it and its name there, links in its last part followed. False where
// that folder is missing, errno saying why.
bool future_place(const char* path, struct stat& folder, std::string& name)
{
    std::string p = path;
    char target[4096];
    for (int links = 0; links < 40; ++links) {
        ssize_t n = ::readlink(p.c_str(), target, sizeof target - 1);
        if (n < 0)
            break;
        std::string to(target, std::size_t(n));
        std::size_t slash = p.rfind('/');
        if (to[0] == '/' || slash == std::string::npos)
            p = to;
        else
            p.erase(slash + 1) += to;
    }
    std::size_t slash = p.rfind('/');
    name = slash == std::string::npos ? p : p.substr(slash + 1);
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : p.substr(0, slash);
    if (p.empty() || name.empty() || name == "." || name == "..") {
        errno = p.empty() ? ENOENT : EISDIR;
        return false;
    }
    if (::stat(dir.c_str(), &folder) != 0)
        return false;
    if (!S_ISDIR(folder.st_mode) || ::access(dir.c_str(), W_OK | X_OK) != 0) {
        errno = S_ISDIR(folder.st_mode) ? errno : ENOTDIR;
        return false;
    }
    return true;
}

// A file as it is, or, not there yet, the folder and name it would have.
struct file_place {
    bool exists = false;
    struct stat file = {}; // the file, or the folder it would be made in
    std::string name;      // its name in that folder, where it is not there yet

    // Of a name given, where it is or could be made.
    bool find(const char* path)
    {
        exists = ::stat(path, &file) == 0;
        return exists || future_place(path, file, name);
    }
    // Two names of one file; a terminal or /dev/null keeps nothing and may be shared.
    bool same(const file_place& other) const
    {
        return exists ? other.exists && !S_ISCHR(file.st_mode) && same_file(file, other.file)
                      : !other.exists && name == other.name && same_file(file, other.file);
    }
};

// A file v2check writes, named by an option: opened in two steps, so that
// nothing is made or emptied before every output can be opened and none of
// them is also an input, standard output or standard error.
struct output_file {
    const char* option; // "--rejects"
    const char* what;   // "the rejects file"
    v2list::output_buffer& out;
    const char* path = nullptr; // none asked for
    std::string shown = {};     // the path, escaped
    int fd = -1;                // opened, not yet emptied
    file_place place = {};
};

[[noreturn]] void refuse(const output_file& file, const char* why, const char* what = "")
{
    errx(2, "%s=%s: %s%s; not written", file.option, file.shown.c_str(), why, what);
}

// Opens an existing file as it is, or finds where a new one would be made.
void prepare_output_file(output_file& file)
{
    if (file.path == nullptr)
        return;
    file.shown = v2list::escaped_text(file.path);
    file.fd = ::open(file.path, O_WRONLY | O_CLOEXEC | O_NOCTTY);
    file_place& place = file.place;
    place.exists = file.fd >= 0;
    if (place.exists ? ::fstat(file.fd, &place.file) != 0
                     : errno != ENOENT || !future_place(file.path, place.file, place.name))
        err(2, "%s=%s", file.option, file.shown.c_str());
}

// Refuses a file that is also standard output or error (the report and the
// errors would write over it), the other output, or an input, one not yet
// there included (emptied before it is read, or made empty).
void check_output_file(const output_file& file, const output_file& other, char* const* names,
                       int name_count)
{
    if (file.path == nullptr)
        return;
    file_place seen;
    for (int fd : {STDOUT_FILENO, STDERR_FILENO})
        if ((seen.exists = ::fstat(fd, &seen.file) == 0) && file.place.same(seen))
            refuse(file,
                   fd == STDOUT_FILENO ? "is also standard output" : "is also standard error");
    if (other.path != nullptr && file.place.same(other.place))
        refuse(file, "is also ", other.what);
    for (int i = 0; i < name_count; ++i) {
        bool is_stdin = std::strcmp(names[i], "-") == 0;
        bool found =
            is_stdin ? (seen.exists = ::fstat(STDIN_FILENO, &seen.file) == 0) : seen.find(names[i]);
        if (found && file.place.same(seen))
            refuse(file, is_stdin ? "is also standard input, which is read" : "is also an input");
    }
}

// Makes or empties it: every output could be opened and none is refused.
void open_output_file(output_file& file)
{
    if (file.path == nullptr)
        return;
    if (!file.place.exists)
        file.fd = ::open(file.path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    else if (S_ISREG(file.place.file.st_mode) && ::ftruncate(file.fd, 0) != 0)
        file.fd = -1;
    if (file.fd < 0)
        err(2, "%s=%s", file.option, file.shown.c_str());
    v2list::open_output(file.out, file.fd);
}

// Reads the options into work and the files it writes; an option given
// wrongly ends the program. Returns the status of --help or --version, or
// -1 to go on.
int read_options(int argc, char** argv, v2list::check_work& work, output_file& rejects,
                 output_file& listing, const char*& label)
{
    static regex_t allowed[64], record_count;
    work.options = {false, false, false, UINT64_MAX, allowed, 0, nullptr, false};
    const char* show_line = "auto";
    opterr = 0; // its messages are said here, in v2check's words
    for (int c; (c = getopt_long(argc, argv, ":chm:q", long_options, nullptr)) != -1;) {
        switch (c) {
        case 'c': work.options.count_only = true; break;
        case 'm': work.options.max_messages = message_count(optarg); break;
        case 'q': work.options.quiet = true; break;
        case option_show_line: show_line = optarg; break;
        case option_label: label = optarg; break;
        case option_format:
            if (std::strcmp(optarg, "json") != 0 && std::strcmp(optarg, "text") != 0)
                errx(2, "--format=%s: say text or json", v2list::escaped_text(optarg).c_str());
            work.options.json = std::strcmp(optarg, "json") == 0;
            break;
        case option_allow:
            if (work.options.allowed_count == std::size(allowed))
                errx(2, "--allow: at most %zu patterns", std::size(allowed));
            compile_pattern(allowed[work.options.allowed_count++], "--allow", optarg, REG_NOSUB);
            break;
        case option_record_count:
            if (work.options.record_count != nullptr)
                regfree(&record_count);
            compile_pattern(record_count, "--record-count", optarg, 0);
            if (record_count.re_nsub == 0)
                errx(2, "--record-count=%s: no group to hold the count",
                     v2list::escaped_text(optarg).c_str());
            work.options.record_count = &record_count;
            break;
        case option_rejects: rejects.path = optarg; break;
        case option_listing: listing.path = optarg; break;
        case 'h': return write_or_fail(work.report, usage, 0);
        case option_version: return write_or_fail(work.report, version_text().c_str(), 0);
        default: return bad_option(argv, c);
        }
    }
    if (work.options.count_only)
        work.options.max_messages = 0;
    if (std::strcmp(show_line, "always") == 0)
        work.options.show_line = true;
    else if (std::strcmp(show_line, "auto") == 0)
        work.options.show_line = isatty(STDOUT_FILENO) == 1;
    else if (std::strcmp(show_line, "never") != 0)
        errx(2, "--show-line=%s: say auto, always or never",
             v2list::escaped_text(show_line).c_str());
    return -1;
}

// How the check of the inputs went, over all of them.
struct run {
    bool trouble = false;   // an input not read to its end, or a failed write
    bool stopped = false;   // -q met a problem
    bool cut_short = false; // a failed write to an output file stopped the check
    v2list::file_totals files = {};
};

// Flushes and closes an output file, where one is open; its write error,
// or empty.
std::string close_output(const output_file& file)
{
    if (file.out.fd < 0)
        return {};
    bool flushed = v2list::flush_output(file.out);
    int fd = file.out.fd;
    file.out.fd = -1;
    if (::close(fd) == 0 && flushed)
        return {};
    return std::string(file.option) + "=" + file.shown +
           ": write error: " + std::strerror(file.out.error != 0 ? file.out.error : errno);
}

// Checks one input, counted in counts; empty, or why it was not read to
// its end. After the last, the output files are closed: its summary vouches
// for what they hold, so a failure there is said in its place.
std::string check_one(v2list::check_work& work, const char* path, const v2list::input_name& name,
                      const output_file* const (&outputs)[2], v2list::check_counts& counts,
                      run& state, bool last)
{
    if (state.cut_short)
        return "not read: the check stopped at a failed write";
    int fd = name.standard_input ? STDIN_FILENO : ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    counts = {};
    v2list::pieces_end end = v2list::check_input(work, fd, name, counts);
    state.stopped = end.stopped;
    if (!name.standard_input)
        ::close(fd);
    if (end.read_error != 0)
        return std::string("read error: ") + std::strerror(end.read_error);
    for (const output_file* file : outputs)
        if (file->out.error != 0)
            return std::string(file->option) + "=" + file->shown +
                   ": write error: " + std::strerror(file->out.error);
    for (const output_file* file : outputs)
        if (std::string error = last || state.stopped ? close_output(*file) : std::string();
            !error.empty())
            return error;
    return {};
}

// Checks every input in turn, each with its summary, or its error said once
// and no summary; then the total where there are several.
run check_all(v2list::check_work& work, char* const* names, int name_count, const char* label,
              const output_file* const (&outputs)[2])
{
    bool json = work.options.json && !work.options.quiet;
    if (json)
        v2list::write_report_start(work.report, V2LIST_VERSION);
    static v2list::check_counts counts, total;
    run state;
    for (int i = 0; i < name_count && work.report.error == 0 && !state.stopped; ++i) {
        bool is_stdin = std::strcmp(names[i], "-") == 0;
        v2list::input_name name = v2list::name_input(is_stdin ? label : names[i], is_stdin);
        std::string reason =
            check_one(work, names[i], name, outputs, counts, state, i + 1 == name_count);
        if (reason.empty()) {
            v2list::add_counts(total, counts);
            ++state.files.verdicts[std::size_t(v2list::verdict_of(counts))];
            if (!work.options.quiet && work.report.error == 0)
                v2list::write_summary(work.report, json, &name, name_count > 1, counts,
                                      work.ending);
            continue;
        }
        if (!state.cut_short)
            warnx("%s: %s", name.shown.c_str(), reason.c_str());
        state.cut_short = work.rejects.error != 0 || work.listing.error != 0;
        state.trouble = true;
        ++state.files.unread;
        if (json)
            v2list::write_unread(work.report, name, reason.c_str());
    }
    if (name_count > 1 && !work.options.quiet && work.report.error == 0)
        v2list::write_summary(work.report, json, nullptr, true, total, {}, state.files);
    return state;
}

} // namespace

int main(int argc, char** argv)
{
    hold_standard_descriptors();
    static v2list::check_work work;
    v2list::open_output(work.rejects, -1);
    v2list::open_output(work.listing, -1);
    v2list::open_output(work.report, STDOUT_FILENO);
    output_file rejects{"--rejects", "the rejects file", work.rejects};
    output_file listing{"--listing", "the listing", work.listing};
    const char* label = "<stdin>";
    if (int status = read_options(argc, argv, work, rejects, listing, label); status >= 0)
        return status;
    char* standard_input[] = {const_cast<char*>("-")};
    char** names = optind < argc ? argv + optind : standard_input;
    int name_count = optind < argc ? argc - optind : 1;
    // The command line is accepted: only now are the outputs opened, and
    // made or emptied once all of them can be.
    prepare_output_file(rejects);
    prepare_output_file(listing);
    check_output_file(rejects, listing, names, name_count);
    check_output_file(listing, rejects, names, name_count);
    open_output_file(rejects);
    open_output_file(listing);
    if (work.listing.fd >= 0)
        v2list::write_header(work.listing);

    const output_file* const outputs[2] = {&rejects, &listing};
    run state = check_all(work, names, name_count, label, outputs);
    // Closed after the last file; here where the check stopped before it.
    for (const output_file* file : outputs) {
        if (std::string error = state.cut_short ? std::string() : close_output(*file);
            !error.empty()) {
            warnx("%s", error.c_str());
            state.trouble = true;
        }
    }
    // -q stops at the first problem, which is a 1 whatever it leaves unread.
    return flush_or_fail(work.report, state.trouble   ? 2
                                      : state.stopped ? 1
                                                      : v2list::verdicts_status(state.files));
}
