// libFuzzer target: any bytes, cut into pieces as the converter cuts them;
// every piece read and written by the converter, by each of its two ways
// (the plain copy, the reader and writer), and by the C library's sscanf and
// snprintf with the same format texts, and judged by v2check and by its
// model; the whole listing by the conversion loop and by the plain stdio
// program, and v2check's counts, verdict, listing and rejects of the whole
// by its model. Any difference aborts.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

#include "check_lines.hpp"
#include "check_report.hpp"
#include "conversion_loop.hpp"
#include "diagnosis.hpp"
#include "input_record.hpp"
#include "message_words.hpp"
#include "output_listing.hpp"
#include "piece_verdict.hpp"
#include "plain_copy.hpp"
#include "stdio_reference.hpp"
#include "text_builder.hpp"
#include "v2check_model.hpp"

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
    std::size_t n = v2list::convert_text(piece.data(),
                                         v2list::text_length_of(piece.data(), piece.size()), line);
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
    v2list::judge_piece(piece.data(), piece.size(), text_length, 0, reading, verdict);
    if ((verdict.fate != v2list::piece_fate::dropped) != (count == v2list::field_count))
        differ("v2check's verdict and the count", piece);
    bool multibyte = false;
    if (v2check_model::piece_fate(piece, &multibyte) !=
            v2list::fate_table[std::size_t(verdict.fate)].name ||
        multibyte != (verdict.cause == v2list::piece_cause::multibyte_text))
        differ("v2check's verdict and its model's", piece);
    if (verdict.fate == v2list::piece_fate::converted)
        return;
    v2list::diagnosis d =
        v2list::diagnose_piece(verdict, reading, piece.data(), piece.size(), text_length, 1, 0);
    char reason[1024];
    v2list::message_text words{reason, sizeof reason};
    v2list::put_reason(words, d);
    // The facts are the piece's: its length, and the text found where the
    // message points.
    std::size_t shown = piece.size() - (!piece.empty() && piece.back() == '\n');
    if (d.length != shown ||
        (d.cause.found_length > 0 &&
         piece.compare(d.column - 1, d.cause.found_length,
                       std::string_view(d.cause.found, d.cause.found_length)) != 0))
        differ("v2check's facts and the piece", piece);
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

// What a memory file written from its start holds.
std::string memory_file_text(int fd)
{
    std::string text(std::size_t(lseek(fd, 0, SEEK_CUR)), '\0');
    if (pread(fd, text.data(), text.size(), 0) != ssize_t(text.size()))
        std::abort();
    close(fd);
    return text;
}

// v2check on the whole input against its model: the counts, the verdict,
// the listing and the rejects.
void check_against_model(const std::string& input)
{
    static v2list::check_work work;
    work.options = {false, false, false, 0, nullptr, 0, nullptr, true}; // count only
    work.rejects_unended = false; // each input is a run of its own
    int listing = memfd_create("listing", 0), rejects = memfd_create("rejects", 0);
    v2list::open_output(work.rejects, rejects);
    v2list::open_output(work.listing, listing);
    v2list::open_output(work.report, -1);
    v2list::write_header(work.listing);
    v2list::check_counts c{};
    int in = memory_file(input);
    static const v2list::input_name name = v2list::name_input("input", false);
    if (v2list::check_input(work, in, name, c).read_error != 0 ||
        !v2list::flush_output(work.listing) || !v2list::flush_output(work.rejects))
        std::abort();
    close(in);
    v2check_model::report model = v2check_model::check({input}, {});
    const v2check_model::file_report& m = model.files[0];
    auto verdict = v2list::verdict_table[std::size_t(v2list::verdict_of(c))].name;
    // libzstd drops what a call wrote when the call meets damaged data, so
    // how much text comes before the damage depends on how the data came
    // in: there, only the verdict is held to the model's.
    bool zstd =
        input.size() >= 4 && (input.starts_with("\x28\xb5\x2f\xfd") ||
                              ((input[0] & 0xf0) == 0x50 && input.substr(1, 3) == "*M\x18"));
    if (zstd && m.verdict == "incomplete") {
        close(listing);
        close(rejects);
        if (verdict != m.verdict)
            differ("v2check's verdict on damaged zstd data and its model's", input);
        return;
    }
    if (c.lines != m.lines || c.pieces != m.pieces || c.converted != m.converted ||
        c.shifted != m.shifted || c.suspect != m.suspect || c.dropped != m.dropped ||
        c.split != m.split || verdict != m.verdict)
        differ("v2check's counts and its model's", input);
    if (memory_file_text(listing) != model.listing || memory_file_text(rejects) != model.rejects)
        differ("v2check's listing or rejects and its model's", input);
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
    close(in);
    return memory_file_text(out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    // Pieces as fgets with room for 80 characters cuts them.
    for (std::size_t start = 0; start < input.size();) {
        std::size_t window = std::min(input.size() - start, v2list::max_piece);
        const void* newline = std::memchr(input.data() + start, '\n', window);
        std::size_t length =
            newline ? std::size_t(static_cast<const char*>(newline) - input.data()) - start + 1
                    : window;
        check_piece(input.substr(start, length));
        start += length;
    }
    if (convert_in_memory(input) != v2list::reference_listing(input))
        differ("listings", input);
    check_against_model(input);
    return 0;
}
