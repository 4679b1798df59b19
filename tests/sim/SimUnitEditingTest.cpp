// The front-panel key sequences that delete programs and banks and create or name banks: exactly
// the librarian's sequences do the edit; a wrong order or a missing key does not.
#include <gtest/gtest.h>

#include <functional>

#include "sim/SimUnit.h"
#include "tests/sim/UnitDriver.h"

namespace {

std::vector<int> Numbers(const CSimUnit& unit, int bank) {
    std::vector<int> numbers;
    for (const auto& p : unit.Programs(bank)) numbers.push_back(p.number);
    return numbers;
}

std::optional<std::string> BankName(const CSimUnit& unit, int bank) {
    for (const auto& b : unit.Banks())
        if (b.number == bank) return b.name;
    return std::nullopt;
}

TEST(SimUnitEditingTest, DeletePresetDeletesOnlyTheChosenUserProgram) {
    struct Case {
        int bank, program, dsp;
        std::vector<int> left;
    };
    const Case cases[] = {
        {10, 1, 1, {0, 3}},         {10, 3, 2, {0, 1}},
        {0, 5, 1, {0, 1, 2, 3, 6}}, {0, 2, 1, {0, 1, 2, 3, 5, 6}},  // a factory program stays
        {10, 2, 1, {0, 1, 3}},                                      // no program 2
    };
    for (const auto& c : cases) {
        CSimUnit unit;
        UnitDriver d(unit);
        d.DeletePreset(c.bank, c.program, 0, c.dsp);
        SCOPED_TRACE("bank " + std::to_string(c.bank) + " program " + std::to_string(c.program));
        EXPECT_EQ(Numbers(unit, c.bank), c.left);
        EXPECT_EQ(unit.PanelScreen(), "main");
    }
}

TEST(SimUnitEditingTest, DeletePresetOfProgram10AfterTheChangeTo10) {
    CSimUnit unit;
    ASSERT_TRUE(unit.AddProgram(12, 10, "preset \"Ten\"\n", true));
    UnitDriver d(unit);
    d.DeletePreset(12, 10, 0, 1);
    EXPECT_EQ(Numbers(unit, 12), (std::vector<int>{0, 1}));
}

TEST(SimUnitEditingTest, DeletePresetOutOfOrderDeletesNothing) {
    using Step = std::function<void(UnitDriver&)>;
    const auto key = [](std::vector<UnitDriver::Position> k) {
        return Step([k](UnitDriver& d) { d.Press(k, 500); });
    };
    const Step select = [](UnitDriver& d) { d.BankSelect(10, 1, 500); };
    const Step change = [](UnitDriver& d) {
        d.ProgramChange(0, 10, 500);
        d.ProgramChange(0, 1, 500);
    };
    const Step prog = key({UnitDriver::C3R3}), more = key({UnitDriver::C1R3}),
               yes = key({UnitDriver::C3R0, UnitDriver::C5R1}), execute = key({UnitDriver::C7R2}),
               exit = key({UnitDriver::C5R0});
    const std::vector<std::pair<const char*, std::vector<Step>>> sequences = {
        {"without the page key", {prog, yes, select, change, execute, yes, exit}},
        {"program changed before the delete screen",
         {select, change, prog, more, yes, execute, yes, exit}},
        {"execute and yes swapped", {prog, more, yes, select, change, yes, execute, exit}},
        {"without yes", {prog, more, yes, select, change, execute, exit}},
        {"without the program key", {more, yes, select, change, execute, yes, exit}},
    };
    for (const auto& [what, steps] : sequences) {
        CSimUnit unit;
        UnitDriver d(unit);
        for (const auto& step : steps) step(d);
        EXPECT_EQ(Numbers(unit, 10), (std::vector<int>{0, 1, 3})) << what;
    }
}

TEST(SimUnitEditingTest, DeleteBankRemovesOnlyAnEmptyBank) {
    for (const int bank : {20, 12, 7}) {
        CSimUnit unit;
        UnitDriver d(unit);
        const auto before = unit.Banks().size();
        d.BankSelect(bank, 1, 300);
        d.DeleteBankKeys(bank);
        SCOPED_TRACE("bank " + std::to_string(bank));
        EXPECT_EQ(unit.Banks().size(), bank == 20 ? before - 1 : before);
        EXPECT_EQ(BankName(unit, bank).has_value(), bank == 12);
        EXPECT_EQ(unit.PanelScreen(), "main");
    }
}

TEST(SimUnitEditingTest, SetBankNameCreatesANewBankWithTheTypedName) {
    const std::string names[] = {"A", "ab", "AA", "New Bank", "x-%0 9", "", "Zz;:?!~.", "'q'"};
    for (const auto& name : names) {
        CSimUnit unit;
        UnitDriver d(unit);
        d.SetBankName(42, "", name);
        EXPECT_EQ(BankName(unit, 42), name) << '"' << name << '"';
        EXPECT_EQ(unit.PanelScreen(), "main");
        EXPECT_EQ(unit.TooSoonKeyCount(), 0);
    }
}

TEST(SimUnitEditingTest, SetBankNameRenamesAfterDeletingTheOldName) {
    CSimUnit unit;
    UnitDriver d(unit);
    d.SetBankName(12, "Live", "Stage");
    EXPECT_EQ(BankName(unit, 12), "Stage");
    EXPECT_EQ(unit.Programs(12).size(), 2u);  // programs stay
    d.SetBankName(7, "", "Seven");
    EXPECT_EQ(BankName(unit, 7), "Seven");
    d.SetBankName(7, "Seven", "7");
    EXPECT_EQ(BankName(unit, 7), "7");
}

TEST(SimUnitEditingTest, SetBankNameWithTooFewDeletesKeepsPartOfTheOldName) {
    CSimUnit unit;
    UnitDriver d(unit);
    d.SetBankName(12, "Liv", "e2");  // one delete short of "Live"
    EXPECT_EQ(BankName(unit, 12), "Le2");
}

// Variations of the bank naming sequence that a unit does not follow: nothing is stored.
TEST(SimUnitEditingTest, SetBankNameOutOfOrderStoresNothing) {
    using Step = std::function<void(UnitDriver&)>;
    const auto key = [](std::vector<UnitDriver::Position> k, int pause = 100) {
        return Step([k, pause](UnitDriver& d) { d.Press(k, pause); });
    };
    const Step prog = key({UnitDriver::C3R3}, 500), more = key({UnitDriver::C1R3}, 500),
               upper = key({UnitDriver::C3R2}, 500),
               field = key({UnitDriver::C1R0, UnitDriver::C5R1}), down = key({UnitDriver::C6R2}),
               four = key({UnitDriver::Digit(4)}), two = key({UnitDriver::Digit(2)}),
               enter = key({UnitDriver::C6R0}), yes = key({UnitDriver::C3R0, UnitDriver::C5R1}),
               exit = key({UnitDriver::C5R0}), type = [](UnitDriver&d) { d.TypeName("Hi"); };
    const std::vector<Step> good = {prog,  more,  more, upper, field, field, down,
                                    field, field, four, two,   enter, yes,   exit,
                                    type,  exit,  yes,  yes,   yes,   exit};
    {
        CSimUnit unit;
        UnitDriver d(unit);
        for (const auto& s : good) s(d);
        ASSERT_EQ(BankName(unit, 42), "Hi");
    }
    const auto without = [&good](std::size_t index) {
        auto steps = good;
        steps.erase(steps.begin() + static_cast<long>(index));
        return steps;
    };
    const auto swapped = [&good](std::size_t a, std::size_t b) {
        auto steps = good;
        std::swap(steps[a], steps[b]);
        return steps;
    };
    const std::vector<std::pair<std::string, std::vector<Step>>> variants = {
        {"one page key short", without(1)},
        {"one field key short", without(4)},
        {"step down on the wrong field", swapped(6, 7)},
        {"one digit only", without(9)},
        {"without enter", without(11)},
        {"one yes short at the end", without(16)},
        {"without the last exit", without(19)},
    };
    for (const auto& [what, steps] : variants) {
        CSimUnit unit;
        UnitDriver d(unit);
        for (const auto& s : steps) s(d);
        EXPECT_FALSE(BankName(unit, 42).has_value()) << what;
    }
}

TEST(SimUnitEditingTest, NameEntryNeedsTheSelectorToMoveForARepeatedCharacter) {
    // Without the step up and down, the second of two equal letters is not entered.
    CSimUnit unit;
    UnitDriver d(unit);
    d.Press({UnitDriver::C3R3}, 500);
    d.Press({UnitDriver::C1R3}, 500);
    d.Press({UnitDriver::C1R3}, 500);
    d.Press({UnitDriver::C3R2}, 500);
    for (int i = 0; i < 2; ++i) d.Press({UnitDriver::C1R0, UnitDriver::C5R1}, 100);
    d.Press({UnitDriver::C6R2}, 100);
    for (int i = 0; i < 2; ++i) d.Press({UnitDriver::C1R0, UnitDriver::C5R1}, 100);
    d.Press({UnitDriver::Digit(0)}, 100);
    d.Press({UnitDriver::Digit(8)}, 100);
    d.Press({UnitDriver::C6R0}, 100);
    d.Press({UnitDriver::C3R0, UnitDriver::C5R1}, 100);
    d.Press({UnitDriver::C5R0}, 100);
    d.Press({UnitDriver::C6R3}, 400);  // A
    d.Press({UnitDriver::C1R0}, 200);
    d.Press({UnitDriver::C1R0}, 200);  // no step: nothing
    d.Press({UnitDriver::C5R0}, 100);
    for (int i = 0; i < 3; ++i) d.Press({UnitDriver::C3R0, UnitDriver::C5R1}, 100);
    d.Press({UnitDriver::C5R0}, 100);
    EXPECT_EQ(BankName(unit, 8), "A");
}

}  // namespace
