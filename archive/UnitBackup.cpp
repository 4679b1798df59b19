#include "archive/UnitBackup.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>

#include "archive/FileWriter.h"
#include "engine/HeldOperation.h"
#include "engine/Librarian.h"
#include "engine/ProgramFetch.h"
#include "engine/ReplyParser.h"
#include "engine/SafeFileName.h"
#include "engine/UnitRanges.h"
#include "settings/LinkSettings.h"
#include "settings/MIDISettings.h"
#include "settings/SerialSettings.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

// The room kept for the manifest: a pretty-printed program entry with a file takes some 250
// bytes, and a bank holds at most 128 programs.
constexpr std::size_t kManifestRoomBase = 64 * 1024;
constexpr std::size_t kManifestRoomPerBank = unit_ranges::kProgramCount * 256;

std::string ProgramText(int bank, int program, const std::string& name) {
    return "bank " + std::to_string(bank) + " program " + std::to_string(program) + " \"" + name +
           "\"";
}

// What a program change and a bank select can reach; the unit may list more.
bool Choosable(const ManifestProgram& program) {
    return unit_ranges::IsProgram(program.number);
}
constexpr const char* kProgramOutOfReach =
    "its number is outside 0 to 127, which a program change cannot choose";
constexpr const char* kBankOutOfReach =
    "its number is outside 0 to 99, which a bank select cannot reach";
constexpr const char* kConnectionLost = "the connection to the unit was lost";

std::string Join(const std::vector<int>& numbers) {
    std::string text;
    for (int n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
    return text;
}

}  // namespace

int ListEntryNumber(const std::string& entry) {
    int number = -1;
    CReplyParser::EntryNumber(entry, number);
    return number;
}

std::string ListEntryName(const std::string& entry) {
    const auto parts = CReplyParser::SplitEntry(entry);
    return parts ? std::string(parts->name) : std::string();
}

std::string BankFolderName(int number, const std::string& name) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02d", number);
    // The same rule as program files: the namer gives "<name>.sig", shortened to fit.
    CBackupNamer namer;
    std::string file = namer.Next(std::string(digits) + " " + name);
    file.resize(file.size() - 4);
    return file;
}

void CUnitBackup::SkipRest(ManifestBank& bank, std::size_t from, Manifest& manifest,
                           const std::string& reason) {
    for (std::size_t i = from; i < bank.programs.size(); ++i) {
        const auto& p = bank.programs[i];
        if (p.user && p.file.empty() && Choosable(p))
            manifest.skipped.push_back({bank.number, p.number, p.name, reason});
    }
}

void CUnitBackup::BackUpBank(const std::string& folder, ManifestBank& bank, Manifest& manifest,
                             int& banksWritten) {
    std::vector<ProgramEntry> listed;
    std::vector<ProgramEntry> outOfReach;  // numbered outside 0 to 127
    if (m_engine.SelectBank(bank.number, m_nDsp, true) != 0 ||
        m_engine.GetProgramList(listed, outOfReach) != 0) {
        manifest.unreadBanks.push_back(bank.number);
        if (LinkLost()) return;  // told once; the summary names the banks not read
        m_visitor.OnMessage("Cannot read the programs of bank " + std::to_string(bank.number) +
                            "; none of them is backed up.");
        if (++m_nListFailuresInRow >= 2) m_bDead = true;
        return;
    }
    m_nListFailuresInRow = 0;
    std::map<int, std::string> listedNames;  // the unit's own bytes, to check each text against
    for (const auto& entry : listed) {
        const int number = ListEntryNumber(entry.text);
        if (number < 0) continue;
        listedNames.emplace(number, ListEntryName(entry.text));
        ManifestProgram program;
        program.number = number;
        program.name = ListEntryName(entry.text);
        program.user = entry.user != 0;
        bank.programs.push_back(std::move(program));
    }
    // Listed, but out of a program change's reach: in the manifest as listed, and every user
    // program among them skipped.
    for (const auto& entry : outOfReach) {
        ManifestProgram program;
        CReplyParser::EntryNumber(entry.text, program.number);
        program.name = ListEntryName(entry.text);
        program.user = entry.user != 0;
        if (program.user) {
            manifest.skipped.push_back(
                {bank.number, program.number, program.name, kProgramOutOfReach});
            m_visitor.OnMessage("Skipped " +
                                ProgramText(bank.number, program.number, program.name) + ": " +
                                kProgramOutOfReach + ".");
        }
        bank.programs.push_back(std::move(program));
    }
    std::stable_sort(bank.programs.begin(), bank.programs.end(),
                     [](const auto& a, const auto& b) { return a.number < b.number; });

    const std::string bankFolder = BankFolderName(bank.number, bank.name);
    bool folderMade = false;
    bool fetchedAny = false;
    int writtenHere = 0;
    CBackupNamer namer;
    filewriter::CRunFiles runFiles;
    const int toFetch = static_cast<int>(
        std::count_if(bank.programs.begin(), bank.programs.end(),
                      [](const ManifestProgram& p) { return p.user && Choosable(p); }));
    int reached = 0;  // of those
    for (std::size_t i = 0; i < bank.programs.size(); ++i) {
        auto& program = bank.programs[i];
        if (!program.user || !Choosable(program)) continue;
        if (!m_bCancelled && m_visitor.ShouldCancel()) m_bCancelled = true;
        if (Stopped()) {
            SkipRest(bank, i, manifest,
                     m_bCancelled ? std::string("the backup was cancelled")
                     : m_bLost    ? std::string("not asked: ") + kConnectionLost
                                  : std::string("not asked: the unit stopped answering"));
            break;
        }
        m_visitor.OnProgress(IArchiveVisitor::Count::Programs, reached++, toFetch);
        m_visitor.OnProgram(bank.number, program.number, program.name);
        const std::string what = ProgramText(bank.number, program.number, program.name);
        fetchedAny = true;
        const ProgramFetch fetch =
            m_engine.FetchProgram(m_nChannel, program.number, listedNames[program.number]);
        if (fetch.status == ProgramFetch::Status::NotSent && LinkLost()) {
            manifest.skipped.push_back({bank.number, program.number, program.name, kConnectionLost});
            continue;  // the rest of the bank is skipped as not asked
        }
        if (fetch.status == ProgramFetch::Status::NotSent) {
            manifest.skipped.push_back({bank.number, program.number, program.name, fetch.reason});
            m_visitor.OnMessage("Skipped " + what + ": " + fetch.reason + ".");
            if (++m_nFailuresInRow >= 2) {
                m_bDead = true;
                m_visitor.OnMessage("The unit stopped answering; it is asked nothing more.");
            }
            continue;
        }
        m_nFailuresInRow = 0;
        const std::string& data = fetch.text;
        if (fetch.status == ProgramFetch::Status::WrongProgram) {
            // The file is kept, and the manifest says what it holds.
            const std::string got = TrimmedName(fetch.sentName);
            manifest.mismatched.push_back({bank.number, program.number, program.name, got});
            m_visitor.OnMessage("The unit sent \"" + got + "\" for " + what +
                                "; the file is kept.");
        }

        std::string why;
        if (!folderMade) {
            std::error_code error;
            fs::create_directory(fs::path(folder) / bankFolder, error);
            if (error) why = "cannot create the folder " + bankFolder + ": " + error.message();
            folderMade = !error;
        }
        std::string relative;
        std::string path;
        filewriter::FileId id{};
        if (why.empty()) {
            do {
                relative = bankFolder + "/" + namer.Next(program.name);
                path = (fs::path(folder) / bankFolder / fs::path(relative).filename()).string();
            } while (runFiles.Holds(path));
            if (!filewriter::WriteFileWhole(path, data, filewriter::Target::RegularFile, why, &id))
                why = "cannot write " + relative + ": " + why;
        }
        if (why.empty()) {
            std::string back;
            runFiles.Add(id);
            if (!ReadWholeFile(path, back, why))
                why = "cannot read " + relative + " back: " + why;
            else if (back != data)
                why = relative + " reads back differently from what the unit sent";
        }
        if (!why.empty()) {
            manifest.skipped.push_back({bank.number, program.number, program.name, why});
            m_visitor.OnMessage("Skipped " + what + ": " + why + ".");
            continue;
        }
        program.file = relative;
        program.bytes = static_cast<std::int64_t>(data.size());
        program.sha256 = Sha256Hex(data);
        if (IProgramSightings* sightings = m_engine.Sightings()) {
            IProgramSightings::Where where;
            where.bank = bank.number;
            where.program = program.number;
            where.path = folder;
            where.entry = relative;
            std::string ignored;  // the backup goes on without the library
            sightings->ProgramSeen(data, program.name, IProgramSightings::How::BackedUp, where,
                                   ignored);
        }
        ++manifest.written;
        ++writtenHere;
        m_visitor.OnFileWritten(bank.number, program.number, relative);
    }
    if (writtenHere > 0) ++banksWritten;

    // Someone may have changed the unit meanwhile: the list must be what it was.
    if (!fetchedAny || m_bDead) return;
    std::vector<ProgramEntry> after;
    std::vector<ProgramEntry> outOfReachAfter;
    if (m_engine.GetProgramList(after, outOfReachAfter) != 0) {
        m_bUncertain = true;
        if (LinkLost()) return;
        m_visitor.OnMessage("Cannot read the programs of bank " + std::to_string(bank.number) +
                            " again to see whether they changed during the backup.");
        if (++m_nListFailuresInRow >= 2) m_bDead = true;
        return;
    }
    const auto same = [](const ProgramEntry& a, const ProgramEntry& b) {
        return a.text == b.text && a.user == b.user;
    };
    if (!std::equal(listed.begin(), listed.end(), after.begin(), after.end(), same) ||
        !std::equal(outOfReach.begin(), outOfReach.end(), outOfReachAfter.begin(),
                    outOfReachAfter.end(), same)) {
        manifest.changedBanks.push_back(bank.number);
        m_visitor.OnMessage("Bank " + std::to_string(bank.number) +
                            " changed on the unit during the backup; its files are kept, but "
                            "they may not be what the bank holds now.");
    }
}

BackupOutcome CUnitBackup::Run(const std::string& folder, const std::string& link) {
    BackupOutcome outcome;
    Manifest& manifest = outcome.manifest;
    // Each program is recorded as backed up, with its file, instead of as fetched.
    struct FetchReporting {
        CLibrarian& engine;
        bool was = engine.ReportsFetches();
        ~FetchReporting() { engine.SetReportFetches(was); }
    } reporting{m_engine};
    m_engine.SetReportFetches(false);
    m_nFailuresInRow = m_nListFailuresInRow = 0;
    m_bDead = m_bCancelled = m_bUncertain = m_bLost = false;

    // The folder: new, or empty; nothing is written into one that holds anything.
    std::error_code error;
    const auto status = fs::status(folder, error);
    bool created = false;
    // A name that stands for nothing (a link that leads nowhere) is not a folder either.
    if (fs::exists(fs::symlink_status(folder, error)) && !fs::exists(status)) {
        m_visitor.OnMessage("Cannot back up into " + folder + ": it is not a folder.");
        outcome.status = BackupOutcome::Status::Refused;
        return outcome;
    }
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            m_visitor.OnMessage("Cannot back up into " + folder + ": it is not a folder.");
            outcome.status = BackupOutcome::Status::Refused;
            return outcome;
        }
        if (!fs::is_empty(folder, error) || error) {
            m_visitor.OnMessage("Cannot back up into " + folder + ": " +
                                (error ? error.message() : "it is not empty."));
            outcome.status = BackupOutcome::Status::Refused;
            return outcome;
        }
    } else {
        if (!fs::create_directory(folder, error)) {
            m_visitor.OnMessage("Cannot create the folder " + folder + ": " + error.message());
            return outcome;
        }
        created = true;
    }
    std::string why;
    if (!filewriter::CheckFolderWritable(folder, why)) {
        m_visitor.OnMessage("Cannot back up into " + folder + ": " + why);
        if (created) fs::remove(folder, error);
        return outcome;
    }

    // Local time with its offset written out, also for UTC ("+00:00", not "Z").
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 3600,
                  std::abs(offset) % 3600 / 60);
    manifest.created = now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toStdString() + zone;
    manifest.link = link;

    // From here on, a unit that goes is told once and asked nothing more.
    CHeldOperation held(m_engine);
    std::vector<std::string> banks;
    bool listed = m_engine.ReadBankList(banks) == 0;
    // Room for the manifest, taken before any program file and given back just before the
    // manifest is written, so that a disk that fills up during the backup still takes the
    // manifest that says what is missing. Without the room (a disk already nearly full) the
    // backup goes on all the same.
    filewriter::CTemporaryFile room;
    {
        const std::size_t size = kManifestRoomBase + kManifestRoomPerBank * banks.size();
        std::string ignored;
        if (!room.Create(folder, ignored) || !room.Write(std::string(size, '\0'), ignored) ||
            !room.Finish(ignored))
            room.Discard();
    }
    if (!listed) {
        m_visitor.OnMessage("Cannot read the bank list of the unit; nothing is backed up.");
    } else {
        for (const auto& entry : banks) {
            int number = -1;
            // An entry without a number is no bank the unit can be asked about.
            if (!CReplyParser::EntryNumber(entry, number)) continue;
            const std::string name = ListEntryName(entry);
            if (!unit_ranges::IsBank(number)) {
                manifest.skipped.push_back({number, -1, name, kBankOutOfReach, true});
                m_visitor.OnMessage("Skipped " + SkippedWhat(manifest.skipped.back()) + ": " +
                                    kBankOutOfReach + ".");
                continue;
            }
            manifest.banks.push_back({number, name, {}});
        }
        const int bankCount = static_cast<int>(manifest.banks.size());
        int banksReached = 0;
        for (auto& bank : manifest.banks) {
            if (!m_bCancelled && m_visitor.ShouldCancel()) m_bCancelled = true;
            if (Stopped()) {
                manifest.unreadBanks.push_back(bank.number);
                continue;
            }
            m_visitor.OnProgress(IArchiveVisitor::Count::Banks, banksReached++, bankCount);
            m_visitor.OnBank(bank.number, bank.name);
            BackUpBank(folder, bank, manifest, outcome.banksWritten);
        }
    }
    manifest.cancelled = m_bCancelled;
    outcome.interrupted = m_bDead;
    room.Discard();

    const std::string manifestPath = (fs::path(folder) / kManifestFileName).string();
    if (!filewriter::WriteFileWhole(manifestPath, ManifestJson(manifest),
                                    filewriter::Target::RegularFile, why)) {
        m_visitor.OnMessage("Cannot write " + manifestPath + ": " + why);
        outcome.status = BackupOutcome::Status::Failed;
        return outcome;
    }
    outcome.manifestWritten = true;
    const bool complete = listed && manifest.skipped.empty() && manifest.mismatched.empty() &&
                          manifest.changedBanks.empty() && manifest.unreadBanks.empty() &&
                          !manifest.cancelled && !m_bUncertain;
    outcome.status = !listed    ? BackupOutcome::Status::Failed
                     : complete ? BackupOutcome::Status::Complete
                                : BackupOutcome::Status::Incomplete;
    return outcome;
}

bool CUnitBackup::LinkLost() {
    if (!m_engine.LinkLost()) return false;
    m_bLost = m_bDead = true;
    m_engine.ReportLinkLoss();
    return true;
}

std::string BackupSummary(const BackupOutcome& outcome) {
    const Manifest& m = outcome.manifest;
    // Only a backup that went through to its end is "finished".
    const char* head = m.cancelled            ? "Backup cancelled: "
                       : outcome.interrupted ? "Backup interrupted: "
                                             : "Backup finished: ";
    std::string text = head + std::to_string(m.written) + " programs from " +
                       std::to_string(outcome.banksWritten) + " banks written, " +
                       std::to_string(m.skipped.size()) + " skipped.\n";
    for (const auto& s : m.skipped)
        text += "Skipped " + SkippedWhat(s) + ": " + s.reason + "\n";
    for (const auto& s : m.mismatched)
        text += "Mismatched " + ProgramText(s.bank, s.program, s.name) + ": the unit sent \"" +
                s.got + "\" (file kept)\n";
    if (!m.changedBanks.empty())
        text += "Changed on the unit during the backup: bank " + Join(m.changedBanks) + "\n";
    if (!m.unreadBanks.empty()) text += "Not read: bank " + Join(m.unreadBanks) + "\n";
    if (m.cancelled) text += "The backup was cancelled.\n";
    if (!outcome.manifestWritten) text += "The manifest could not be written.\n";
    text.pop_back();
    return text;
}

std::string LinkDescription(CLibrarian& engine) {
    const CLinkSettings& settings = engine.GetLinkSettings();
    if (settings.deviceType == 1)
        return "MIDI in " + std::to_string(settings.pMIDI->m_nInputDevice) + ", out " +
               std::to_string(settings.pMIDI->m_nOutputDevice);
    return "serial " + settings.pSerial->PortPath() + ", " +
           std::to_string(settings.pSerial->m_nBaudRate) + " baud";
}

}  // namespace archive
