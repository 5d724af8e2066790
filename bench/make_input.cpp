// Writes a benchmark input to standard output, the same on every run:
//   make_input valid N     N complete records
//   make_input hostile N   about N lines of trouble: mutated records, long
//                          lines, zero bytes, random bytes, empty lines
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "piece_generator.hpp"

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "valid") != 0 && std::strcmp(argv[1], "hostile") != 0)) {
        std::fprintf(stderr, "usage: make_input valid|hostile COUNT\n");
        return 2;
    }
    bool valid = std::strcmp(argv[1], "valid") == 0;
    long count = std::atol(argv[2]);
    std::mt19937_64 random(valid ? 1 : 2);
    std::string out;
    for (long i = 0; i < count; ++i) {
        if (valid) {
            out += v2list::generate_record(random);
            out += '\n';
        } else {
            switch (random() % 8) {
            case 0: // a long line, with or without records in it
                for (std::size_t n = random() % 40; n > 0; --n)
                    out += random() % 2 ? v2list::generate_record(random) : std::string(random() % 97, 'x');
                out += '\n';
                break;
            case 1: // random bytes, newlines and zero bytes among them
                for (std::size_t n = random() % 150; n > 0; --n)
                    out += char(random());
                break;
            case 2: out += '\n'; break;
            default: out += v2list::generate_piece(random); break;
            }
        }
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
