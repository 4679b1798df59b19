// The unit's numbers (banks 0 to 99, programs 0 to 127, channels 0 to 15) are checked at their
// edges by every engine call that sends one: the last number in range goes out, the first one
// beyond is refused with nothing sent.

#include <gtest/gtest.h>

#include <functional>

#include "engine/UnitRanges.h"
#include "tests/engine/EngineFixture.h"

namespace {

using namespace unit_ranges;

TEST(UnitRanges, AreTheNumbersTheUnitAndAProgramChangeCarry) {
    EXPECT_EQ(kFirstBank, 0);
    EXPECT_EQ(kLastBank, 99);  // two digit keys on the front panel
    EXPECT_EQ(kFirstProgram, 0);
    EXPECT_EQ(kLastProgram, 127);  // seven bits of a MIDI data byte
    EXPECT_EQ(kProgramCount, 128);
    EXPECT_EQ(kFirstChannel, 0);
    EXPECT_EQ(kLastChannel, 15);  // the low four bits of a MIDI status byte
    EXPECT_EQ(kChannelCount, 16);
}

TEST_F(EngineTest, EveryCallThatSendsANumberTakesItsWholeRangeAndNothingBeyond) {
    struct Case {
        const char* what;
        std::function<int(CLibrarian&)> call;
        bool inRange;
    };
    const Case cases[] = {
        {"program change, first program and channel",
         [](CLibrarian& e) { return e.SelectProgram(kFirstChannel, kFirstProgram); }, true},
        {"program change, last program and channel",
         [](CLibrarian& e) { return e.SelectProgram(kLastChannel, kLastProgram); }, true},
        {"program change, program below",
         [](CLibrarian& e) { return e.SelectProgram(0, kFirstProgram - 1); }, false},
        {"program change, program beyond",
         [](CLibrarian& e) { return e.SelectProgram(0, kLastProgram + 1); }, false},
        {"program change, channel below",
         [](CLibrarian& e) { return e.SelectProgram(kFirstChannel - 1, 0); }, false},
        {"program change, channel beyond",
         [](CLibrarian& e) { return e.SelectProgram(kLastChannel + 1, 0); }, false},
        {"bank name, last bank", [](CLibrarian& e) { return e.SetBankName(kLastBank, "A"); }, true},
        {"bank name, bank below", [](CLibrarian& e) { return e.SetBankName(kFirstBank - 1, "A"); },
         false},
        {"bank name, bank beyond", [](CLibrarian& e) { return e.SetBankName(kLastBank + 1, "A"); },
         false},
        {"delete, program beyond",
         [](CLibrarian& e) { return e.DeletePreset(3, kLastProgram + 1, 0, 1); }, false},
        {"delete, channel beyond",
         [](CLibrarian& e) { return e.DeletePreset(3, 7, kLastChannel + 1, 1); }, false},
    };
    LoadBanks({"0 Factory", "3 Mine"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        transcript.clear();
        const int result = c.call(Engine());
        if (c.inRange) {
            EXPECT_FALSE(transcript.empty()) << "nothing was sent";
        } else {
            EXPECT_EQ(result, -2);
            EXPECT_TRUE(transcript.empty()) << "something was sent";
        }
    }
}

TEST_F(EngineTest, AProgramListKeepsTheLastProgramAndLeavesOutTheNext) {
    tree.objects["22 0"] = ListReply({"0 First", "127 Last", "128 Beyond"});
    tree.objects["31 0"] = ListReply({"127 Last", "128 Beyond"});
    std::vector<ProgramEntry> list;
    std::vector<ProgramEntry> leftOut;
    ASSERT_EQ(Engine().GetProgramList(list, leftOut), 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].text, "127 Last");
    ASSERT_EQ(leftOut.size(), 1u);
    EXPECT_EQ(leftOut[0].text, "128 Beyond");
}

}  // namespace
