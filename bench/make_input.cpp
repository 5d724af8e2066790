// Writes a benchmark input to standard output, the same on every run:
//   make_input valid N     N complete records
//   make_input padded N    N records whose number1 is padded with a space
//                          in front, every other one's number2 too, and
//                          the column after number2 blank
//   make_input hostile N   about N lines of trouble: mutated records, long
//                          lines, zero bytes, random bytes, empty lines
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "input_record.hpp"
#include "piece_generator.hpp"

int main(int argc, char** argv)
{
    const char* kind = argc == 3 ? argv[1] : "";
    bool valid = std::strcmp(kind, "valid") == 0, padded = std::strcmp(kind, "padded") == 0;
    if (!valid && !padded && std::strcmp(kind, "hostile") != 0) {
        std::fprintf(stderr, "usage: make_input valid|padded|hostile COUNT\n");
        return 2;
    }
    long count = std::atol(argv[2]);
    std::mt19937_64 random(valid ? 1 : padded ? 3 : 2);
    std::string out;
    for (long i = 0; i < count; ++i) {
        if (valid || padded) {
            std::string record = v2list::generate_record(random);
            if (padded) {
                // As a legacy writer pads: a blank before the digit, and
                // the ignored column after the numbers left blank.
                const v2list::field_place& number1 = v2list::field_places[v2list::field_number1];
                const v2list::field_place& number2 = v2list::field_places[v2list::field_number2];
                record[number1.column] = ' ';
                if (i % 2)
                    record[number2.column] = ' ';
                record[number2.column + number2.width] = ' ';
            }
            out += record;
            out += '\n';
        } else {
            switch (random() % 8) {
            case 0: // a long line, with or without records in it
                for (std::size_t n = random() % 40; n > 0; --n)
                    out += random() % 2 ? v2list::generate_record(random)
                                        : std::string(random() % 97, 'x');
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
