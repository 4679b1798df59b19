// The bytes of frames, key patterns and the name table.
#include <gtest/gtest.h>

#include "engine/KeyPatterns.h"
#include "engine/NameTable.h"
#include "engine/Protocol.h"
#include "tests/engine/FakeLink.h"

namespace {

std::string FrameHex(std::uint8_t type, const std::vector<std::uint8_t>& payload) {
    const auto frame = protocol::BuildFrame(type, payload.data(), static_cast<int>(payload.size()));
    return Hex(frame.data(), static_cast<int>(frame.size()));
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(Frame, KnownFrames) {
    struct Case {
        const char* what;
        std::string hex;
        std::string expected;
    } cases[] = {
        {"root query", FrameHex(0x31, Bytes(protocol::ObjectQueryText(0, 0))),
         "F0 1C 70 00 31 30 20 30 F7"},
        {"query 8000ABC flags 2", FrameHex(0x31, Bytes(protocol::ObjectQueryText(0x8000ABC, 2))),
         "F0 1C 70 00 31 38 30 30 30 41 42 43 20 32 F7"},
        {"digit 7",
         FrameHex(protocol::MSG_KEY,
                  {kKeyPatterns[KEY_DIGIT_7].begin(), kKeyPatterns[KEY_DIGIT_7].end()}),
         "F0 1C 70 00 01 0D 0F 0F 0F 0F 0F 0F 0F F7"},
        {"bank 37 DSP B", FrameHex(protocol::MSG_BANK_SELECT, protocol::BankSelectPayload(37, 2)),
         "F0 1C 70 00 03 00 00 02 05 00 02 F7"},
        {"bank 5 DSP A", FrameHex(protocol::MSG_BANK_SELECT, protocol::BankSelectPayload(5, 1)),
         "F0 1C 70 00 03 00 00 00 05 00 01 F7"},
        {"bank 99 DSP A", FrameHex(protocol::MSG_BANK_SELECT, protocol::BankSelectPayload(99, 1)),
         "F0 1C 70 00 03 00 00 06 03 00 01 F7"},
        {"program request", FrameHex(protocol::MSG_PROGRAM_REQUEST, {}), "F0 1C 70 00 0B F7"},
        {"payload bytes unchanged", FrameHex(0x0A, {0x00, 0xF7, 0xF0, 0x80}),
         "F0 1C 70 00 0A 00 F7 F0 80 F7"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.hex, c.expected) << c.what;
}

TEST(Frame, ObjectQueryTextIsUpperHexWithoutLeadingZeros) {
    EXPECT_EQ(protocol::ObjectQueryText(0, 0), "0 0");
    EXPECT_EQ(protocol::ObjectQueryText(0x8000ABC, 2), "8000ABC 2");
    EXPECT_EQ(protocol::ObjectQueryText(0x0F, 0), "F 0");
    EXPECT_EQ(protocol::ObjectQueryText(0x7FFFFFFF, 0), "7FFFFFFF 0");
}

TEST(Frame, ProgramChange) {
    const auto ch0 = protocol::ProgramChange(0, 5);
    const auto ch15 = protocol::ProgramChange(15, 5);
    EXPECT_EQ(Hex(ch0.data(), 2), "C0 05");
    EXPECT_EQ(Hex(ch15.data(), 2), "CF 05");
}

TEST(Frame, ReplyTextAcceptsOnlyTheUnitsHeader) {
    struct Case {
        std::string reply;
        std::string text;
    } cases[] = {
        {std::string("\xF0\x1C\x70\x00"
                     "abc",
                     7),
         "abc"},
        {std::string("\xF0\x1C\x70\x7E"
                     "abc",
                     7),
         "abc"},  // the fourth byte is not examined
        {std::string("\xF0\x1C\x71\x00"
                     "abc",
                     7),
         ""},
        {std::string("\xF0\x1C\x70", 3), ""},
        {std::string("\xF0\x1C\x70\x00", 4), ""},
        {"", ""},
        {std::string("\xF0\x1C\x70\x00"
                     "ab\xF7",
                     7),
         "ab\xF7"},  // a MIDI reply's end byte stays
    };
    for (const auto& c : cases) EXPECT_EQ(protocol::ReplyText(c.reply), c.text) << Hex(c.reply);
}

TEST(KeyPatternTable, AllPatternsInTableOrder) {
    const std::string expected[kKeyPatternCount] = {
        "0F 0F 0F 0B 0F 0F 0F 0F", "0F 0F 0F 0F 0F 0F 0F 0B", "0F 07 0F 0F 0F 0F 0F 0F",
        "0F 0F 0F 07 0F 0F 0F 0F", "0F 0F 0F 0F 0F 0F 0E 0F", "0F 0F 0F 0E 0F 0F 0F 0F",
        "0F 0E 0F 0F 0F 0F 0F 0F", "0F 0E 0F 0F 0F 0D 0F 0F", "0F 0F 0F 0E 0F 0D 0F 0F",
        "0F 0F 0F 0F 0F 0E 0F 0F", "0F 0F 0F 0F 0F 0F 0D 0F", "0F 0F 0F 0F 0F 0F 07 0F",
        "0F 0F 0F 0F 0F 0F 0B 0F", "07 0F 0F 0F 0F 0F 0F 0F", "0F 0F 07 0F 0F 0F 0F 0F",
        "0F 0F 0F 0F 07 0F 0F 0F", "0B 0F 0F 0F 0F 0F 0F 0F", "0F 0F 0B 0F 0F 0F 0F 0F",
        "0F 0F 0F 0F 0B 0F 0F 0F", "0D 0F 0F 0F 0F 0F 0F 0F", "0F 0F 0D 0F 0F 0F 0F 0F",
        "0F 0F 0F 0F 0D 0F 0F 0F", "0F 0F 0E 0F 0F 0F 0F 0F",
    };
    for (int k = 0; k < kKeyPatternCount; ++k)
        EXPECT_EQ(Hex(kKeyPatterns[k].data(), 8), expected[k]) << "pattern " << k;
}

TEST(KeyPatternTable, DigitKeysFormTheKeypad) {
    const KeyPattern expected[10] = {KEY_DIGIT_0, KEY_DIGIT_1, KEY_DIGIT_2, KEY_DIGIT_3,
                                     KEY_DIGIT_4, KEY_DIGIT_5, KEY_DIGIT_6, KEY_DIGIT_7,
                                     KEY_DIGIT_8, KEY_DIGIT_9};
    for (int d = 0; d < 10; ++d) EXPECT_EQ(DigitKey(d), expected[d]) << d;
}

TEST(NameTable, PositionsOfFirstOccurrence) {
    struct Case {
        char c;
        int position;
    } cases[] = {
        {';', 0},   {':', 1},   {'/', 2},   {'`', 8},     {'\\', 11}, {'-', 15}, {'}', 16},
        {'\'', 20}, {'*', 23},  {'&', 24},  {'%', 26},    {'$', 28},  {'!', 31}, {'z', 32},
        {'a', 57},  {' ', 58},  {'A', 59},  {'Z', 84},    {'0', 85},  {'9', 94}, {'.', 95},
        {'"', -1},  {'\t', -1}, {'\0', -1}, {'\xE9', -1},
    };
    for (const auto& c : cases) EXPECT_EQ(nametable::Position(c.c), c.position) << c.c;
    EXPECT_EQ(nametable::kCharacters.size(), 98u);
    EXPECT_EQ(nametable::kCharacters[27], '%');
    EXPECT_EQ(nametable::kCharacters[96], '-');
    EXPECT_EQ(nametable::kCharacters[97], '%');
}

}  // namespace
