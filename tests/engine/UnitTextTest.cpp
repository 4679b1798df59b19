// The one rule by which the unit's bytes become text: valid UTF-8 stays, anything else is the
// unit's 8-bit (Latin-1) characters.
#include <gtest/gtest.h>

#include <string>

#include "engine/UnitText.h"

namespace {

TEST(UnitText, TheUnitsBytesReadAsAUserWouldReadThem) {
    const struct {
        const char* what;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"ASCII", "Big Hall 2", "Big Hall 2"},
        {"percent signs", "50%1 %% mix", "50%1 %% mix"},
        {"empty", "", ""},
        {"a zero byte is kept", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"8-bit e acute", "Caf\xE9", "Caf\xC3\xA9"},
        {"8-bit letters and signs", "\xC4rger \xB0\xFF", "\xC3\x84rger \xC2\xB0\xC3\xBF"},
        {"8-bit 0x80 to 0x9F", "\x80\x9F", "\xC2\x80\xC2\x9F"},
        {"UTF-8 e acute", "Caf\xC3\xA9", "Caf\xC3\xA9"},
        {"UTF-8 Cyrillic", "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0", "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0"},
        {"UTF-8 three and four bytes", "\xE2\x82\xAC \xF0\x9F\x8E\xB9", "\xE2\x82\xAC \xF0\x9F\x8E\xB9"},
        // Not UTF-8 as a whole: every byte is one 8-bit character, the UTF-8 part included.
        {"UTF-8 with a stray 8-bit byte", "\xC3\xA9t\xE9", "\xC3\x83\xC2\xA9t\xC3\xA9"},
        {"cut-off sequence at the end", "Caf\xC3", "Caf\xC3\x83"},
        {"lone continuation byte", "a\xA9", "a\xC2\xA9"},
        {"over-long slash", "\xC0\xAF", "\xC3\x80\xC2\xAF"},
        {"over-long three bytes", "\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF"},
        {"UTF-16 surrogate", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
    };
    for (const auto& c : cases) {
        const std::string text = UnitBytesToUtf8(c.bytes);
        EXPECT_EQ(text, c.text) << c.what;
        EXPECT_TRUE(IsValidUtf8(text)) << c.what;
        // Text stays as it is: converting twice changes nothing.
        EXPECT_EQ(UnitBytesToUtf8(text), text) << c.what;
    }
}

TEST(UnitText, ValidUtf8IsWhatUnicodeCallsWellFormed) {
    const struct {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"\x7F", true},
        {"\xC2\x80", true},
        {"\xDF\xBF", true},
        {"\xE0\xA0\x80", true},
        {"\xED\x9F\xBF", true},  // U+D7FF, below the surrogates
        {"\xEE\x80\x80", true},  // U+E000, above them
        {"\xF0\x90\x80\x80", true},
        {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
        {"\xC1\xBF", false},
        {"\xE0\x9F\xBF", false},
        {"\xED\xBF\xBF", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xF5\x80\x80\x80", false},
        {"\xE2\x82", false},
        {"\xE2\x82\x41", false},
        {"\xFF", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

}  // namespace
