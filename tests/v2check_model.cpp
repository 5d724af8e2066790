#include "v2check_model.hpp"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <regex.h>
#if V2CHECK_WITH_ZLIB
#include <zlib.h>
#endif
#if V2CHECK_WITH_BZIP2
#include <bzlib.h>
#endif
#if V2CHECK_WITH_XZ
#include <lzma.h>
#endif
#if V2CHECK_WITH_ZSTD
#include <zstd.h>
#endif

#include "input_record.hpp"
#include "output_listing.hpp"
#include "stdio_reference.hpp"

namespace v2check_model {

namespace {

// What the manual page says: pieces of at most 80 characters, and an
// allowed line of up to 81,920.
constexpr std::size_t longest_piece = 80, longest_allowed = 81920;
constexpr std::size_t record_columns = 74; // what the scan format's steps take in all

// One conversion of the scan format: its columns, and what it reads.
struct conversion {
    std::size_t column, width;
    char kind; // 'c' characters, 'd' a number, '-' a literal
    bool assigns;
};

// The layout, read off the scan format text: "%14c" is 14 columns of text.
std::vector<conversion> layout()
{
    std::vector<conversion> all;
    std::size_t column = 0;
    for (const char* f = v2list::scan_format; *f != '\0'; ++f) {
        conversion c{column, 1, '-', false};
        if (*f == '%') {
            c.assigns = *++f != '*';
            f += !c.assigns;
            if (std::isdigit(static_cast<unsigned char>(*f)))
                c.width = std::size_t(std::strtoul(f, const_cast<char**>(&f), 10));
            c.kind = *f;
        }
        all.push_back(c);
        column += c.width;
    }
    return all;
}

const std::vector<conversion> conversions = layout();

bool is_control(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

// The length of the valid UTF-8 character of several bytes at text[at], or 0.
std::size_t utf8_length(const std::string& text, std::size_t at)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    std::size_t n = byte(0) >> 5 == 6 ? 2 : byte(0) >> 4 == 14 ? 3 : byte(0) >> 3 == 30 ? 4 : 0;
    if (n == 0 || at + n > text.size())
        return 0;
    std::uint32_t code = byte(0) & (0x7f >> n);
    for (std::size_t i = 1; i < n; ++i) {
        if (byte(i) >> 6 != 2)
            return 0;
        code = code << 6 | (byte(i) & 0x3f);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    bool surrogate = code >= 0xd800 && code <= 0xdfff;
    return code >= least[n] && code <= 0x10ffff && !surrogate ? n : 0;
}

// The text laid out by characters: each text field takes as many
// characters as it has columns, a UTF-8 character standing in one column.
std::string laid_by_characters(const std::string& text)
{
    std::string laid;
    std::size_t at = 0;
    for (const conversion& c : conversions) {
        for (std::size_t i = 0; i < c.width && at < text.size(); ++i) {
            std::size_t n = c.assigns && c.kind == 'c' && c.width > 1 ? utf8_length(text, at) : 0;
            laid += text[at];
            at += n > 0 ? n : 1;
        }
    }
    return laid + text.substr(std::min(at, text.size()));
}

// A number's own value: its columns hold a signed decimal number, white
// space before or after it, and nothing else.
std::optional<std::string> own_number(const std::string& own)
{
    int value = 0, used = 0;
    char format[16];
    std::snprintf(format, sizeof format, "%%%zud%%n", own.size());
    if (std::sscanf(own.c_str(), format, &value, &used) != 1)
        return std::nullopt;
    for (std::size_t i = std::size_t(used); i < own.size(); ++i)
        if (!std::isspace(static_cast<unsigned char>(own[i])))
            return std::nullopt;
    return std::to_string(value);
}

std::string trimmed(std::string text)
{
    return text.erase(text.find_last_not_of(' ') + 1);
}

// The fate of the text before any zero byte, as v2list reads it.
std::string fate_of_text(const std::string& text)
{
    v2list::reference_record record{};
    if (v2list::reference_read_record(text.c_str(), text.size(), record) != v2list::field_count)
        return "dropped";
    std::vector<std::string> values = v2list::fields_of(record);
    bool control = false;
    std::size_t field = 0;
    for (const conversion& c : conversions) {
        // Every field but the last is shown; is it as its own columns hold it?
        if (!c.assigns || field + 1 == values.size())
            continue;
        std::string own = text.substr(c.column, c.width);
        const std::string& value = values[field++];
        if (c.kind == 'd' ? own_number(own) != value
            : c.width > 1 ? trimmed(own) != value
                          : own.empty() || own[0] != value[0])
            return "shifted";
        if (c.kind == 'c')
            for (char byte : own)
                control = control || is_control(static_cast<unsigned char>(byte));
    }
    return control ? "suspect" : "converted";
}

// The first piece of a line without its newline matches an allowed pattern.
bool allowed_line(const options& given, const std::string& piece)
{
    std::string text = piece.substr(0, piece.size() - (piece.back() == '\n'));
    for (const std::string& pattern : given.allow) {
        regex_t compiled;
        if (regcomp(&compiled, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0)
            continue;
        regmatch_t whole{0, regoff_t(text.size())};
        bool match = regexec(&compiled, text.c_str(), 1, &whole, REG_STARTEND) == 0;
        regfree(&compiled);
        if (match)
            return true;
    }
    return false;
}

// The input cut into lines of pieces, as fgets with room for 80 characters cuts it.
std::vector<std::vector<std::string>> lines_of(const std::string& input)
{
    std::vector<std::vector<std::string>> lines;
    FILE* in =
        input.empty() ? nullptr : fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    char piece[longest_piece + 1];
    bool line_ended = true;
    for (long at = 0; in != nullptr && std::fgets(piece, sizeof piece, in) != nullptr;) {
        long next = std::ftell(in);
        if (line_ended)
            lines.emplace_back();
        lines.back().push_back(input.substr(std::size_t(at), std::size_t(next - at)));
        line_ended = lines.back().back().back() == '\n';
        at = next;
    }
    if (in != nullptr)
        std::fclose(in);
    return lines;
}

// The text compressed data holds, decompressed in one go, each format by
// its library, and whether it is whole: every member, stream or frame
// complete and passing its check, and asking no more than 128 MiB.
bool decompressed([[maybe_unused]] const std::string& format,
                  [[maybe_unused]] const std::string& data, [[maybe_unused]] std::string& text)
{
    [[maybe_unused]] char out[1 << 16];
#if V2CHECK_WITH_ZLIB
    if (format == "gzip") {
        z_stream z{};
        inflateInit2(&z, 15 + 16);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        z.avail_in = unsigned(data.size());
        int result = Z_OK;
        for (;;) {
            // Zero bytes after a member are nothing, as gzip reads them.
            for (; result == Z_STREAM_END && z.avail_in > 0 && *z.next_in == 0; --z.avail_in)
                ++z.next_in;
            if (result != Z_OK && (result != Z_STREAM_END || z.avail_in == 0))
                break;
            if (result == Z_STREAM_END)
                inflateReset(&z); // the next member
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = sizeof out;
            result = inflate(&z, Z_NO_FLUSH);
            text.append(out, sizeof out - z.avail_out);
        }
        inflateEnd(&z);
        return result == Z_STREAM_END;
    }
#endif
#if V2CHECK_WITH_BZIP2
    if (format == "bzip2") {
        // libbz2 tells a damaged block only once it has written as much of
        // it as the room it was given holds: the text before the damage is
        // what v2check gets asking for 128 KiB at a time, as it does.
        static char room[1 << 17];
        int result = BZ_STREAM_END;
        for (std::size_t at = 0; result == BZ_STREAM_END && at < data.size();) {
            bz_stream s{}; // the next stream
            BZ2_bzDecompressInit(&s, 0, 0);
            s.next_in = const_cast<char*>(data.data() + at);
            s.avail_in = unsigned(data.size() - at);
            do {
                s.next_out = room;
                s.avail_out = sizeof room;
                result = BZ2_bzDecompress(&s);
                text.append(room, sizeof room - s.avail_out);
            } while (result == BZ_OK && (s.avail_in > 0 || s.avail_out == 0));
            at = data.size() - s.avail_in;
            BZ2_bzDecompressEnd(&s);
        }
        return result == BZ_STREAM_END;
    }
#endif
#if V2CHECK_WITH_XZ
    if (format == "xz") {
        lzma_stream s = LZMA_STREAM_INIT;
        lzma_ret result = lzma_stream_decoder(&s, 128 << 20, LZMA_CONCATENATED);
        s.next_in = reinterpret_cast<const std::uint8_t*>(data.data());
        s.avail_in = data.size();
        while (result == LZMA_OK) {
            s.next_out = reinterpret_cast<std::uint8_t*>(out);
            s.avail_out = sizeof out;
            result = lzma_code(&s, LZMA_FINISH);
            text.append(out, sizeof out - s.avail_out);
        }
        lzma_end(&s);
        return result == LZMA_STREAM_END;
    }
#endif
#if V2CHECK_WITH_ZSTD
    if (format == "zstd") {
        ZSTD_DStream* s = ZSTD_createDStream();
        ZSTD_inBuffer in{data.data(), data.size(), 0};
        ZSTD_outBuffer to{out, sizeof out, 0};
        std::size_t result = 0;
        do {
            to.pos = 0;
            result = ZSTD_decompressStream(s, &to, &in);
            text.append(out, to.pos);
        } while (!ZSTD_isError(result) && (in.pos < in.size || to.pos == to.size));
        ZSTD_freeDStream(s);
        return result == 0;
    }
#endif
    return false;
}

// The format of compressed data the model decompresses, or empty.
std::string readable(const std::string& input)
{
    auto starts = [&](const std::string& magic) { return input.rfind(magic, 0) == 0; };
    bool skippable =
        input.size() >= 4 && (input[0] & 0xf0) == 0x50 && input.substr(1, 3) == "*M\x18";
    bool bzip2 = input.size() >= 10 && starts("BZh") && input[3] >= '1' && input[3] <= '9' &&
                 (input.substr(4, 6) == "1AY&SY" || input.substr(4, 6) == "\x17rE8P\x90");
    if (V2CHECK_WITH_ZLIB && starts("\x1f\x8b\x08"))
        return "gzip";
    if (V2CHECK_WITH_BZIP2 && bzip2)
        return "bzip2";
    if (V2CHECK_WITH_XZ && starts(std::string("\xfd"
                                              "7zXZ\0",
                                              6)))
        return "xz";
    if (V2CHECK_WITH_ZSTD && (starts("\x28\xb5\x2f\xfd") || skippable))
        return "zstd";
    return "";
}

// The count of records a line states, where it matches the pattern.
bool states_count(const options& given, const std::string& piece, std::string& stated)
{
    std::string text = piece.substr(0, piece.size() - (piece.back() == '\n'));
    regex_t compiled;
    if (given.record_count.empty() ||
        regcomp(&compiled, given.record_count.c_str(), REG_EXTENDED) != 0)
        return false;
    regmatch_t match[2] = {{0, regoff_t(text.size())}, {-1, -1}};
    bool found = regexec(&compiled, text.c_str(), 2, match, REG_STARTEND) == 0;
    regfree(&compiled);
    if (found && match[1].rm_so >= 0)
        stated =
            text.substr(std::size_t(match[1].rm_so), std::size_t(match[1].rm_eo - match[1].rm_so));
    return found;
}

bool compressed(const std::string& input)
{
    auto starts = [&](const std::string& magic) { return input.rfind(magic, 0) == 0; };
    bool skippable =
        input.size() >= 4 && (input[0] & 0xf0) == 0x50 && input.substr(1, 3) == "*M\x18";
    bool bzip2 = input.size() >= 10 && starts("BZh") && input[3] >= '1' && input[3] <= '9' &&
                 (input.substr(4, 6) == "1AY&SY" || input.substr(4, 6) == "\x17rE8P\x90");
    return starts("\x1f\x8b\x08") ||
           starts(std::string("\xfd"
                              "7zXZ\0",
                              6)) ||
           starts("\x28\xb5\x2f\xfd") || skippable || bzip2;
}

// Whether the input ends inside a compressed format's signature: cut short.
bool cut_in_signature(const std::string& input)
{
    const std::string magics[] = {"\x1f\x8b\x08",
                                  std::string("\xfd"
                                              "7zXZ\0",
                                              6),
                                  "\x28\xb5\x2f\xfd",
                                  "P*M\x18",
                                  "BZh11AY&SY",
                                  "BZh1\x17rE8P\x90"};
    for (const std::string& magic : magics) {
        bool prefix = !input.empty() && input.size() < magic.size();
        for (std::size_t i = 0; prefix && i < input.size(); ++i)
            prefix = magic[0] == 'P' && i == 0   ? (input[0] & 0xf0) == 0x50
                     : magic[0] == 'B' && i == 3 ? input[3] >= '1' && input[3] <= '9'
                                                 : input[i] == magic[i];
        if (prefix)
            return true;
    }
    return false;
}

// One file; false where -q stops at a problem in it.
bool check_file(const std::string& data, const options& given, file_report& file, report& all)
{
    std::string input;
    bool cut = cut_in_signature(data);
    bool complete = !cut && (readable(data).empty() || decompressed(readable(data), data, input));
    if (!cut && readable(data).empty() && compressed(data)) {
        file.verdict = "compressed";
        file.final_newline = "null";
        file.messages.push_back({1, "compressed", false});
        return !given.quiet;
    }
    if (readable(data).empty() && !cut)
        input = data;
    std::uint64_t off_layout = 0, number = 0, count_lines = 0, allowed_lines = 0, empty = 0,
                  glued_records = 0;
    std::string stated, first_stated;
    for (const std::vector<std::string>& pieces : lines_of(input)) {
        ++number;
        std::string whole;
        for (const std::string& piece : pieces)
            whole += piece;
        // A card image: 80 characters and a newline, or a carriage return and
        // a newline, which v2list reads as a piece that holds nothing.
        bool card = pieces.size() == 2 && pieces[0].size() == longest_piece &&
                    (pieces[1] == "\n" || pieces[1] == "\r\n");
        std::vector<std::string> read(pieces.begin(), pieces.end() - card);
        std::vector<std::string> fates;
        std::vector<bool> multibyte;
        bool converts = false, off = false;
        for (const std::string& piece : read) {
            bool by_characters = false;
            fates.push_back(piece_fate(piece, &by_characters));
            multibyte.push_back(by_characters);
            converts = converts || fates.back() != "dropped";
            off = off || fates.back() == "dropped" || fates.back() == "shifted";
        }
        ++file.lines;
        file.pieces += read.size();
        std::size_t characters = whole.size() - (whole.back() == '\n');
        bool count_line = !converts && read.size() == 1 && states_count(given, read[0], stated);
        if (count_line && ++count_lines == 1)
            first_stated = stated;
        if (count_line || (!converts && allowed_line(given, read[0]) &&
                           (read.size() == 1 || characters <= longest_allowed))) {
            file.allowed += read.size();
            ++allowed_lines;
            continue;
        }
        empty += whole == "\n";
        bool split = read.size() > 1, problem = split;
        // Records glued together: a split line, a carriage return at its
        // end aside, of 2 or more records' columns, each record's converting
        // from its own columns.
        std::size_t glued = 0, n = characters - (whole[characters - 1] == '\r');
        if (split && characters <= longest_allowed && n % record_columns == 0 && n > record_columns)
            glued = n / record_columns;
        for (std::size_t at = 0; glued > 0 && at < n; at += record_columns) {
            std::string fate = piece_fate(whole.substr(at, record_columns));
            glued = fate == "converted" || fate == "suspect" ? glued : 0;
        }
        glued_records += glued - (glued > 0);
        for (std::size_t i = 0; i < read.size(); ++i) {
            if (i == 1)
                file.messages.push_back({number, "split", false, glued > 0});
            const std::string& fate = fates[i];
            file.converted += fate != "dropped";
            file.dropped += fate == "dropped";
            file.shifted += fate == "shifted";
            file.suspect += fate == "suspect";
            if (fate != "converted")
                file.messages.push_back({number, fate, multibyte[i]});
            problem = problem || fate != "converted";
        }
        file.split += split;
        off_layout += off;
        if (!problem) {
            ++file.listed;
            char line[256];
            all.listing.append(line, v2list::reference_convert_piece(read[0].data(), read[0].size(),
                                                                     line, sizeof line));
            continue;
        }
        // No two lines join there: a line without its newline gets one where
        // another file's follow.
        if (!all.rejects.empty() && all.rejects.back() != '\n')
            all.rejects += '\n';
        all.rejects += whole;
        ++file.rejected;
        if (given.quiet)
            return false;
    }
    // Data cut short or damaged; else a count of records asked for and
    // stated once, as a number, that differs from the lines neither allowed
    // nor empty, a line of glued records as its records.
    std::uint64_t records = file.lines - allowed_lines - empty + glued_records, n = 0;
    auto [end, error] =
        std::from_chars(first_stated.data(), first_stated.data() + first_stated.size(), n);
    bool counted = given.record_count.empty() ||
                   (count_lines == 1 && error == std::errc() &&
                    end == first_stated.data() + first_stated.size() && n == records);
    if (!complete || !counted)
        file.messages.push_back({file.lines + 1, "incomplete", false});
    file.final_newline = input.empty() || input.back() == '\n' ? "true" : "false";
    file.verdict = !complete || !counted                                         ? "incomplete"
                   : file.lines == 0                                             ? "empty"
                   : 2 * off_layout > file.lines                                 ? "other_layout"
                   : file.dropped + file.shifted + file.suspect + file.split > 0 ? "problems"
                                                                                 : "clean";
    return (complete && counted) || !given.quiet;
}

} // namespace

std::string piece_fate(const std::string& piece, bool* multibyte)
{
    std::string text = piece.substr(0, piece.find('\0'));
    std::string fate = fate_of_text(text);
    std::string laid = laid_by_characters(text);
    if (multibyte != nullptr)
        *multibyte = (fate == "dropped" || fate == "shifted") && laid != text &&
                     (fate_of_text(laid) == "converted" || fate_of_text(laid) == "suspect");
    return fate;
}

report check(const std::vector<std::optional<std::string>>& inputs, const options& given)
{
    report all;
    all.listing = std::string(v2list::listing_header) + "\n";
    bool trouble = false, problems = false;
    for (const std::optional<std::string>& input : inputs) {
        file_report& file = all.files.emplace_back();
        if (!input) {
            file.unread = trouble = true;
            continue;
        }
        if (!check_file(*input, given, file, all)) {
            all.status = trouble ? 2 : 1;
            return all;
        }
        problems = problems || (file.verdict != "clean" && file.verdict != "empty");
        // The cap leaves out messages on lines, never the file's own.
        bool own = !file.messages.empty() && file.messages.back().fate == "incomplete";
        message ending = own ? file.messages.back() : message{};
        if (given.count_only) {
            file.messages.clear();
        } else if (file.messages.size() - own > given.most) {
            file.messages.resize(given.most);
            if (own)
                file.messages.push_back(ending);
        }
    }
    all.status = trouble ? 2 : problems ? 1 : 0;
    return all;
}

} // namespace v2check_model
