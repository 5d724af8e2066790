#include "piece_generator.hpp"

#include <cstdio>

namespace v2list {

namespace {

char pick(std::mt19937_64& random, const char* from)
{
    std::size_t n = std::char_traits<char>::length(from);
    return from[random() % n];
}

} // namespace

std::string generate_record(std::mt19937_64& random)
{
    const char* text = "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz  0123456789.,/&";
    const char* digits = "0123456789";
    std::string record;
    for (std::size_t column = 1; column <= 74; ++column) {
        bool number = (column >= 15 && column <= 18) || (column >= 52 && column <= 54);
        record += column == 27 ? '-' : pick(random, number ? digits : text);
    }
    return record;
}

std::string generate_moved_record(std::mt19937_64& random)
{
    std::string record = generate_record(random);
    const char* forms[] = {" %c", "%c ", "-%c", "+%c", "\t%c", "%c%c"};
    for (std::size_t column : {14, 16}) {
        char digit = pick(random, "0123456789"), text[3];
        std::snprintf(text, sizeof text, forms[random() % 6], digit, digit);
        record.replace(column, 2, text);
    }
    if (random() % 2)
        record[18] = ' ';
    return record;
}

std::string generate_piece(std::mt19937_64& random)
{
    std::string piece = generate_record(random);
    // The bytes that change how a piece reads: white space, signs, digits,
    // the literal, zero bytes, newlines, and high bytes.
    const char tricky[] = " \t\r\n\v\f+-0123456789\x00\x80\xa0\xff";
    int mutations = int(random() % 5);
    for (int m = 0; m < mutations; ++m) {
        std::size_t column = random() % piece.size();
        switch (random() % 4) {
        case 0: piece[column] = char(random()); break;
        default: piece[column] = tricky[random() % (sizeof tricky - 1)]; break;
        }
    }
    switch (random() % 6) {
    case 0: piece.resize(random() % 75); break;               // cut short
    case 1: piece.resize(52 + random() % 10); break;          // cut around the last fields
    case 2: piece += std::string(random() % 7, 'x'); break;   // run long, up to 80
    default: break;
    }
    if (random() % 4 != 0 && piece.size() < 80)
        piece += '\n';
    return piece;
}

} // namespace v2list
