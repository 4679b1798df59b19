#include "archive/BankBackup.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "archive/FileWriter.h"
#include "engine/HeldOperation.h"
#include "engine/Librarian.h"
#include "engine/ProgramFetch.h"
#include "engine/Protocol.h"
#include "engine/RegularFileReader.h"
#include "engine/ReplyParser.h"
#include "engine/SafeFileName.h"
#include "engine/UnitText.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

std::string WithoutLeadingBlanks(const std::string& text) {
    const std::size_t start = text.find_first_not_of(" \t");
    return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

BankBackupFolder CheckBankBackupFolder(const std::string& folder) {
    using Problem = BankBackupFolder::Problem;
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        // A folder that cannot even be looked at says why (permission denied, for one).
        const bool notThere = !error || error == std::errc::no_such_file_or_directory ||
                              error == std::errc::not_a_directory;
        if (notThere) return {Problem::NotAFolder, "it is not a folder."};
        return {Problem::NotWritable, error.message()};
    }
    std::string why;
    if (!filewriter::CheckFolderWritable(folder, why)) return {Problem::NotWritable, why};
    return {};
}

std::string SkipLine(const BankBackupSkip& skip) {
    return "Skipped " + skip.entry + ": " + skip.reason +
           (skip.why == BankBackupSkip::Why::NotWritten ? "" : ".");
}

CBankBackup::Standing CBankBackup::WhatStands(const std::string& path, const std::string& data,
                                              const std::string& name) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    // Nothing there; or a link, folder or device, which the writer refuses with its reason.
    if (!fs::is_regular_file(status)) return Standing::Free;
    std::string old;
    const auto read = filereader::ReadRegularFile(path, CLibrarian::kMaxPatchFileSize,
                                                  filereader::Links::Refuse, old);
    if (read.result != filereader::Result::Read) return Standing::Kept;
    const std::string oldName = protocol::PatchName(old);
    if (oldName.empty() || oldName != protocol::PatchName(data)) return Standing::Kept;
    IProgramSightings* sightings = m_engine.Sightings();
    // Nowhere to keep the earlier text, or only until the run ends (the demo unit's library).
    if (sightings == nullptr || !sightings->KeepsTextsBeyondThisRun()) return Standing::Kept;
    IProgramSightings::Where where;
    where.path = path;  // seen in that file, not on the unit
    std::string why;
    if (!sightings->ProgramSeen(old, name, IProgramSightings::How::Imported, where, why))
        return Standing::Kept;
    return Standing::SameProgram;
}

BankBackupOutcome CBankBackup::Run(const std::string& folder, int bank, const ProgramLister& list) {
    BankBackupOutcome outcome;
    // Nothing is asked of the unit for a folder that cannot take the files.
    outcome.folder = CheckBankBackupFolder(folder);
    if (outcome.folder.problem != BankBackupFolder::Problem::None) {
        outcome.status = BankBackupOutcome::Status::Refused;
        return outcome;
    }
    // A unit that goes in the middle is told once, and asked nothing more.
    CHeldOperation held(m_engine);
    std::vector<ProgramEntry> programs;
    if (!list(programs)) {
        outcome.status = BankBackupOutcome::Status::NotListed;
        return outcome;
    }

    CBackupNamer namer;              // file names of this run
    filewriter::CRunFiles runFiles;  // the files this run wrote, as the file system knows them
    std::vector<filewriter::FileId> ids;
    // The user programs listed, for the progress's "n of m": counted as the loop below counts.
    int userPrograms = 0;
    for (const auto& program : programs) {
        const auto parts = CReplyParser::SplitEntry(WithoutLeadingBlanks(program.text));
        if (program.user != 0 && parts && parts->number >= 0) ++userPrograms;
    }
    for (const auto& program : programs) {
        const std::string entry = WithoutLeadingBlanks(program.text);
        const auto parts = CReplyParser::SplitEntry(entry);
        if (program.user == 0 || !parts || parts->number < 0) continue;
        const int number = parts->number;
        const std::string name(parts->name);
        ++outcome.userPrograms;
        if (outcome.cancelled) continue;  // counted, not asked
        if (outcome.interrupted) {
            BankBackupSkip skip;
            skip.why = BankBackupSkip::Why::NotAsked;
            skip.program = number;
            skip.entry = entry;
            skip.name = name;
            skip.reason = "not asked: the connection to the unit was lost";
            outcome.skipped.push_back(skip);
            m_visitor.OnMessage(SkipLine(skip));
            continue;
        }
        if (m_visitor.ShouldCancel()) {
            outcome.cancelled = true;
            continue;
        }
        m_visitor.OnProgress(IArchiveVisitor::Count::Programs, outcome.userPrograms - 1,
                             userPrograms);
        m_visitor.OnProgram(bank, number, name);

        BankBackupSkip skip;
        skip.program = number;
        skip.entry = entry;
        skip.name = name;
        const ProgramFetch fetch = m_engine.FetchProgram(m_nChannel, number, name);
        if (fetch.status == ProgramFetch::Status::NotSent && m_engine.LinkLost()) {
            outcome.interrupted = true;
            m_engine.ReportLinkLoss();
            skip.why = BankBackupSkip::Why::ConnectionLost;
            skip.reason = "the connection to the unit was lost";
            outcome.skipped.push_back(skip);
            m_visitor.OnMessage(SkipLine(skip));
            continue;
        }
        if (!fetch.Fetched()) {
            // Another program's text is never written under this program's name.
            skip.why = fetch.status == ProgramFetch::Status::WrongProgram
                           ? BankBackupSkip::Why::WrongProgram
                           : BankBackupSkip::Why::NotSent;
            skip.sentName = fetch.sentName;
            skip.reason = fetch.reason;
            outcome.skipped.push_back(skip);
            m_visitor.OnMessage(SkipLine(skip));
            continue;
        }
        const std::string& data = fetch.text;
        // Two programs of one bank may share a name; the second must not replace the first's
        // file, so it gets a number. The file system has the last word on which names are the
        // same file (letter case beyond A to Z, for one): a file of this run is never replaced.
        // A file that stood there before the run is replaced only when it holds this same
        // program (a refresh of an earlier backup) and its text is safe in the library; any
        // other file is kept and this program takes the next name, as a collision does.
        std::string file;
        std::string path;
        bool replaces = false;
        for (;;) {
            file = UnitBytesToUtf8(namer.Next(name));
            path = (fs::path(folder) / file).string();
            if (runFiles.Holds(path)) continue;
            const Standing standing = WhatStands(path, data, name);
            if (standing == Standing::Kept) {
                outcome.kept.push_back(path);
                continue;
            }
            replaces = standing == Standing::SameProgram;
            break;
        }
        filewriter::FileId id{};
        std::string why;
        if (!filewriter::WriteFileWhole(path, data, filewriter::Target::RegularFile, why, &id)) {
            skip.why = BankBackupSkip::Why::NotWritten;
            skip.path = path;
            skip.error = why;
            skip.reason = "cannot write " + path + ": " + why;
            outcome.skipped.push_back(skip);
            m_visitor.OnMessage(SkipLine(skip));
            continue;
        }
        runFiles.Add(id);
        if (replaces) outcome.replaced.push_back(path);
        outcome.files.push_back(path);
        ids.push_back(id);
        if (IProgramSightings* sightings = m_engine.Sightings()) {  // the library's copy
            IProgramSightings::Where where;
            where.bank = bank;
            where.program = number;
            where.path = path;
            std::string ignored;  // the backup goes on without the library
            sightings->ProgramSeen(data, name, IProgramSightings::How::BackedUp, where, ignored);
        }
        m_visitor.OnFileWritten(bank, number, file);
    }

    // The count is of the files that are there now, each counted once.
    std::set<filewriter::FileId> onDisk;
    for (std::size_t i = 0; i < outcome.files.size(); ++i) {
        filewriter::FileId id;
        if (filewriter::IdentifyFile(outcome.files[i], id) && id == ids[i]) onDisk.insert(id);
    }
    outcome.onDisk = static_cast<int>(onDisk.size());
    return outcome;
}

}  // namespace archive
