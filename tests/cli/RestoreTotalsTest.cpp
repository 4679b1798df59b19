// What a restore plan comes to in the user's words, and how long it takes: plans made by hand,
// their totals, and their times against bounds worked out by hand from the engine's pauses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/RestoreTotals.h"

namespace {

using K = archive::RestoreStep::Kind;

archive::RestoreStep Step(K kind, int bank, const std::string& name, std::size_t bytes = 0) {
    archive::RestoreStep step;
    step.kind = kind;
    step.bank = bank;
    step.name = name;
    step.file = name + ".sig";
    step.content = std::string(bytes, 'x');
    return step;
}

TEST(RestoreTotals, PlansInTheUsersWordsWithTheirTime) {
    const estimate::Line serial = estimate::SerialLine(38400, 8, 2, 'n');
    const estimate::Line midi = estimate::MidiLine();
    archive::RestorePlan present;  // one program to load beside two present
    present.steps = {Step(K::Skip, 3, "Lead"), Step(K::Skip, 3, "Pad"),
                     Step(K::Load, 3, "Hall", 100)};
    archive::RestorePlan created;  // a bank "AB" created for two programs; one file changed
    created.steps = {Step(K::CreateBank, 12, "AB"), Step(K::Load, 12, "Vocal", 100),
                     Step(K::Load, 12, "Plate", 100), Step(K::Refuse, 20, "Echo")};
    struct Case {
        const char* what;
        const archive::RestorePlan& plan;
        std::vector<int> banks;  // empty: every bank of the plan
        estimate::Line line;
        std::string totals;
        long atLeastMs;  // the pauses
        long atMostMs;   // and the bytes on the line
    };
    const Case cases[] = {
        // A bank select (300 ms), a load (4000 ms); about 700 bytes (0.2 s) with the lists.
        {"load beside present",
         present,
         {},
         serial,
         "1 program into 1 bank, 0 banks created, 2 present",
         4300,
         4600},
        {"the same over MIDI",
         present,
         {},
         midi,
         "1 program into 1 bank, 0 banks created, 2 present",
         4300,
         4700},
        // "AB" typed (4.7 s), a bank select, two loads: 13 s; about 1200 bytes (0.35 s).
        {"bank created",
         created,
         {},
         serial,
         "2 programs into 1 bank, 1 bank created, 0 present, 1 cannot be restored",
         13000,
         13500},
        {"bank created, checked alone",
         created,
         {12},
         serial,
         "2 programs into 1 bank, 1 bank created, 0 present",
         13000,
         13500},
        // The bank with only a refused file sends nothing.
        {"refused bank alone",
         created,
         {20},
         serial,
         "0 programs into 0 banks, 0 banks created, 0 present, 1 cannot be restored",
         0,
         0},
        {"nothing checked",
         created,
         {-1},
         serial,
         "0 programs into 0 banks, 0 banks created, 0 present",
         0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        archive::RestorePlan plan = c.plan;
        plan.line = c.line;
        const bool all = c.banks.empty();
        EXPECT_EQ(archive::TotalsText(all ? archive::Totals(plan) : archive::Totals(plan, c.banks)),
                  c.totals);
        const long ms =
            static_cast<long>(all ? archive::EstimateMs(plan) : archive::EstimateMs(plan, c.banks));
        EXPECT_GE(ms, c.atLeastMs);
        EXPECT_LE(ms, c.atMostMs);
    }
}

}  // namespace
