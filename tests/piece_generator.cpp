#include "piece_generator.hpp"

#include <cstdio>

#include "input_record.hpp"
#include "piece_loop.hpp"

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
    for (const scan_step& step : scan_steps)
        for (unsigned k = 0; k < step.width; ++k)
            record += step.kind == scan_step::literal
                          ? step.symbol
                          : pick(random, step.kind == scan_step::number ? digits : text);
    return record;
}

std::string generate_shifted_record(std::mt19937_64& random)
{
    std::string record = generate_record(random);
    std::size_t after = 0; // the column after the last number so written
    for (std::size_t i = 0; i < scan_steps.size(); ++i) {
        std::size_t width = scan_steps[i].width;
        if (scan_steps[i].kind != scan_step::number || width < 2)
            continue;
        std::string digits(width - 1, pick(random, "0123456789"));
        const std::string forms[] = {" " + digits, digits + " ",  "-" + digits,
                                     "+" + digits, "\t" + digits, digits + digits[0]};
        record.replace(scan_step_columns[i], width, forms[random() % 6]);
        after = scan_step_columns[i] + width;
    }
    if (random() % 2)
        record[after] = ' ';
    return record;
}

std::string filled_to_longest_piece(std::string text)
{
    for (char digit = '1'; text.size() < max_piece; digit = digit == '9' ? '1' : char(digit + 1))
        text += digit;
    return text;
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
    std::size_t room = max_piece > record_length ? max_piece - record_length : 0;
    switch (random() % 6) {
    case 0: piece.resize(random() % (record_length + 1)); break;      // cut short
    case 1: piece.resize(shortest_record - 7 + random() % 10); break; // cut where a record may end
    case 2:
        piece += std::string(random() % (room + 1), 'x');
        break; // run long, up to a whole piece
    default: break;
    }
    if (random() % 4 != 0 && piece.size() < max_piece)
        piece += '\n';
    return piece;
}

} // namespace v2list
