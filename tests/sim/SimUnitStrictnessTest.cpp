// The unit ignores what it would not accept: malformed queries, unknown keys, foreign frames,
// malformed bank selects, and key presses that come too soon.
#include <gtest/gtest.h>

#include "sim/SimUnit.h"
#include "tests/sim/ListingReader.h"
#include "tests/sim/UnitDriver.h"

namespace {

TEST(SimUnitStrictnessTest, QueriesNotWrittenExactlyAsKeyAndFlagsGetNoAnswer) {
    const std::string texts[] = {
        "1a0 0",    // lower-case hexadecimal
        "01A0 0",   // leading zero
        "0x1A0 0",  // prefix
        "416 0",    // the key in decimal: no such object
        "1A0  0",   // two blanks
        "1A0",      // no flags
        "1A0 +0",   // sign
        "1A0 0 ",   // trailing blank
        "1234ABCD 0", "FFFFFFFFF 0", "",
    };
    CSimUnit unit;
    UnitDriver d(unit);
    for (const auto& text : texts)
        EXPECT_TRUE(d.Send(UnitDriver::Frame(0x31, text)).empty()) << '"' << text << '"';
    EXPECT_FALSE(d.Send(UnitDriver::Frame(0x31, "1A0 0")).empty());
}

TEST(SimUnitStrictnessTest, LoadNewPresetListsItsChildrenOnlyWithFlags2) {
    CSimUnit unit;
    UnitDriver d(unit);
    const long lnp = listing::FindChildKey(d.Query(static_cast<std::uint32_t>(listing::FindChildKey(
                                                       d.Query(0, 0), "program functions")),
                                                   0),
                                           "load new preset");
    ASSERT_GT(lnp, 0);
    EXPECT_EQ(listing::FindChildKey(d.Query(static_cast<std::uint32_t>(lnp), 0), "bank:"), -1);
    EXPECT_GT(listing::FindChildKey(d.Query(static_cast<std::uint32_t>(lnp), 2), "bank:"), 0);
}

TEST(SimUnitStrictnessTest, RootDecoyColumnsDoNotAnswerForAProcessor) {
    // The root lists a column of value 0 and one with bit 28 set besides bit 26 before the real
    // ones; only the qualifying values lead to a column with information.
    CSimUnit unit;
    UnitDriver d(unit);
    const auto root = d.Query(0, 0);
    EXPECT_NE(root.find("COL 0 0 0"), std::string::npos);
    EXPECT_NE(root.find("COL 0 140000A0 0"), std::string::npos);
    EXPECT_EQ(listing::InfoKey(d.Query(0x140000A0, 0)), -1);
    EXPECT_GT(listing::InfoKey(d.Query(static_cast<std::uint32_t>(listing::ColumnKey(root, 1)), 0)),
              0);
}

TEST(SimUnitStrictnessTest, ForeignFramesAreIgnored) {
    const std::string frames[] = {
        std::string("\xF0\x1C\x71\x00\x31"
                    "0 0\xF7",
                    9),  // another device
        std::string("\xF0\x1C\x70\x01\x31"
                    "0 0\xF7",
                    9),  // fourth byte not 00
        std::string("\xF0\x1C\x70\x00\x31"
                    "0 0",
                    8),  // no end
        std::string("\xF0\x1C\x70\x00\x77"
                    "0 0\xF7",
                    9),  // unknown type
        std::string("\xF0\x1C\x70\x00\x0B"
                    "x\xF7",
                    7),              // program request with a payload
        std::string("\xB0\x05", 2),  // control change
    };
    CSimUnit unit;
    UnitDriver d(unit);
    for (const auto& f : frames) EXPECT_TRUE(d.Send(f).empty());
}

TEST(SimUnitStrictnessTest, MalformedBankSelectsChangeNothing) {
    const std::string payloads[] = {
        std::string("\x00\x00\x00\x05\x00\x03", 6),  // processor 3
        std::string("\x00\x00\x00\x05\x00\x00", 6),  // processor 0
        std::string("\x00\x00\x06\x04\x00\x01", 6),  // bank 100
        std::string("\x00\x00\x00\x15\x00\x01", 6),  // low nibble over 15
        std::string("\x01\x00\x00\x05\x00\x01", 6),  // first byte not 0
        std::string("\x00\x00\x00\x05\x00", 5),      // short
        std::string("\x00\x00\x00\x05\x00\x01\x00", 7),
    };
    CSimUnit unit;
    UnitDriver d(unit);
    for (const auto& p : payloads) d.Send(UnitDriver::Frame(0x03, p));
    EXPECT_EQ(unit.SelectedBank(1), 0);
    EXPECT_EQ(unit.SelectedBank(2), 0);
    EXPECT_EQ(unit.CurrentProcessor(), 1);
    d.BankSelect(37, 2, 0);  // 02 05
    EXPECT_EQ(unit.SelectedBank(2), 37);
    EXPECT_EQ(unit.SelectedBank(1), 0);
}

// The shortest pause between key presses is 100 ms: the librarian's delete sequence works with
// 100 ms between its keys and does nothing with 99.
TEST(SimUnitStrictnessTest, KeyPressSoonerThan100MsIsIgnored) {
    for (const int gap : {100, 99}) {
        CSimUnit unit;
        UnitDriver d(unit);
        d.DeletePreset(10, 1, 0, 1, gap);
        SCOPED_TRACE("gap " + std::to_string(gap));
        EXPECT_EQ(unit.Programs(10).size(), gap >= 100 ? 2u : 3u);
        EXPECT_EQ(unit.TooSoonKeyCount(), gap >= 100 ? 0 : 2);
    }
}

// Served in real time, the unit allows for a little jitter but still refuses a missing pause.
TEST(SimUnitStrictnessTest, ToleranceForJitterStillRefusesAMissingPause) {
    for (const int gap : {80, 79, 1}) {
        CSimUnit unit;
        unit.SetKeyGapTolerance(20);
        UnitDriver d(unit);
        d.DeletePreset(10, 1, 0, 1, gap);
        SCOPED_TRACE("gap " + std::to_string(gap));
        EXPECT_EQ(unit.Programs(10).size(), gap >= 80 ? 2u : 3u);
    }
}

TEST(SimUnitStrictnessTest, TooSoonIsMeasuredFromTheLastAcceptedPress) {
    CSimUnit unit;
    UnitDriver d(unit);
    d.Press({UnitDriver::C3R3}, 60);   // accepted: program functions 1
    d.Press({UnitDriver::C1R3}, 60);   // 60 ms: ignored
    d.Press({UnitDriver::C1R3}, 100);  // 120 ms after the accepted one: page 2
    EXPECT_EQ(unit.PanelScreen(), "program functions 2");
    EXPECT_EQ(unit.TooSoonKeyCount(), 1);
}

// Read off a line, a press is known only to have arrived between the moment the reader last
// found the line empty and the moment it read the press. The unit counts each press from the
// earliest moment in that window that is far enough after the previous one, and ignores it only
// when there is no such moment: presses read together after a delay are not bunched when the
// delay left room for the pauses, and a press certainly too soon is still ignored.
TEST(SimUnitStrictnessTest, APressIsTooSoonOnlyWhenItsArrivalLeavesNoRoomForThePause) {
    const auto at = [](int ms) { return FrameArrival::At(ms); };
    const auto within = [](int from, int to) { return FrameArrival::Between(from, to); };
    struct Case {
        const char* what;
        std::vector<FrameArrival> mores;  // after PROGRAM, which arrived at 0 ms
        int ignored;
    };
    const Case cases[] = {
        {"read as they came, 100 ms apart", {at(100), at(200)}, 0},
        {"read as they came, both sooner than 80 ms after the first", {at(40), at(79)}, 2},
        {"read together after the reader was away 295 ms", {within(5, 300), within(5, 300)}, 0},
        {"read together after the reader was away 50 ms", {within(250, 300), within(250, 300)}, 1},
        {"three together, room for two", {within(5, 170), within(5, 170), within(5, 170)}, 1},
        {"one read 140 ms late, the next read as it came", {within(10, 150), at(160)}, 0},
        {"one read 10 ms late, the next 5 ms after it", {within(140, 150), at(155)}, 1},
    };
    const std::string program = UnitDriver::Frame(0x01, UnitDriver::KeyPattern({UnitDriver::C3R3}));
    const std::string more = UnitDriver::Frame(0x01, UnitDriver::KeyPattern({UnitDriver::C1R3}));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CSimUnit unit;
        unit.SetKeyGapTolerance(20);
        unit.HandleFrame(program, at(0));
        for (const FrameArrival& arrival : c.mores) unit.HandleFrame(more, arrival);
        EXPECT_EQ(unit.TooSoonKeyCount(), c.ignored);
        // PROGRAM opens page 1; each MORE taken turns one page on.
        const auto taken = static_cast<int>(c.mores.size()) - c.ignored;
        EXPECT_EQ(unit.PanelScreen(), "program functions " + std::to_string(1 + taken % 3));
    }
}

TEST(SimUnitStrictnessTest, PatternsThatAreNoKeysAreIgnored) {
    CSimUnit unit;
    UnitDriver d(unit);
    d.Send(UnitDriver::Frame(0x01, std::string(8, '\x0F')));  // nothing down
    d.Send(UnitDriver::Frame(0x01, std::string("\x0F\x0F\x0F\x17\x0F\x0F\x0F\x0F", 8)));
    d.Send(UnitDriver::Frame(0x01, std::string("\x0F\x0F\x0F\x07\x0F\x0F\x0F", 7)));
    EXPECT_EQ(unit.PanelScreen(), "main");
    d.Press({UnitDriver::C3R3}, 100);
    EXPECT_EQ(unit.PanelScreen(), "program functions 1");
}

TEST(SimUnitStrictnessTest, ProgramChangeOnlyOnTheReceiveChannel) {
    CSimUnit unit;
    UnitDriver d(unit);
    unit.SetReceiveChannel(3);
    d.ProgramChange(0, 2, 300);
    EXPECT_EQ(unit.LoadedProgram(1)->number, 0);
    d.ProgramChange(3, 2, 300);
    EXPECT_EQ(unit.LoadedProgram(1)->number, 2);
    d.ProgramChange(3, 4, 300);  // no program 4 in bank 0: keeps running 2
    EXPECT_EQ(unit.LoadedProgram(1)->number, 2);
}

}  // namespace
