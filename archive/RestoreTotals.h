#pragma once
// What a restore plan (UnitRestore.h) will do, in the user's words, and how long it will take.
// The desktop program's plan dialog and the command line's `restore --dry-run` show the same
// totals and the same estimate. Pure functions of the plan; any thread.

#include <cstdint>
#include <string>
#include <vector>

#include "archive/UnitRestore.h"
#include "engine/WorkEstimate.h"

namespace archive {

struct RestoreTotals {
    int programs = 0;      // programs to load
    int banks = 0;         // banks they go into
    int banksCreated = 0;  // banks the plan creates
    int present = 0;       // programs already on the unit
    int refused = 0;       // programs that cannot be restored (changed, missing, unsendable)
};

// Over every bank of `plan`, or only over the banks `banks` (the banks a user left checked).
RestoreTotals Totals(const RestorePlan& plan);
RestoreTotals Totals(const RestorePlan& plan, const std::vector<int>& banks);

// "12 programs into 3 banks, 2 banks created, 41 present", with ", 1 cannot be restored" when
// the plan refuses any (singular forms for 1).
std::string TotalsText(const RestoreTotals& totals);

// The engine's messages that carrying out `plan` sends: the bank creations with their names
// typed, each followed by the bank list read again; per bank with loads a bank select, the
// loads, and its program list read again.
estimate::Work RestoreWork(const RestorePlan& plan);
estimate::Work RestoreWork(const RestorePlan& plan, const std::vector<int>& banks);

// How long carrying out `plan` (or its banks `banks`) takes on the line it was planned for.
std::int64_t EstimateMs(const RestorePlan& plan);
std::int64_t EstimateMs(const RestorePlan& plan, const std::vector<int>& banks);

}  // namespace archive
