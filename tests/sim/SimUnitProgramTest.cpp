// Program change, program request and program load.
#include <gtest/gtest.h>

#include "sim/ProgramText.h"
#include "sim/SimUnit.h"
#include "tests/sim/ListingReader.h"
#include "tests/sim/UnitDriver.h"

namespace {

std::string LoadFrame(const std::string& text) {
    return UnitDriver::Frame(0x0A, text);
}

std::string RequestText(UnitDriver& d) {
    const auto replies = d.Send(UnitDriver::Frame(0x0B, ""));
    if (replies.size() != 1) return "<no reply>";
    EXPECT_EQ(replies.front().substr(0, 4), std::string("\xF0\x1C\x70\x00", 4));
    return replies.front().substr(4, replies.front().size() - 5);
}

TEST(SimUnitProgramTest, ProgramChangeRunsTheProgramOnTheProcessorSelectedLast) {
    CSimUnit unit;
    UnitDriver d(unit);
    d.BankSelect(4, 2, 300);
    d.ProgramChange(0, 2, 300);
    ASSERT_TRUE(unit.LoadedProgram(2));
    EXPECT_EQ(unit.LoadedProgram(2)->name, "Phaser");
    EXPECT_EQ(unit.LoadedProgram(1)->name, "Big Hall");  // DSP A untouched
    EXPECT_EQ(RequestText(d), unit.Programs(4)[2].text);

    d.BankSelect(1, 1, 300);
    d.ProgramChange(15, 3, 300);
    EXPECT_EQ(unit.LoadedProgram(1)->name, "Booth");
    EXPECT_EQ(unit.LoadedProgram(2)->name, "Phaser");
    EXPECT_EQ(RequestText(d), unit.Programs(1)[3].text);
}

TEST(SimUnitProgramTest, LoadStoresAtTheLowestFreeNumberAndShowsInTheRoot) {
    struct Case {
        int bank;
        int expected;
    };
    for (const auto& c : {Case{0, 4}, Case{10, 2}, Case{20, 0}, Case{3, 4}}) {
        CSimUnit unit;
        UnitDriver d(unit);
        d.BankSelect(c.bank, 2, 300);
        const std::string text = sim::MakeProgramText("Loaded One", "Delay", 30, {"new"});
        EXPECT_TRUE(d.Send(LoadFrame(text)).empty());
        SCOPED_TRACE("bank " + std::to_string(c.bank));
        const auto programs = unit.Programs(c.bank);
        const auto it = std::find_if(programs.begin(), programs.end(),
                                     [](const auto& p) { return p.name == "Loaded One"; });
        ASSERT_NE(it, programs.end());
        EXPECT_EQ(it->number, c.expected);
        EXPECT_TRUE(it->user);
        EXPECT_EQ(it->text, text);
        // The completion probe looks for the name in the root listing.
        EXPECT_NE(d.Query(0, 0).find("Loaded One"), std::string::npos);
        EXPECT_EQ(unit.LoadedProgram(2)->number, c.expected);
        // Fetching it back gives the same bytes.
        EXPECT_EQ(RequestText(d), text);
    }
}

TEST(SimUnitProgramTest, LoadIsRefusedWithAnErrorReply) {
    struct Case {
        const char* what;
        std::string text;
        int bank;
        std::string reason;
    };
    const Case cases[] = {
        {"no double quotes", "preset Nameless\nend\n", 10,
         "program refused: no name between double quotes"},
        {"one double quote", "preset \"Half\nend\n", 10,
         "program refused: no name between double quotes"},
        {"empty name", "preset \"\"\nend\n", 10, "program refused: no name between double quotes"},
        {"missing bank", "preset \"Fine\"\n", 7, "program refused: bank 7 does not exist"},
    };
    for (const auto& c : cases) {
        CSimUnit unit;
        UnitDriver d(unit);
        d.BankSelect(c.bank, 1, 300);
        const auto before = unit.Programs(c.bank).size();
        const auto replies = d.Send(LoadFrame(c.text));
        SCOPED_TRACE(c.what);
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_EQ(replies.front(), std::string("\xF0\x1C\x70\x0D", 4) + c.reason + "\xF7");
        EXPECT_EQ(unit.Programs(c.bank).size(), before);
    }
}

TEST(SimUnitProgramTest, FullBankRefusesALoad) {
    CSimUnit unit;
    UnitDriver d(unit);
    for (int n = 0; n <= 127; ++n)
        ASSERT_TRUE(unit.AddProgram(20, n, "\"P" + std::to_string(n) + "\"", true));
    d.BankSelect(20, 1, 300);
    const auto replies = d.Send(LoadFrame("\"One more\""));
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies.front()[3], '\x0D');
}

TEST(SimUnitProgramTest, ProgramRequestWithNothingRunningGetsNoAnswer) {
    CSimUnit unit;
    unit.ClearBanks();
    UnitDriver d(unit);
    EXPECT_TRUE(d.Send(UnitDriver::Frame(0x0B, "")).empty());
    EXPECT_TRUE(unit.Banks().empty());
}

}  // namespace
