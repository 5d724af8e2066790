// libFuzzer target: any bytes, cut into pieces as the converter cuts them;
// every piece read and written by the converter, by each of its two ways
// (the plain copy, the reader and writer), and by the C library's sscanf and
// snprintf with the same format texts, and judged by v2check; the whole
// listing by the conversion loop and by the plain stdio program, and
// v2check's counts of the whole. Any difference aborts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

#include "check_report.hpp"
#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "output_listing.hpp"
#include "piece_verdict.hpp"
#include "plain_copy.hpp"
#include "stdio_reference.hpp"
#include "text_builder.hpp"

namespace {

[[noreturn]] void differ(const char* what, const std::string& piece)
{
    std::fprintf(stderr, "v2list_fuzz: %s differ on a piece of %zu bytes\n", what, piece.size());
    std::abort();
}

void check_piece(const std::string& piece)
{
    v2list::input_record product{};
    v2list::reference_record reference{};
    int count = v2list::read_piece(piece.data(), piece.size(), product);
    if (count != v2list::reference_read_record(piece.data(), piece.size(), reference))
        differ("counts", piece);
    if (v2list::first_different_field(product, reference, count) >= 0)
        differ("fields", piece);
    char line[256], expected[256];
    std::size_t n = v2list::convert_piece(piece.data(), piece.size(), line);
    std::size_t m =
        v2list::reference_convert_piece(piece.data(), piece.size(), expected, sizeof expected);
    if (std::string(line, n) != std::string(expected, m))
        differ("record lines", piece);
    // Each way to the line on its own: the reader and writer take every
    // piece, the plain copy the plain ones.
    std::size_t text_length = v2list::text_length_of(piece.data(), piece.size());
    v2list::input_record reading;
    v2list::read_record<false>(piece.data(), text_length, reading);
    std::size_t read =
        reading.count == v2list::field_count ? v2list::write_record(reading, line) : 0;
    if (std::string(line, read) != std::string(expected, m))
        differ("lines by the reader and writer", piece);
    if (v2list::copies_plain && text_length >= v2list::shortest_record &&
        v2list::plain_record(piece.data()) &&
        std::string(line, v2list::copy_plain_columns(piece.data(), line)) !=
            std::string(expected, m))
        differ("lines by the plain copy", piece);

    // v2check converts exactly what the C library converts, and a shifted
    // record's message names its field, or the text whose UTF-8 characters
    // shifted it.
    v2list::piece_verdict verdict;
    v2list::judge_piece(piece.data(), piece.size(), text_length, 0, verdict);
    if ((verdict.fate != v2list::piece_fate::dropped) != (count == v2list::field_count))
        differ("v2check's verdict and the count", piece);
    char reason[1024];
    v2list::text_builder words{reason, sizeof reason};
    if (verdict.fate != v2list::piece_fate::converted)
        v2list::explain(verdict, piece.data(), piece.size(), text_length, 0, words);
    if (verdict.fate == v2list::piece_fate::shifted) {
        std::string_view named = verdict.cause == v2list::piece_cause::multibyte_text
                                     ? v2list::cause_field(verdict.cause, verdict.step)
                                     : v2list::fields[verdict.field].name;
        if (std::string_view(reason, words.used).find(named) == std::string_view::npos)
            differ("v2check's shifted field and its message", piece);
    }
}

// A memory file holding input, read from its start.
int memory_file(const std::string& input)
{
    int fd = memfd_create("input", 0);
    if (fd < 0 || write(fd, input.data(), input.size()) != ssize_t(input.size()))
        std::abort();
    lseek(fd, 0, SEEK_SET);
    return fd;
}

// What v2check counts in the whole input.
v2list::check_counts check_in_memory(const std::string& input)
{
    static v2list::check_work work;
    work.options = {false, false, false, 0, nullptr, 0}; // count only
    v2list::open_output(work.rejects, -1);
    v2list::open_output(work.listing, -1);
    v2list::open_output(work.report, -1);
    v2list::check_counts counts{};
    int in = memory_file(input);
    static const v2list::input_name name = v2list::name_input("input", false);
    if (v2list::check_input(work, in, name, counts).read_error != 0)
        std::abort();
    close(in);
    return counts;
}

// The listing the conversion loop writes for input, through memory files.
std::string convert_in_memory(const std::string& input)
{
    int in = memory_file(input), out = memfd_create("output", 0);
    if (out < 0)
        std::abort();
    static v2list::conversion work;
    if (v2list::convert(work, in, out).error != 0)
        std::abort();
    std::string listing(std::size_t(lseek(out, 0, SEEK_CUR)), '\0');
    if (pread(out, listing.data(), listing.size(), 0) != ssize_t(listing.size()))
        std::abort();
    close(in);
    close(out);
    return listing;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    // Pieces as fgets with room for 80 characters cuts them; v2check does
    // not count the newline of a line of exactly 80 characters, which holds
    // nothing.
    std::size_t pieces = 0;
    bool line_start = true, card = false;
    for (std::size_t start = 0; start < input.size();) {
        std::size_t window = std::min(input.size() - start, v2list::max_piece);
        const void* newline = std::memchr(input.data() + start, '\n', window);
        std::size_t length =
            newline ? std::size_t(static_cast<const char*>(newline) - input.data()) - start + 1
                    : window;
        check_piece(input.substr(start, length));
        bool ends_line = input[start + length - 1] == '\n';
        pieces += !(card && length == 1 && ends_line);
        card = line_start && length == v2list::max_piece && !ends_line;
        line_start = ends_line;
        start += length;
    }
    std::string listing = v2list::reference_listing(input);
    if (convert_in_memory(input) != listing)
        differ("listings", input);
    v2list::check_counts counts = check_in_memory(input);
    std::size_t lines = std::size_t(std::count(listing.begin(), listing.end(), '\n'));
    // Compressed data is said once and not read.
    if (counts.compressed > 0 ? counts.pieces != 0
                              : counts.pieces != pieces || counts.converted != lines - 1)
        differ("v2check's counts and the listing", input);
    return 0;
}
