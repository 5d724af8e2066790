// The straightforward way to write the converter: fgets with room for 80
// characters, then sscanf with the scan format and snprintf with the print
// format (through the test reference, so the field lists live in one place).
#include <cstdio>
#include <cstring>

#include "conversion_loop.hpp"
#include "output_listing.hpp"
#include "stdio_reference.hpp"

int main()
{
    std::printf("%s\n", v2list::listing_header);
    char piece[v2list::max_piece + 1], line[256];
    while (std::fgets(piece, sizeof piece, stdin) != nullptr) {
        std::size_t n =
            v2list::reference_convert_piece(piece, std::strlen(piece), line, sizeof line);
        std::fwrite(line, 1, n, stdout);
    }
    return 0;
}
