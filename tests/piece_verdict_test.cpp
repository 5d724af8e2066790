// What v2check says of a piece, on many generated pieces: it converts exactly
// what v2list converts, and it finds a record shifted exactly where a field
// the listing shows, read from its own columns alone, would differ, and
// names that field. The message for each cause is held by the golden report.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "check_lines.hpp"
#include "check_report.hpp"
#include "conversion_loop.hpp"
#include "diagnosis.hpp"
#include "input_record.hpp"
#include "message_catalog.hpp"
#include "message_words.hpp"
#include "output_listing.hpp"
#include "piece_generator.hpp"
#include "piece_verdict.hpp"
#include "stdio_reference.hpp"
#include "text_builder.hpp"

namespace v2list {

void PrintTo(piece_fate fate, std::ostream* out)
{
    *out << fate_table[std::size_t(fate)].name;
}

namespace {

// A field read from its own columns alone, as the C library reads it: a
// text trimmed, a character as it is, a number with nothing but white space
// around it, or "none".
std::string own_field(const std::string& piece, std::size_t field)
{
    const field_place& place = field_places[field];
    std::string own = piece.substr(place.column, place.width);
    if (fields[field].shape == shape_text)
        return own.erase(own.find_last_not_of(' ') + 1);
    if (fields[field].shape != shape_number)
        return own;
    int value, used;
    if (std::sscanf(own.c_str(), "%d%n", &value, &used) != 1 ||
        own.find_first_not_of(" \t\n\v\f\r", std::size_t(used)) != std::string::npos)
        return "none";
    return std::to_string(value);
}

// A record whose number2 stops short of its columns, the rest of the line
// moved one column left to meet the reading: the fields after it read their
// own characters from columns that are not their own. With a filler in
// every column from there to text15, only text15 and later fields show it.
std::string stopped_short(std::mt19937_64& random)
{
    std::string record = generate_record(random);
    const field_place& number2 = field_places[field_number2];
    std::size_t after = number2.column + number2.width;
    if (random() % 2)
        for (std::size_t c = after; c < field_places[field_text15].column; ++c)
            record[c] = '-';
    record[after - 1] = ' ';
    return record.erase(after, 1) + "\n";
}

TEST(piece_verdict, converts_what_v2list_converts_and_finds_the_field_shifted)
{
    std::mt19937_64 random(12);
    int shifted[shape_tail + 1] = {};
    for (int i = 0; i < 200000; ++i) {
        std::string piece = i % 3 == 0   ? generate_piece(random)
                            : i % 3 == 1 ? generate_shifted_record(random) + "\n"
                                         : stopped_short(random);
        piece_verdict verdict;
        input_record reading;
        std::size_t text_length = text_length_of(piece.data(), piece.size());
        judge_piece(piece.data(), piece.size(), text_length, 0, reading, verdict);
        if (verdict.fate != piece_fate::converted) {
            // Every message fits 160 columns with a short name: "f:LINE:".
            diagnosis d =
                diagnose_piece(verdict, reading, piece.data(), piece.size(), text_length, 1, 0);
            char reason[1024];
            message_text words{reason, sizeof reason};
            put_reason(words, d);
            std::size_t message = std::size("f:99999:") + std::to_string(d.column).size() + 2 +
                                  fate_table[std::size_t(d.fate)].name.size() + 2 + words.used;
            ASSERT_LE(message, 160u) << std::string(reason, words.used);
        }
        reference_record record{};
        if (reference_read_record(piece.data(), piece.size(), record) != int(field_count)) {
            ASSERT_EQ(verdict.fate, piece_fate::dropped) << testing::PrintToString(piece);
            continue;
        }
        std::vector<std::string> read = fields_of(record);
        std::size_t first = 0;
        while (first < field_count &&
               (!shown_fields[first] || own_field(piece, first) == read[first]))
            ++first;
        ASSERT_EQ(verdict.fate == piece_fate::shifted, first < field_count)
            << testing::PrintToString(piece);
        if (first == field_count)
            continue;
        ASSERT_EQ(verdict.field, first) << testing::PrintToString(piece);
        diagnosis d =
            diagnose_piece(verdict, reading, piece.data(), piece.size(), text_length, 1, 0);
        char reason[1024];
        message_text words{reason, sizeof reason};
        put_reason(words, d);
        std::string said(reason, words.used);
        ASSERT_NE(said.find(fields[first].name), std::string::npos) << said;
        // What it shows is what the C library's listing line writes.
        char line[256];
        std::size_t n = reference_convert_piece(piece.data(), piece.size(), line, sizeof line);
        ASSERT_NE(std::string(line, n).find(std::string(d.shows, d.shows_length)),
                  std::string::npos)
            << said;
        ++shifted[fields[first].shape];
    }
    // Every shape of field is found shifted, or the test proves little.
    for (int shape : {shape_text, shape_number, shape_character})
        EXPECT_GT(shifted[shape], 100) << "shape " << shape;
}

// The golden input holds every kind and cause a line can come to, as the
// catalog has them, so that the golden report holds the words of each.
TEST(piece_verdict, golden_input_holds_every_cause_of_a_line)
{
    static check_work work;
    work.options = {false, false, true, UINT64_MAX, nullptr, 0, nullptr, false};
    int in = ::open(V2LIST_GOLDEN_INPUT, O_RDONLY), out = memfd_create("report", 0);
    ASSERT_GE(in, 0);
    open_output(work.report, out);
    open_output(work.rejects, -1);
    open_output(work.listing, -1);
    check_counts counts{};
    check_input(work, in, name_input("causes.txt", false), counts);
    ASSERT_TRUE(flush_output(work.report));
    std::string report(std::size_t(lseek(out, 0, SEEK_CUR)), '\0');
    ASSERT_EQ(pread(out, report.data(), report.size(), 0), ssize_t(report.size()));
    ::close(in);
    ::close(out);
    for (const cause_row& row : cause_catalog)
        for (piece_fate fate :
             {piece_fate::dropped, piece_fate::shifted, piece_fate::suspect, piece_fate::split})
            if ((row.fates & fate_bit(fate)) != 0) {
                EXPECT_NE(report.find(std::string("\"kind\":\"") +
                                      std::string(fate_table[std::size_t(fate)].name) +
                                      "\",\"cause\":\"" + std::string(row.code) + '"'),
                          std::string::npos)
                    << fate_table[std::size_t(fate)].name << ' ' << row.code;
            }
}

} // namespace
} // namespace v2list
