// The unit's listings read the way the librarian reads them: the object tree walked from the root,
// the lists' items, the processor columns and their information text.
#include <gtest/gtest.h>

#include "sim/ProgramText.h"
#include "sim/SimUnit.h"
#include "tests/sim/ListingReader.h"
#include "tests/sim/UnitDriver.h"

namespace {

struct Keys {
    long banks = -1, programs = -1, deletable = -1;
};

// The catalogue's walk: root -> "program functions" -> "load new preset" (flags 2) -> lists, and
// "program functions" -> "delete preset" -> "delete: %s".
Keys Walk(UnitDriver& d) {
    Keys keys;
    const auto root = d.Query(0, 0);
    const long pf = listing::FindChildKey(root, "program functions");
    if (pf < 0) return keys;
    const auto functions = d.Query(static_cast<std::uint32_t>(pf), 0);
    const long lnp = listing::FindChildKey(functions, "load new preset");
    const long dp = listing::FindChildKey(functions, "delete preset");
    if (lnp >= 0) {
        const auto load = d.Query(static_cast<std::uint32_t>(lnp), 2);
        keys.banks = listing::FindChildKey(load, "bank:");
        keys.programs = listing::FindChildKey(load, "programs:");
    }
    if (dp >= 0)
        keys.deletable =
            listing::FindChildKey(d.Query(static_cast<std::uint32_t>(dp), 0), "delete: %s");
    return keys;
}

std::vector<std::string> List(UnitDriver& d, long key) {
    return listing::ParseListReply(d.Query(static_cast<std::uint32_t>(key), 0));
}

TEST(ListingReaderTest, ReadsABankListReply) {
    EXPECT_EQ(listing::ParseListReply(
                  "21 0 2B 0 'bank:' '' 3 '0 Factory' 0 '0 Factory' ' 1 Mine' '12 Live'"),
              (std::vector<std::string>{"0 Factory", "1 Mine", "12 Live"}));
    EXPECT_EQ(UnitDriver::TablePosition('-'), 15);
    EXPECT_EQ(UnitDriver::TablePosition('%'), 26);
    EXPECT_EQ(UnitDriver::TablePosition('0'), 85);
}

TEST(SimUnitListingTest, WalkFindsEveryListAndTheFactoryBanks) {
    CSimUnit unit;
    UnitDriver d(unit);
    const Keys keys = Walk(d);
    ASSERT_GE(keys.banks, 0);
    ASSERT_GE(keys.programs, 0);
    ASSERT_GE(keys.deletable, 0);

    const auto banks = List(d, keys.banks);
    ASSERT_EQ(banks.size(), unit.Banks().size());
    EXPECT_EQ(banks.front(), "0 Halls");
    EXPECT_EQ(banks.back(), "20 Jo's Scratch");  // double-quoted on the wire
    for (std::size_t i = 0; i < banks.size(); ++i)
        EXPECT_EQ(std::atoi(banks[i].c_str()), unit.Banks()[i].number) << banks[i];

    EXPECT_EQ(List(d, keys.programs),
              (std::vector<std::string>{"0 Big Hall", "1 Small Hall", "2 Church", "3 Plate Hall",
                                        "5 Mike's Plate", "6 My Hall"}));
    EXPECT_EQ(List(d, keys.deletable), (std::vector<std::string>{"5 Mike's Plate", "6 My Hall"}));
}

// Each list follows the bank last selected, on either processor; the reply's shape changes with
// the current item (single quotes, double quotes, none) and every shape reads the same.
TEST(SimUnitListingTest, ListsFollowTheLastBankSelect) {
    struct Case {
        int bank, dsp, program;  // program: a program change after the select, -1 none
        std::vector<std::string> programs, deletable;
    };
    const Case cases[] = {
        {10,
         1,
         -1,
         {"0 Vocal Plate", "1 Guitar Wash", "3 Snare Room"},
         {"0 Vocal Plate", "1 Guitar Wash", "3 Snare Room"}},
        {12, 2, 1, {"0 Stage Verb", "1 Monitor Slap"}, {"0 Stage Verb", "1 Monitor Slap"}},
        {2, 2, 3, {"0 Tape Echo", "1 Ping Pong", "2 Dual Delay", "3 Slapback"}, {}},
        {0,
         1,
         5,
         {"0 Big Hall", "1 Small Hall", "2 Church", "3 Plate Hall", "5 Mike's Plate", "6 My Hall"},
         {"5 Mike's Plate", "6 My Hall"}},
        {20, 1, -1, {}, {}},
        {7, 2, -1, {}, {}},  // no such bank
    };
    for (const auto& c : cases) {
        CSimUnit unit;
        UnitDriver d(unit);
        const Keys keys = Walk(d);
        d.BankSelect(c.bank, c.dsp, 300);
        if (c.program >= 0) d.ProgramChange(0, c.program, 300);
        SCOPED_TRACE("bank " + std::to_string(c.bank));
        EXPECT_EQ(List(d, keys.programs), c.programs);
        EXPECT_EQ(List(d, keys.deletable), c.deletable);
        EXPECT_EQ(unit.SelectedBank(c.dsp), c.bank);
        EXPECT_EQ(unit.CurrentProcessor(), c.dsp);
    }
}

TEST(SimUnitListingTest, ColumnsAnswerBySelectorAndCarryTheInformationText) {
    CSimUnit unit;
    UnitDriver d(unit);
    d.BankSelect(3, 2, 300);
    d.ProgramChange(0, 1, 300);  // DSP B runs "Fifth Up"

    const auto root = d.Query(0, 0);
    const long colA = listing::ColumnKey(root, 1);
    const long colB = listing::ColumnKey(root, 2);
    ASSERT_GT(colA, 0);
    ASSERT_GT(colB, 0);
    EXPECT_NE(colA, colB);
    EXPECT_NE(root.find("DSP A: Big Hall"), std::string::npos);
    EXPECT_NE(root.find("DSP B: Fifth Up"), std::string::npos);

    const long infoA = listing::InfoKey(d.Query(static_cast<std::uint32_t>(colA), 0));
    const long infoB = listing::InfoKey(d.Query(static_cast<std::uint32_t>(colB), 0));
    ASSERT_GT(infoA, 0);
    ASSERT_GT(infoB, 0);
    EXPECT_EQ(listing::InfoText(d.Query(static_cast<std::uint32_t>(infoA), 0)),
              "A wide concert hall with a long, dark tail. "
              "Mix: 35% wet, algorithm Stereo Hall. "
              "Knob 1 sets the time, knob 2 the tone. ");
    EXPECT_EQ(listing::InfoText(d.Query(static_cast<std::uint32_t>(infoB), 0)),
              "A perfect fifth above the input. Mix: 40% wet, algorithm Pitch Shift. "
              "Knob 1 sets the time, knob 2 the tone. ");
    // The percent sign travels doubled.
    EXPECT_NE(d.Query(static_cast<std::uint32_t>(infoA), 0).find("35%% wet"), std::string::npos);
}

TEST(SimUnitListingTest, ProgramWithoutInformationHasNoInfoLine) {
    CSimUnit unit;
    UnitDriver d(unit);
    d.BankSelect(12, 1, 300);
    d.ProgramChange(0, 1, 300);  // "Monitor Slap"
    const long col = listing::ColumnKey(d.Query(0, 0), 1);
    ASSERT_GT(col, 0);
    EXPECT_EQ(listing::InfoKey(d.Query(static_cast<std::uint32_t>(col), 0)), -1);
}

TEST(SimUnitListingTest, InformationWithAnApostropheOrQuotesStillReads) {
    CSimUnit unit;
    UnitDriver d(unit);
    ASSERT_TRUE(unit.AddProgram(
        20, 0, "preset \"Odd\"\ninfo It's 50% of the \"wet\" one.\ninfo plain\n", true));
    d.BankSelect(20, 1, 300);
    d.ProgramChange(0, 0, 300);
    const long col = listing::ColumnKey(d.Query(0, 0), 1);
    const long info = listing::InfoKey(d.Query(static_cast<std::uint32_t>(col), 0));
    ASSERT_GT(info, 0);
    EXPECT_EQ(listing::InfoText(d.Query(static_cast<std::uint32_t>(info), 0)),
              "It's 50% of the 'wet' one. plain ");
}

}  // namespace
