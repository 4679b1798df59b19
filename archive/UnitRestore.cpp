#include "archive/UnitRestore.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "archive/UnitBackup.h"
#include "engine/HeldOperation.h"
#include "engine/Librarian.h"
#include "engine/NameTable.h"
#include "engine/Protocol.h"
#include "engine/RegularFileReader.h"
#include "engine/UnitRanges.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

// How many programs of each name (trailing blanks ignored) a bank lists.
std::map<std::string, int> NameCounts(const std::vector<ProgramEntry>& programs) {
    std::map<std::string, int> counts;
    for (const auto& entry : programs) {
        if (ListEntryNumber(entry.text) < 0) continue;
        ++counts[TrimmedName(ListEntryName(entry.text))];
    }
    return counts;
}

}  // namespace

RestoreStep CUnitRestore::PlannedLoad(const std::string& folder, int bank,
                                      const ManifestProgram& program) const {
    RestoreStep step{RestoreStep::Kind::Refuse, bank, program.name, {}, program.file, false, {}, {}};
    // Read once, here: what is loaded later is these bytes, whatever happens to the file.
    std::string data;
    const auto read =
        filereader::ReadRegularFile((fs::path(folder) / program.file).string(),
                                    CLibrarian::kMaxPatchFileSize, filereader::Links::Refuse, data);
    if (read.result != filereader::Result::Read) {
        step.missing = read.missing;
        step.reason = read.error;
        return step;
    }
    if (static_cast<std::int64_t>(data.size()) != program.bytes ||
        Sha256Hex(data) != program.sha256)
        return step;  // changed since backup
    step.reason = protocol::UnsendableReason(data, m_engine.CurrentTransport());
    if (!step.reason.empty()) return step;
    step.kind = RestoreStep::Kind::Load;
    step.content = std::move(data);
    return step;
}

std::string StepLine(const RestoreStep& s) {
    const std::string bank = std::to_string(s.bank);
    switch (s.kind) {
        case RestoreStep::Kind::CreateBank:
            return "create bank " + bank + " " + s.name;
        case RestoreStep::Kind::KeepBank:
            return "keep bank " + bank + " \"" + s.name + "\" (backup: \"" + s.backupName + "\")";
        case RestoreStep::Kind::Skip:
            return "skip " + bank + " " + s.name + " (present)";
        case RestoreStep::Kind::Load:
            return "load " + bank + " " + s.file;
        case RestoreStep::Kind::Refuse:
            return "refuse " + bank + " " + s.file +
                   (s.missing          ? " (missing)"
                    : s.reason.empty() ? " (changed since backup)"
                                       : " (" + s.reason + ")");
    }
    return {};
}

CUnitRestore::Result CUnitRestore::Plan(const std::string& folder, const std::vector<int>& banks,
                                        RestorePlan& plan) {
    plan = RestorePlan{};
    plan.folder = folder;
    Manifest manifest;
    std::string error;
    if (!LoadManifest(folder, manifest, error)) {
        m_visitor.OnMessage(error);
        return Result::Refused;
    }
    // The whole manifest is refused when any of its files lies outside the folder.
    for (const auto& bank : manifest.banks) {
        for (const auto& program : bank.programs) {
            if (!program.file.empty() && !InsideFolder(folder, program.file)) {
                m_visitor.OnMessage("The manifest names a file outside " + folder + ": " +
                                    program.file + "; nothing is restored.");
                return Result::Refused;
            }
        }
    }
    // Banks the unit cannot have: the run could neither select nor create them (a bank select
    // carries two digits, a bank name at most nametable::kMaxNameLength characters).
    for (const auto& bank : manifest.banks) {
        if (!unit_ranges::IsBank(bank.number)) {
            m_visitor.OnMessage("The manifest names bank " + std::to_string(bank.number) +
                                ", which the unit cannot have (its banks are 0 to 99); nothing "
                                "is restored.");
            return Result::Refused;
        }
        const std::size_t length = nametable::CharacterCount(bank.name);
        if (length > nametable::kMaxNameLength) {
            m_visitor.OnMessage("The manifest names bank " + std::to_string(bank.number) +
                                " with a name of " + std::to_string(length) +
                                " characters; a bank name holds at most " +
                                std::to_string(nametable::kMaxNameLength) +
                                " characters. Nothing is restored.");
            return Result::Refused;
        }
    }
    const std::set<int> wanted(banks.begin(), banks.end());
    for (int n : wanted) {
        const bool held = std::any_of(manifest.banks.begin(), manifest.banks.end(),
                                      [n](const auto& b) { return b.number == n; });
        if (!held) {
            m_visitor.OnMessage("The backup holds no bank " + std::to_string(n) + ".");
            return Result::Refused;
        }
    }
    std::vector<ManifestBank> chosen;
    for (const auto& bank : manifest.banks) {
        if (wanted.empty() || wanted.count(bank.number) != 0) chosen.push_back(bank);
    }
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const auto& a, const auto& b) { return a.number < b.number; });

    // A unit that goes while the lists are read is told once.
    CHeldOperation held(m_engine);
    // Read from the unit, never from the engine's catalogue: the unit may have changed since the
    // catalogue was read (banks made or removed on its panel, another unit on the same port).
    std::vector<std::string> unitBanks;
    if (m_engine.ReadBankList(unitBanks) != 0) {
        m_visitor.OnMessage("Cannot read the bank list of the unit.");
        return Result::Failed;
    }
    plan.line = estimate::CurrentLine(m_engine);
    plan.unitBanks = static_cast<int>(unitBanks.size());
    std::map<int, std::string> unitNames;
    for (const auto& entry : unitBanks)
        unitNames[ListEntryNumber(entry)] = ListEntryName(entry);

    for (const auto& bank : chosen) {
        std::map<std::string, int> present;
        const auto onUnit = unitNames.find(bank.number);
        if (onUnit == unitNames.end()) {
            // A bank needs a name with a character other than a blank: a name the unit cannot
            // type at all (or an empty one from an older backup) gets the name a new bank is
            // offered, rather than a creation the run would refuse.
            std::string typed = nametable::TypedName(bank.name);
            if (nametable::IsBlankName(typed)) typed = "Bank " + std::to_string(bank.number);
            plan.bankNames[bank.number] = typed;
            plan.steps.push_back({RestoreStep::Kind::CreateBank,
                                  bank.number,
                                  typed,
                                  bank.name,
                                  {},
                                  false,
                                  {},
                                  {}});
        } else {
            plan.bankNames[bank.number] = onUnit->second;
            if (TrimmedName(onUnit->second) != TrimmedName(bank.name))
                plan.steps.push_back({RestoreStep::Kind::KeepBank,
                                      bank.number,
                                      onUnit->second,
                                      bank.name,
                                      {},
                                      false,
                                      {},
                                      {}});
            const bool hasUser = std::any_of(bank.programs.begin(), bank.programs.end(),
                                             [](const auto& p) { return p.user; });
            if (hasUser) {
                std::vector<ProgramEntry> programs;
                if (m_engine.SelectBank(bank.number, m_nDsp, true) != 0 ||
                    m_engine.GetProgramList(programs) != 0) {
                    m_visitor.OnMessage("Cannot read the programs of bank " +
                                        std::to_string(bank.number) + " on the unit.");
                    return Result::Failed;
                }
                present = NameCounts(programs);
            }
        }
        for (const auto& program : bank.programs) {
            if (!program.user) continue;
            if (program.file.empty()) {
                m_visitor.OnMessage("Program " + std::to_string(program.number) + " \"" +
                                    program.name + "\" of bank " + std::to_string(bank.number) +
                                    " has no file in the backup; it cannot be restored.");
                continue;
            }
            auto count = present.find(TrimmedName(program.name));
            if (count != present.end() && count->second > 0) {
                --count->second;
                plan.steps.push_back({RestoreStep::Kind::Skip, bank.number, program.name, {},
                                      program.file, false, {}, {}});
                continue;
            }
            plan.steps.push_back(PlannedLoad(folder, bank.number, program));
        }
    }
    return Result::Done;
}

CUnitRestore::Result CUnitRestore::Carry(const RestorePlan& plan) {
    // What is loaded is recorded as restored.
    struct LoadReporting {
        CLibrarian& engine;
        IProgramSightings::How was = engine.LoadSightingHow();
        ~LoadReporting() { engine.SetLoadSightingHow(was); }
    } reporting{m_engine};
    m_engine.SetLoadSightingHow(IProgramSightings::How::Restored);
    m_nLoaded = m_nPresent = m_nNotLoaded = m_nBanksCreated = 0;
    m_nLoadsNotMade = m_nBanksNotCreated = 0;
    m_bCancelled = m_bInterrupted = false;
    m_partlyRestored.clear();
    m_notReached.clear();
    // A unit that goes in the middle is told once, and asked nothing more.
    CHeldOperation held(m_engine);
    const auto lost = [this] {
        if (!m_engine.LinkLost()) return false;
        m_bInterrupted = true;
        m_engine.ReportLinkLoss();
        return true;
    };
    bool failed = false;
    // Progress counts the planned loads, each once, whatever becomes of it.
    const int loads = static_cast<int>(
        std::count_if(plan.steps.begin(), plan.steps.end(),
                      [](const RestoreStep& s) { return s.kind == RestoreStep::Kind::Load; }));
    int loadsReached = 0;
    std::size_t i = 0;
    while (i < plan.steps.size() && !m_bCancelled && !m_bInterrupted) {
        if (m_visitor.ShouldCancel()) {
            m_bCancelled = true;
            break;
        }
        // One bank's steps.
        const int bank = plan.steps[i].bank;
        std::size_t end = i;
        while (end < plan.steps.size() && plan.steps[end].bank == bank) ++end;
        if (loads > 0) m_visitor.OnProgress(IArchiveVisitor::Count::Programs, loadsReached, loads);
        m_visitor.OnBank(bank, plan.steps[i].kind == RestoreStep::Kind::CreateBank ||
                                       plan.steps[i].kind == RestoreStep::Kind::KeepBank
                                   ? plan.steps[i].name
                                   : std::string());
        bool usable = true;
        bool selected = false;
        bool madeAny = false;     // a bank created or a program loaded in this bank
        bool leftAny = false;     // a planned creation or load not made
        const int notMadeBefore = m_nLoadsNotMade + m_nBanksNotCreated;
        std::map<std::string, int> required;  // names the bank must list afterwards
        std::vector<std::string> loadedNames;
        for (std::size_t k = i; k < end; ++k) {
            const RestoreStep& step = plan.steps[k];
            if (step.kind == RestoreStep::Kind::Load) ++loadsReached;
            switch (step.kind) {
                case RestoreStep::Kind::CreateBank:
                    if (m_bInterrupted) {
                        ++m_nBanksNotCreated;
                        break;
                    }
                    if (m_engine.SetBankName(bank, step.name) != 0 ||
                        m_engine.CheckBankName(bank, step.name) != 0) {
                        if (lost()) {
                            ++m_nBanksNotCreated;
                            break;
                        }
                        m_visitor.OnMessage("Cannot create bank " + std::to_string(bank) +
                                            "; its programs are not restored.");
                        usable = false;
                        failed = true;
                    } else {
                        ++m_nBanksCreated;
                        madeAny = true;
                    }
                    break;
                case RestoreStep::Kind::KeepBank:
                    break;
                case RestoreStep::Kind::Skip:
                    ++m_nPresent;
                    ++required[TrimmedName(step.name)];
                    break;
                case RestoreStep::Kind::Refuse:
                    ++m_nNotLoaded;
                    failed = true;
                    break;
                case RestoreStep::Kind::Load:
                    if (m_bCancelled || m_bInterrupted) {
                        ++m_nLoadsNotMade;
                        break;
                    }
                    if (!usable) {
                        ++m_nNotLoaded;
                        break;
                    }
                    if (m_visitor.ShouldCancel()) {
                        m_bCancelled = true;
                        ++m_nLoadsNotMade;
                        break;
                    }
                    if (!selected && m_engine.SelectBank(bank, m_nDsp, true) != 0) {
                        if (lost()) {
                            ++m_nLoadsNotMade;
                            break;
                        }
                        m_visitor.OnMessage("Cannot select bank " + std::to_string(bank) +
                                            "; its programs are not restored.");
                        usable = false;
                        failed = true;
                        ++m_nNotLoaded;
                        break;
                    }
                    selected = true;
                    m_visitor.OnProgress(IArchiveVisitor::Count::Programs, loadsReached - 1, loads);
                    m_visitor.OnProgram(bank, -1, step.name);
                    if (m_engine.LoadPatchText(step.content,
                                               (fs::path(plan.folder) / step.file).string()) != 0) {
                        // Gone during the load: whether the unit kept it cannot be told; it
                        // counts as not made, as the rest.
                        if (lost()) {
                            ++m_nLoadsNotMade;
                            break;
                        }
                        m_visitor.OnMessage("Not loaded: " + step.file + ".");
                        ++m_nNotLoaded;
                        failed = true;
                        break;
                    }
                    ++m_nLoaded;
                    madeAny = true;
                    loadedNames.push_back(step.name);
                    ++required[TrimmedName(step.name)];
                    break;
            }
        }
        // Every loaded program's name must be listed now (as often as it was loaded, plus the
        // programs of that name that were there already).
        leftAny = m_nLoadsNotMade + m_nBanksNotCreated > notMadeBefore;
        if (leftAny) (madeAny ? m_partlyRestored : m_notReached).push_back(bank);
        if (!loadedNames.empty() && !m_bInterrupted) {
            std::vector<ProgramEntry> programs;
            if (m_engine.GetProgramList(programs) != 0) {
                if (lost()) {
                    i = end;
                    break;
                }
                m_visitor.OnMessage("Cannot read the programs of bank " + std::to_string(bank) +
                                    " to check the restore.");
                failed = true;
            } else {
                const auto listed = NameCounts(programs);
                std::set<std::string> reported;
                for (const auto& name : loadedNames) {
                    const std::string trimmed = TrimmedName(name);
                    const auto found = listed.find(trimmed);
                    const int have = found == listed.end() ? 0 : found->second;
                    if (have < required[trimmed] && reported.insert(trimmed).second) {
                        m_visitor.OnMessage("Bank " + std::to_string(bank) + " does not list \"" +
                                            name + "\" after the restore.");
                        failed = true;
                    }
                }
            }
        }
        i = end;
    }
    // The banks not reached: their steps are counted as planned and not made (a program the plan
    // found present is present all the same, a refused one is not loaded all the same).
    for (; i < plan.steps.size(); ++i) {
        const RestoreStep::Kind kind = plan.steps[i].kind;
        if ((kind == RestoreStep::Kind::CreateBank || kind == RestoreStep::Kind::Load) &&
            (m_notReached.empty() || m_notReached.back() != plan.steps[i].bank) &&
            (m_partlyRestored.empty() || m_partlyRestored.back() != plan.steps[i].bank))
            m_notReached.push_back(plan.steps[i].bank);
        switch (kind) {
            case RestoreStep::Kind::CreateBank: ++m_nBanksNotCreated; break;
            case RestoreStep::Kind::KeepBank: break;
            case RestoreStep::Kind::Skip: ++m_nPresent; break;
            case RestoreStep::Kind::Load: ++m_nLoadsNotMade; break;
            case RestoreStep::Kind::Refuse: ++m_nNotLoaded; break;
        }
    }
    if (m_bCancelled) m_visitor.OnMessage("The restore was cancelled.");
    return failed || m_bCancelled || m_bInterrupted ? Result::Failed : Result::Done;
}

std::string CUnitRestore::Summary() const {
    // Only a restore that went through to its end is "finished".
    const char* head = m_bCancelled      ? "Restore cancelled: "
                       : m_bInterrupted ? "Restore interrupted: "
                                        : "Restore finished: ";
    std::string text = head + std::to_string(m_nLoaded) + " programs loaded, " +
                       std::to_string(m_nBanksCreated) + " banks created, " +
                       std::to_string(m_nPresent) + " already present, " +
                       std::to_string(m_nNotLoaded) + " not loaded";
    if (m_bCancelled || m_bInterrupted) {
        text += ", " + std::to_string(m_nLoadsNotMade) + " planned loads";
        if (m_nBanksNotCreated > 0)
            text += " and " + std::to_string(m_nBanksNotCreated) + " planned bank creations";
        text += " not made";
    }
    text += ".";
    const auto line = [&text](const char* what, const std::vector<int>& banks) {
        if (banks.empty()) return;
        text += std::string("\n") + what + ": bank ";
        for (std::size_t k = 0; k < banks.size(); ++k)
            text += (k == 0 ? "" : ", ") + std::to_string(banks[k]);
    };
    line("Partly restored", m_partlyRestored);
    line("Not reached", m_notReached);
    return text;
}

}  // namespace archive
