// v2check against its model: the same files and options given to both, the
// program's JSON report, listing, rejects and status compared with what the
// model says. First the cases v2check once got wrong, then generated sets
// of partners' files under rotating options.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#if V2CHECK_WITH_ZLIB
#include <zlib.h>
#endif

#include "input_record.hpp"
#include "piece_generator.hpp"
#include "v2check_model.hpp"

namespace {

using v2check_model::message;

// One run: the files (nullopt for one missing; the one at stdin_at read
// from standard input), the options, and whether the outputs are asked for.
struct trial {
    std::vector<std::optional<std::string>> files;
    v2check_model::options options;
    bool count = false, outputs = true;
    int stdin_at = -1;
};

struct run_result {
    int status;
    std::string report, listing, rejects;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder for the runs' files, removed when the tests end.
struct work_folder {
    std::string path;
    work_folder()
    {
        char pattern[] = "/tmp/v2check_model.XXXXXX";
        path = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    }
    ~work_folder()
    {
        if (path != "/tmp")
            std::filesystem::remove_all(path);
    }
};

run_result run_v2check(const trial& t)
{
    static const work_folder folder;
    const std::string& dir = folder.path;
    std::vector<std::string> args = {V2CHECK_PROGRAM, "--format=json"};
    if (t.options.quiet)
        args.emplace_back("-q");
    if (t.count)
        args.emplace_back("-c");
    else if (t.options.most != UINT64_MAX)
        args.push_back("-m" + std::to_string(t.options.most));
    for (const std::string& pattern : t.options.allow)
        args.push_back("--allow=" + pattern);
    if (!t.options.record_count.empty())
        args.push_back("--record-count=" + t.options.record_count);
    for (const char* output : {"listing", "rejects"}) {
        std::remove((dir + "/" + output).c_str());
        if (t.outputs)
            args.push_back(std::string("--") + output + "=" + dir + "/" + output);
    }
    std::string input = "/dev/null";
    for (std::size_t i = 0; i < t.files.size(); ++i) {
        std::string name = dir + "/file" + std::to_string(i);
        std::remove(name.c_str());
        if (t.files[i])
            std::ofstream(name, std::ios::binary) << *t.files[i];
        if (int(i) == t.stdin_at)
            input = name;
        args.push_back(int(i) == t.stdin_at ? "-" : name);
    }
    std::string report = dir + "/report";
    pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int in = open(input.c_str(), O_RDONLY),
            out = open(report.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(report), slurp(dir + "/listing"),
            slurp(dir + "/rejects")};
}

// A JSON member's value as its text: a number, true, false, null, or a
// string's characters (no string compared here holds an escape).
std::string member(const std::string& object, const std::string& key)
{
    std::size_t at = object.find("\"" + key + "\":");
    if (at == std::string::npos)
        return "(none)";
    at += key.size() + 3;
    if (object[at] == '"')
        return object.substr(at + 1, object.find('"', at + 1) - at - 1);
    return object.substr(at, object.find_first_of(",}", at) - at);
}

// The model's report of a file in the words of v2check's JSON objects.
std::string expected_file(const v2check_model::file_report& file)
{
    std::ostringstream text;
    for (const message& m : file.messages)
        text << "problem " << m.line << ' ' << m.fate << (m.multibyte ? " multibyte_text" : "")
             << (m.glued ? " glued_records" : "") << '\n';
    if (file.unread)
        return text.str() + "unread\n";
    text << "summary lines " << file.lines << " pieces " << file.pieces << " converted "
         << file.converted << " shifted " << file.shifted << " dropped " << file.dropped
         << " split " << file.split << " suspect " << file.suspect << " allowed " << file.allowed
         << " listed " << file.listed << " rejected " << file.rejected << " verdict "
         << file.verdict << " final_newline " << file.final_newline << '\n';
    return text.str();
}

// The program's JSON report in the same words, file by file.
std::vector<std::string> reported_files(const std::string& report)
{
    std::vector<std::string> files(1);
    std::istringstream lines(report);
    for (std::string o; std::getline(lines, o);) {
        std::string type = member(o, "type");
        if (type == "problem") {
            std::string cause = member(o, "cause");
            files.back() +=
                "problem " + member(o, "line") + " " + member(o, "kind") +
                (cause == "multibyte_text" || cause == "glued_records" ? " " + cause : "") + "\n";
        } else if (type == "unread") {
            files.back() += "unread\n";
            files.emplace_back();
        } else if (type == "summary") {
            files.back() += "summary";
            for (const char* key :
                 {"lines", "pieces", "converted", "shifted", "dropped", "split", "suspect",
                  "allowed", "listed", "rejected", "verdict", "final_newline"})
                files.back() += std::string(" ") + key + " " + member(o, key);
            files.back() += "\n";
            files.emplace_back();
        }
    }
    files.pop_back();
    return files;
}

std::string describe(const trial& t)
{
    std::ostringstream text;
    text << (t.options.quiet ? "-q " : "") << (t.count ? "-c " : "");
    if (t.options.most != UINT64_MAX && !t.count)
        text << "-m " << t.options.most << ' ';
    for (const std::string& pattern : t.options.allow)
        text << "--allow='" << pattern << "' ";
    if (!t.options.record_count.empty())
        text << "--record-count='" << t.options.record_count << "' ";
    text << (t.outputs ? "--listing --rejects " : "") << "on " << t.files.size() << " files";
    if (t.stdin_at >= 0)
        text << ", file " << t.stdin_at << " on standard input";
    for (const auto& file : t.files)
        text << "\n--- " << (file ? ::testing::PrintToString(file->substr(0, 400)) : "(missing)");
    return text.str();
}

void expect_agreement(trial t)
{
    if (t.count)
        t.options.most = 0;
    t.options.count_only = t.count;
    v2check_model::report model = v2check_model::check(t.files, t.options);
    run_result program = run_v2check(t);
    SCOPED_TRACE(describe(t));
    EXPECT_EQ(program.status, model.status);
    if (t.outputs) {
        EXPECT_EQ(program.listing, model.listing);
        EXPECT_EQ(program.rejects, model.rejects);
    }
    if (t.options.quiet) {
        EXPECT_EQ(program.report, "");
        return;
    }
    std::vector<std::string> reported = reported_files(program.report);
    ASSERT_EQ(reported.size(), model.files.size());
    for (std::size_t i = 0; i < reported.size(); ++i)
        EXPECT_EQ(reported[i], expected_file(model.files[i])) << "file " << i;
}

const std::string record =
    "ANDERSON KARL 0314 PLT0042-A  Y BOILER PLATE    N  120 NY REF0000000000001";

std::string with_name(const std::string& name, const std::string& numbers = "0314")
{
    return name + numbers + record.substr(18);
}

// Text as gzip data, in members of up to member characters each, as the
// gzip command writes it.
std::string gzipped(const std::string& text, [[maybe_unused]] std::size_t member)
{
#if !V2CHECK_WITH_ZLIB
    return text;
#else
    std::string data;
    for (std::size_t at = 0; at < text.size() || at == 0; at += member) {
        z_stream z{};
        deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
        std::string part = text.substr(at, member);
        std::string out(deflateBound(&z, part.size()), '\0');
        z.next_in = reinterpret_cast<Bytef*>(part.data());
        z.avail_in = unsigned(part.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = unsigned(out.size());
        deflate(&z, Z_FINISH);
        data += out.substr(0, out.size() - z.avail_out);
        deflateEnd(&z);
    }
    return data;
#endif
}

// A trial of files and options given as words: -q, -c, -mN, --allow=X, and
// "bare" for no listing and no rejects.
trial trial_of(std::vector<std::optional<std::string>> files,
               const std::vector<std::string>& words = {})
{
    trial t;
    t.files = std::move(files);
    for (const std::string& word : words) {
        t.options.quiet = t.options.quiet || word == "-q";
        t.count = t.count || word == "-c";
        t.outputs = t.outputs && word != "bare";
        if (word.starts_with("-m"))
            t.options.most = std::stoull(word.substr(2));
        if (word.starts_with("--allow="))
            t.options.allow.push_back(word.substr(8));
        if (word.starts_with("--record-count="))
            t.options.record_count = word.substr(15);
    }
    return t;
}

// The cases of the faults v2check has had; each is a file set and options.
TEST(v2check_model, agrees_where_v2check_once_erred)
{
    const std::string card = record + "000010";
    const std::string long_line = std::string(160, 'x') + "\n";
    const std::string good = record + "\n";
    const std::string header = "H" + std::string(81919, 'x');
    const struct {
        const char* fault;
        trial t;
    } cases[] = {
        {"-q exits 1 on a line of 160 characters", trial_of({long_line}, {"-q"})},
        {"-q without outputs stops inside the line", trial_of({long_line}, {"-q", "bare"})},
        {"-q stops at the first bad file", trial_of({good, long_line, good + "short\n"}, {"-q"})},
        {"-q: a missing file after a bad one is not read",
         trial_of({long_line, std::nullopt}, {"-q"})},
        {"a record an --allow pattern matches is listed",
         trial_of({"HDR\n" + good + with_name("HANSEN KARL   ") + "\nTRL\n"}, {"--allow=^[A-Z]"})},
        {"CRLF card images are one line each",
         trial_of({card + "\r\n" + card + "\r\n" + card + "\n"})},
        {"UTF-8 padded in characters, in bytes beside a padded number, and filling its field",
         trial_of({with_name("M\xc3\x9cLLER KARL   ") + "\n" +
                   with_name("M\xc3\x9cLLER KARL  ", " 714") + "\n" +
                   with_name("J\xc3\x98RGENSEN KARL") + "\n"})},
        {"UTF-8 in text15 padded in bytes beside padded digits",
         trial_of({record.substr(0, 32) + "\xc3\x9cOILER PLATE  " + record.substr(47, 4) + " 12" +
                   record.substr(54) + "\n"})},
        {"overlong, surrogate and too large UTF-8 are no characters, nor 0xc0 and 0xc1",
         trial_of({with_name("M\xe0\x80\x80LLER KARL   ") + "\n" +
                   with_name("M\xed\xa0\x80LLER KARL   ") + "\n" +
                   with_name("M\xf4\x90\x80\x80LLER KARL   ") + "\n" +
                   with_name("M\xc0\x80LLER KARL   ") + "\n" + with_name("M\xc1\xbfLLER KARL   ") +
                   "\n"})},
        {"an allowed line of exactly 81,920 characters",
         trial_of({header + "\n" + good, header}, {"--allow=^H"})},
        {"an allowed line of 81,921 characters is split",
         trial_of({header + "x\n"}, {"--allow=^H"})},
        {"gzip cut short, in members, and with bytes after it",
         trial_of({gzipped(good + good + "short\n", 1000).substr(0, 40),
                   gzipped(good + "short\n" + good, 50), gzipped(good, 999) + "more"})},
        {"the count of records stated: as read, one more, none, twice, with an empty line",
         trial_of({"HDR\n" + good + "\nTRL 0000002\n", good + "TRL 3\n", good,
                   "TRL 1\n" + good + "TRL 1\n"},
                  {"--allow=^HDR", "--record-count=^TRL ([0-9]+)$"})},
        {"records glued by lost newlines: counted as their records, in CRLF, and not where one "
         "does not convert, a line is too long or there is one record and more",
         trial_of({good + record + record + "\nTRL 3\n", record + record + record + "\r\n",
                   record + record.substr(0, 14) + " 3 4" + record.substr(18) + "\n" + record +
                       record + "x\n",
                   record.substr(0, 5) + "\t" + record.substr(6) + record + "\n",
                   [&] {
                       std::string r;
                       for (int i = 0; i < 1108; ++i)
                           r += record;
                       return r + "\nTRL 1\n";
                   }()},
                  {"--record-count=^TRL ([0-9]+)$"})},
        {"zstd after a skippable frame",
         trial_of({std::string("\x50\x2a\x4d\x18\x00\x00\x00\x00", 8) + good})},
        {"text that begins as bzip2 does", trial_of({"BZh9" + record.substr(4) + "\n"})},
        {"a text read from other columns but showing what its own hold is no shift",
         trial_of(
             {"ANDERSON KARL  00 0AAAAAAAA-- YY                NN 1111   REF0000000000001\n"})},
        {"a shifted text compared trimmed",
         trial_of({record.substr(0, 14) + " 3 4" + record.substr(18) + "\n" +
                   with_name("A             ", "0 14") + "\n"})},
        {"exactly half the lines off the layout is problems, not other_layout",
         trial_of({good + "short\n", good + good + "short\nshort\n"})},
        {"a suspect-only file exits 1",
         trial_of({record.substr(0, 5) + "\t" + record.substr(6) + "\n"})},
        {"a missing file among others", trial_of({good, std::nullopt, "short\n"}, {"-m1"})},
        {"each verdict, and a file cut short",
         trial_of({good, "", good + good + "short\n",
                   good + "short\n" + with_name(record.substr(0, 14), " 703"),
                   good + record.substr(0, 70)})},
        {"card images, and a trailer of 80 characters without a newline allowed",
         trial_of({card + "\n" + card + "\nTRL" + std::string(77, '0')}, {"--allow=^TRL"})},
        {"a header of 200 characters allowed; one glued to a record split",
         trial_of(
             {"HDR" + std::string(197, '0') + "\n" + good, "HDR" + std::string(77, '0') + good},
             {"--allow=^HDR"})},
        {"a zero byte seen by --allow, and a tab a number skips",
         trial_of({std::string("HDR\0x\n", 6) + record.substr(0, 14) + "\t3\t4" +
                   record.substr(18) + "\n"},
                  {"--allow=^HDR$"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        expect_agreement(c.t);
    }
}

// A line of one of the kinds partners send, with its line end.
std::string partner_line(std::mt19937_64& random)
{
    auto pick = [&](std::initializer_list<const char*> from) {
        return std::string(from.begin()[random() % from.size()]);
    };
    std::string r = v2list::generate_record(random);
    switch (random() % 16) {
    case 0: return v2list::generate_shifted_record(random) + "\n";
    case 1: return r + std::to_string(100000 + random() % 900000) + pick({"\r\n", "\n", "\r\n"});
    case 2:
        return pick({"HDR20261209", "TRL 0001417", "T 1417 RECORDS", "H", ""}) +
               pick({"\n", "\r\n"});
    case 3:
        return pick({"J\xc3\x98RGENSEN KARL", "M\xc3\x9cLLER KARL  ", "M\xc3\x9cLLER KARL ",
                     "\xc3\x89MILE ZOLA    ",
                     "\xe2\x82\xac"
                     "URO SA      ",
                     "\xf0\x9f\x98\x80"
                     "SMILE       "}) +
               pick({"0314", " 714", "07 3", "0314"}) + r.substr(18) + "\n";
    case 4: return "M\xdcLLER KARL   " + r.substr(14) + "\n"; // Latin-1
    case 5: r[random() % r.size()] = pick({"\t", "\x7f", "\x01", "\r"})[0]; return r + "\n";
    case 6: r[random() % r.size()] = '\0'; return r + "\n";
    case 7: {
        std::string line = r + r + r + r;
        return line.substr(0, std::stoul(pick({"79", "80", "81", "159", "160", "161", "240"}))) +
               "\n";
    }
    case 8: return r + r + pick({"\n", ""});
    case 9: return r.substr(0, random() % 80) + "\n";
    case 10: {
        r[random() % r.size()] = pick({" ", "-", "+", "0", "a", "\xc3", "\x80", "\xe9"})[0];
        return r + "\n";
    }
    case 11: return "BZh9" + r.substr(4) + "\n";
    case 12: return v2list::generate_piece(random) + "\n";
    default: return r + "\n";
    }
}

std::string partner_file(std::mt19937_64& random)
{
    std::string file;
    std::size_t lines = random() % 40, records = 0;
    for (std::size_t n = lines; n > 0; --n) {
        file += partner_line(random);
        records += file.size() > 1 && file[file.size() - 2] != '\n';
    }
    if (random() % 3 == 0) // a trailer that states the count, or one more
        file += "TRL " + std::to_string(records + random() % 2) + "\n";
    if (random() % 6 == 0 && !file.empty())
        file.pop_back(); // no final newline
    if (random() % 8 == 0) {
        file = gzipped(file, random() % 2 == 0 ? file.size() + 1 : 1 + random() % 200);
        if (random() % 2 == 0) // cut short, or with bytes after it
            file = random() % 4 > 0 ? file.substr(0, random() % file.size()) : file + "more";
    }
    return file;
}

TEST(v2check_model, agrees_over_generated_partner_files)
{
    // V2CHECK_MODEL_TRIALS=N[:SEED] runs more, or others, by hand.
    const char* asked = std::getenv("V2CHECK_MODEL_TRIALS");
    int trials = asked != nullptr ? std::atoi(asked) : 300;
    const char* seed = asked != nullptr ? std::strchr(asked, ':') : nullptr;
    std::mt19937_64 random(seed != nullptr ? std::strtoull(seed + 1, nullptr, 10) : 20261209);
    const std::vector<std::string> patterns = {"^(HDR|TRL)", "^[A-Z]", "^H", "^T ", "^$", "x"};
    for (int i = 0; i < trials; ++i) {
        trial t;
        for (std::size_t n = 1 + random() % 3; n > 0; --n)
            t.files.push_back(random() % 25 == 0 ? std::nullopt
                                                 : std::optional(partner_file(random)));
        if (random() % 4 == 0 && t.files[0])
            t.stdin_at = 0;
        for (std::size_t n = random() % 3; n > 0; --n)
            t.options.allow.push_back(patterns[random() % patterns.size()]);
        if (random() % 3 == 0)
            t.options.record_count = "^TRL ([0-9]+)$";
        switch (random() % 5) {
        case 0: t.options.quiet = true; break;
        case 1: t.count = true; break;
        case 2: t.options.most = random() % 4; break;
        default: break;
        }
        t.outputs = random() % 5 != 0;
        expect_agreement(t);
        if (::testing::Test::HasFailure())
            return; // the first disagreement says enough
    }
}

} // namespace
