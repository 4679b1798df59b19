#include "archive/RestoreTotals.h"

#include <algorithm>
#include <set>

namespace archive {

namespace {

// Every bank the plan has steps for.
std::vector<int> PlannedBanks(const RestorePlan& plan) {
    std::vector<int> banks;
    for (const auto& step : plan.steps)
        if (banks.empty() || banks.back() != step.bank) banks.push_back(step.bank);
    return banks;
}

bool Chosen(const std::vector<int>& banks, int bank) {
    return std::find(banks.begin(), banks.end(), bank) != banks.end();
}

std::string Count(int n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

RestoreTotals Totals(const RestorePlan& plan) {
    return Totals(plan, PlannedBanks(plan));
}

RestoreTotals Totals(const RestorePlan& plan, const std::vector<int>& chosen) {
    RestoreTotals totals;
    std::set<int> banks;
    for (const auto& step : plan.steps) {
        if (!Chosen(chosen, step.bank)) continue;
        switch (step.kind) {
            case RestoreStep::Kind::CreateBank:
                ++totals.banksCreated;
                break;
            case RestoreStep::Kind::KeepBank:
                break;
            case RestoreStep::Kind::Skip:
                ++totals.present;
                break;
            case RestoreStep::Kind::Load:
                ++totals.programs;
                banks.insert(step.bank);
                break;
            case RestoreStep::Kind::Refuse:
                ++totals.refused;
                break;
        }
    }
    totals.banks = static_cast<int>(banks.size());
    return totals;
}

std::string TotalsText(const RestoreTotals& t) {
    std::string text = Count(t.programs, "program", "programs") + " into " +
                       Count(t.banks, "bank", "banks") + ", " +
                       Count(t.banksCreated, "bank", "banks") + " created, " +
                       std::to_string(t.present) + " present";
    if (t.refused > 0) text += ", " + std::to_string(t.refused) + " cannot be restored";
    return text;
}

estimate::Work RestoreWork(const RestorePlan& plan) {
    return RestoreWork(plan, PlannedBanks(plan));
}

estimate::Work RestoreWork(const RestorePlan& plan, const std::vector<int>& chosen) {
    estimate::Work work;
    work.bankListEntries = plan.unitBanks;
    std::size_t i = 0;
    while (i < plan.steps.size()) {
        const int bank = plan.steps[i].bank;
        if (!Chosen(chosen, bank)) {
            ++i;
            continue;
        }
        int loads = 0;
        int present = 0;
        for (; i < plan.steps.size() && plan.steps[i].bank == bank; ++i) {
            const RestoreStep& step = plan.steps[i];
            if (step.kind == RestoreStep::Kind::CreateBank) {
                work.namings.push_back({0, step.name});
                ++work.bankListEntries;  // the lists read after it name the new bank
            } else if (step.kind == RestoreStep::Kind::Skip) {
                ++present;
            } else if (step.kind == RestoreStep::Kind::Load) {
                ++loads;
                work.loads.push_back(step.content.size());
            }
        }
        if (loads > 0) {
            ++work.bankSelects;
            ++work.programListReads;
            work.programListEntries += loads + present;
        }
    }
    return work;
}

std::int64_t EstimateMs(const RestorePlan& plan) {
    return estimate::Of(RestoreWork(plan)).Milliseconds(plan.line);
}

std::int64_t EstimateMs(const RestorePlan& plan, const std::vector<int>& banks) {
    return estimate::Of(RestoreWork(plan, banks)).Milliseconds(plan.line);
}

}  // namespace archive
