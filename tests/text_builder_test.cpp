// The JSON report's strings: every byte, in every place of a string, comes
// back out of the JSON as the character of its value, and the string is
// valid JSON (no raw control character, quote or backslash in it).
#include <gtest/gtest.h>

#include <string>

#include "text_builder.hpp"

namespace v2list {
namespace {

// The bytes of a JSON string, each character U+0000 to U+00FF one byte;
// false where the text is not one such string, quotes included.
bool decode_json_string(const std::string& json, std::string& bytes)
{
    if (json.size() < 2 || json.front() != '"' || json.back() != '"')
        return false;
    bytes.clear();
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        auto c = static_cast<unsigned char>(json[i]);
        if (c < 0x20 || c == '"' || c >= 0x80)
            return false; // a raw control byte or quote; or a byte not written as U+00XX
        if (c != '\\') {
            bytes += char(c);
            continue;
        }
        char e = ++i + 1 < json.size() ? json[i] : '\0';
        if (e == '"' || e == '\\' || e == '/')
            bytes += e;
        else if (e == 'u' && i + 5 < json.size() && json.compare(i + 1, 2, "00") == 0)
            bytes += char(std::stoi(json.substr(i + 3, 2), nullptr, 16)), i += 4;
        else
            return false;
    }
    return true;
}

TEST(text_builder, json_strings_hold_every_byte)
{
    for (int c = 0; c < 256; ++c) {
        // The byte alone, inside a run of plain ones, and after 16 of them.
        for (std::string text : {std::string(1, char(c)), "ab" + std::string(1, char(c)) + "cd",
                                 std::string(16, 'x') + char(c) + std::string(20, 'y')}) {
            char out[256];
            text_builder json{out, sizeof out};
            json.put_json(text.data(), text.size());
            std::string bytes;
            ASSERT_TRUE(decode_json_string(std::string(out, json.used), bytes)) << "byte " << c;
            EXPECT_EQ(bytes, text) << "byte " << c;
        }
    }
}

} // namespace
} // namespace v2list
