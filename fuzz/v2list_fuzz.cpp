// libFuzzer target: any bytes, cut into pieces as the converter cuts them;
// every piece read and written by the converter and by the C library's
// sscanf and snprintf with the same format texts, and the whole listing by
// the conversion loop and by the plain stdio program. Any difference aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "conversion_loop.hpp"
#include "input_record.hpp"
#include "stdio_reference.hpp"

namespace {

[[noreturn]] void differ(const char* what, const std::string& piece)
{
    std::fprintf(stderr, "v2list_fuzz: %s differ on a piece of %zu bytes\n", what, piece.size());
    std::abort();
}

void check_piece(const std::string& piece)
{
    v2list::input_record product{}, reference{};
    int count = v2list::read_record(piece.data(), piece.size(), product);
    if (count != v2list::reference_read_record(piece.data(), piece.size(), reference))
        differ("counts", piece);
    if (v2list::first_different_field(product, reference, count) >= 0)
        differ("fields", piece);
    char line[256], expected[256];
    std::size_t n = v2list::convert_piece(piece.data(), piece.size(), line);
    std::size_t m = v2list::reference_convert_piece(piece.data(), piece.size(), expected, sizeof expected);
    if (std::string(line, n) != std::string(expected, m))
        differ("record lines", piece);
}

// The listing the conversion loop writes for input, through memory files.
std::string convert_in_memory(const std::string& input)
{
    int in = memfd_create("input", 0), out = memfd_create("output", 0);
    if (in < 0 || out < 0 || write(in, input.data(), input.size()) != ssize_t(input.size()))
        std::abort();
    lseek(in, 0, SEEK_SET);
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
    // Pieces as fgets with room for 80 characters cuts them.
    for (std::size_t start = 0; start < input.size();) {
        std::size_t window = std::min(input.size() - start, v2list::max_piece);
        const void* newline = std::memchr(input.data() + start, '\n', window);
        std::size_t length = newline ? std::size_t(static_cast<const char*>(newline) - input.data()) - start + 1 : window;
        check_piece(input.substr(start, length));
        start += length;
    }
    if (convert_in_memory(input) != v2list::reference_listing(input))
        differ("listings", input);
    return 0;
}
