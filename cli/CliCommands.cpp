#include "cli/CliCommands.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "archive/BankBackup.h"
#include "archive/FileWriter.h"
#include "cli/CliArchiveCommands.h"
#include "cli/CliLibraryCommands.h"
#include "cli/CliOutput.h"
#include "engine/Librarian.h"
#include "engine/ReplyParser.h"
#include "engine/TokenCursor.h"
#include "engine/UnitRanges.h"

namespace fs = std::filesystem;

namespace {

std::string StripLeadingBlanks(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    return text.substr(i);
}

// The number of an entry as the engine reads it; -1 for an entry that has none ("12", "x y") or
// a negative one: it is listed, but cannot be acted on.
int EntryNumber(const std::string& entry) {
    const auto parts = CReplyParser::SplitEntry(entry);
    return parts && parts->number >= 0 ? parts->number : -1;
}

// The name of a numbered entry, unchanged; the empty text for an entry without a number.
std::string EntryName(const std::string& entry) {
    const auto parts = CReplyParser::SplitEntry(entry);
    return parts ? std::string(parts->name) : std::string();
}

std::string BankText(int bank) {
    return "bank " + std::to_string(bank);
}

}  // namespace

CCliCommands::CCliCommands(CLibrarian& engine, CCliHost& host, std::ostream& out, int dsp,
                           int channel)
    : m_engine(engine), m_host(host), m_out(out), m_nDsp(dsp), m_nChannel(channel) {}

int CCliCommands::Run(const CliOptions& o) {
    using C = CliOptions::Command;
    int result = 1;
    switch (o.command) {
        case C::Banks:
            result = Banks();
            break;
        case C::Programs:
            result = Programs(o.bank);
            break;
        case C::Info:
            result = Info(o.bank, o.program);
            break;
        case C::Load:
            result = Load(o.bank, o.path);
            break;
        case C::Backup:
            result = Backup(o.bank, o.path);
            break;
        case C::Fetch:
            result = Fetch(o.bank, o.program, o.path);
            break;
        case C::Delete:
            result = Delete(o.bank, o.program);
            break;
        case C::DeleteBank:
            result = DeleteBank(o.bank);
            break;
        case C::NameBank:
            result = NameBank(o.bank, o.text);
            break;
        case C::Find:
            result = Find(o.text);
            break;
        case C::BackupUnit:
            result = CCliArchiveCommands(m_engine, m_host, m_out, m_nDsp, m_nChannel)
                         .BackupUnit(o.path,
                                     CCliArchiveCommands::LinkDescription(
                                         m_engine, o.connection == CliOptions::Connection::Demo));
            break;
        case C::Verify:
            result = RunVerify(o.path, m_out, m_host);
            break;
        case C::Doctor:
            // Run by main without the engine (CliDoctor.h).
            break;
        case C::Restore:
            result = CCliArchiveCommands(m_engine, m_host, m_out, m_nDsp, m_nChannel)
                         .Restore(o.path, o.banks, o.dryRun);
            break;
        case C::Library:
        case C::Import:
            result = RunLibraryCommand(o, m_out, m_host);
            break;
    }
    errno = 0;
    m_out.flush();
    if (!OutputWorks()) result = 1;
    return result;
}

int CCliCommands::Fail(const std::string& text, int shownBefore) {
    if (m_host.Shown() == shownBefore) m_host.ShowMessage(text);
    return 1;
}

bool CCliCommands::RequireBank(int bank) {
    const int shown = m_host.Shown();
    std::vector<std::string> banks;
    if (m_engine.GetBankList(banks) != 0) {
        Fail("Cannot read the bank list of the unit.", shown);
        return false;
    }
    for (const auto& entry : banks) {
        if (EntryNumber(entry) == bank) return true;
    }
    m_host.ShowMessage("The unit has no " + BankText(bank) + ".");
    return false;
}

bool CCliCommands::SelectAndList(int bank, std::vector<ProgramEntry>& programs) {
    const int shown = m_host.Shown();
    if (m_engine.SelectBank(bank, m_nDsp, true) != 0) return false;
    if (m_engine.GetProgramList(programs) != 0) {
        Fail("Cannot read the programs of " + BankText(bank) + ".", shown);
        return false;
    }
    return true;
}

const ProgramEntry* CCliCommands::RequireProgram(int bank, int program,
                                                 const std::vector<ProgramEntry>& programs) {
    for (const auto& entry : programs) {
        if (EntryNumber(entry.text) == program) return &entry;
    }
    m_host.ShowMessage("The unit has no program " + std::to_string(program) + " in " +
                       BankText(bank) + ".");
    return nullptr;
}

int CCliCommands::Banks() {
    const int shown = m_host.Shown();
    std::vector<std::string> banks;
    if (m_engine.GetBankList(banks) != 0)
        return Fail("Cannot read the bank list of the unit.", shown);
    for (const auto& entry : banks) m_out << StripLeadingBlanks(entry) << '\n';
    return 0;
}

int CCliCommands::Programs(int bank) {
    std::vector<ProgramEntry> programs;
    if (!RequireBank(bank) || !SelectAndList(bank, programs)) return 1;
    for (const auto& entry : programs)
        m_out << (entry.user != 0 ? "U " : "F ") << StripLeadingBlanks(entry.text) << '\n';
    return 0;
}

int CCliCommands::Info(int bank, int program) {
    std::vector<ProgramEntry> programs;
    if (!RequireBank(bank) || !SelectAndList(bank, programs)) return 1;
    const ProgramEntry* entry = RequireProgram(bank, program, programs);
    if (entry == nullptr) return 1;
    const int shown = m_host.Shown();
    // The information text is of the program the unit runs: it must be the one asked for.
    const ProgramFetch fetch =
        m_engine.FetchProgram(m_nChannel, program, EntryName(entry->text), false);
    if (!fetch.Fetched()) {
        const std::string line = "Cannot show the information of program " +
                                 std::to_string(program) + " of " + BankText(bank) + ": " +
                                 fetch.reason + ".";
        if (fetch.status == ProgramFetch::Status::NotSent) return Fail(line, shown);
        m_host.ShowMessage(line);
        return 1;
    }
    std::string text;
    if (m_engine.GetProgramInfo(m_nDsp, text) != 0)
        return Fail("Cannot read the information text of program " + std::to_string(program) + ".",
                    shown);
    // The text ends in the blank that follows every line of it (over MIDI in one more, for the
    // line the reply's closing 0xF7 makes); the printed line ends with the text itself.
    while (!text.empty() && text.back() == ' ') text.pop_back();
    m_out << text << '\n';
    return 0;
}

int CCliCommands::Load(int bank, const std::string& file) {
    // The file is read and checked before the unit is asked anything, and loaded as read.
    std::string content;
    if (m_engine.ReadPatchFile(file, content) != 0) return 1;
    std::vector<ProgramEntry> before;
    if (!RequireBank(bank) || !SelectAndList(bank, before)) return 1;
    const int shown = m_host.Shown();
    if (m_engine.LoadPatchText(content, file) != 0)
        return Fail("The unit did not take " + file + ".", shown);
    std::vector<ProgramEntry> after;
    if (m_engine.GetProgramList(after) != 0)
        return Fail("Cannot read the programs of " + BankText(bank) + ".", shown);
    // The new program is the first one whose number was not listed before.
    std::set<int> known;
    for (const auto& entry : before) known.insert(EntryNumber(entry.text));
    for (const auto& entry : after) {
        const int number = EntryNumber(entry.text);
        if (unit_ranges::IsProgram(number) && known.count(number) == 0) {
            m_out << StripLeadingBlanks(entry.text) << '\n';
            return 0;
        }
    }
    return Fail("The unit took " + file + ", but no new program shows in " + BankText(bank) + ".",
                shown);
}

int CCliCommands::Backup(int bank, const std::string& folder) {
    // Files written go to `out`, one path a line; each program skipped is told on the host,
    // unless the engine or the link has already said why during that program.
    class CReport : public IArchiveVisitor {
    public:
        CReport(CCliCommands& commands, const std::string& folder)
            : m_commands(commands), m_folder(folder) {}
        void OnProgram(int, int, const std::string&) override {
            m_nShown = m_commands.m_host.Shown();
        }
        void OnFileWritten(int, int, const std::string& file) override {
            errno = 0;
            m_commands.m_out << (fs::path(m_folder) / file).string() << '\n';
            m_commands.m_out.flush();
            m_commands.OutputWorks();
        }
        void OnMessage(const std::string& text) override { m_commands.Fail(text, m_nShown); }

    private:
        CCliCommands& m_commands;
        const std::string& m_folder;
        int m_nShown = 0;
    } report(*this, folder);

    archive::CBankBackup backup(m_engine, report, m_nChannel);
    const archive::BankBackupOutcome outcome =
        backup.Run(folder, bank, [this, bank](std::vector<ProgramEntry>& programs) {
            return RequireBank(bank) && SelectAndList(bank, programs);
        });
    using S = archive::BankBackupOutcome::Status;
    if (outcome.status == S::Refused) {
        // Before the unit is asked for anything: a folder that takes no files fails at once.
        m_host.ShowMessage("Cannot back up into " + folder + ": " + outcome.folder.why);
        return 1;
    }
    if (outcome.status == S::NotListed) return 1;
    // Files that stood in the folder before: what became of each is told, none is lost.
    const auto joined = [](const std::vector<std::string>& paths) {
        std::string text;
        for (const auto& path : paths) text += (text.empty() ? "" : ", ") + path;
        return text;
    };
    if (!outcome.replaced.empty()) {
        const std::size_t n = outcome.replaced.size();
        m_host.ShowMessage("Replaced " + std::to_string(n) +
                           (n == 1 ? " earlier backup file" : " earlier backup files") +
                           " of the same program (the earlier text is kept in the library): " +
                           joined(outcome.replaced) + ".");
    }
    if (!outcome.kept.empty()) {
        const std::size_t n = outcome.kept.size();
        m_host.ShowMessage(
            "Kept " + std::to_string(n) + (n == 1 ? " file that was" : " files that were") +
            " already there (the new file took the next free name): " + joined(outcome.kept) + ".");
    }
    return outcome.skipped.empty() && !m_bOutputFailed ? 0 : 1;
}

int CCliCommands::Fetch(int bank, int program, const std::string& file) {
    const std::string target = file == "-" ? "to standard output" : file;
    // Before the unit is asked for anything: refuse what cannot be written.
    std::string why;
    if (!filewriter::CheckWritable(file, filewriter::Target::FileOrStream, why)) {
        m_host.ShowMessage("Cannot write " + target + ": " + why);
        return 1;
    }
    std::vector<ProgramEntry> programs;
    if (!RequireBank(bank) || !SelectAndList(bank, programs)) return 1;
    const ProgramEntry* entry = RequireProgram(bank, program, programs);
    if (entry == nullptr) return 1;
    const int shown = m_host.Shown();
    const ProgramFetch fetch = m_engine.FetchProgram(m_nChannel, program, EntryName(entry->text));
    if (fetch.status == ProgramFetch::Status::NotSent)
        return Fail("The unit did not send program " + std::to_string(program) + ".", shown);
    if (fetch.status == ProgramFetch::Status::WrongProgram) {
        m_host.ShowMessage("Cannot fetch program " + std::to_string(program) + " of " +
                           BankText(bank) + ": " + fetch.reason + ".");
        return 1;
    }
    if (!filewriter::WriteFileWhole(file, fetch.text, filewriter::Target::FileOrStream, why)) {
        m_host.ShowMessage("Cannot write " + target + ": " + why);
        return 1;
    }
    return 0;
}

int CCliCommands::Delete(int bank, int program) {
    std::vector<ProgramEntry> programs;
    if (!RequireBank(bank) || !SelectAndList(bank, programs)) return 1;
    const ProgramEntry* entry = RequireProgram(bank, program, programs);
    if (entry == nullptr) return 1;
    if (entry->user == 0) {
        m_host.ShowMessage("Program " + std::to_string(program) + " of " + BankText(bank) +
                           " is a factory program; it cannot be deleted.");
        return 1;
    }
    // The engine reads the bank's list again: 0 only when the program is gone.
    const int deleted = m_engine.DeletePreset(bank, program, m_nChannel, m_nDsp);
    if (deleted == -3) {  // no copy could be kept, and the question was answered No
        m_host.ShowMessage("Program " + std::to_string(program) + " of " + BankText(bank) +
                           " is not deleted.");
        return 1;
    }
    return deleted == 0 ? 0 : 1;
}

int CCliCommands::DeleteBank(int bank) {
    if (!RequireBank(bank)) return 1;
    const int shown = m_host.Shown();
    if (m_engine.DeleteBank(bank) != 0) return Fail("Cannot delete " + BankText(bank) + ".", shown);
    // The unit does not acknowledge key presses: look whether the bank is gone.
    if (m_engine.CheckBankDeleted(bank) != 0)
        return Fail("Cannot tell whether the unit deleted " + BankText(bank) +
                        ": its bank list cannot be read.",
                    shown);
    return 0;
}

int CCliCommands::NameBank(int bank, const std::string& name) {
    // The catalogue must hold the old name, so that renaming erases it first.
    const int shown = m_host.Shown();
    std::vector<std::string> banks;
    if (m_engine.GetBankList(banks) != 0)
        return Fail("Cannot read the bank list of the unit.", shown);
    if (m_engine.SetBankName(bank, name) != 0)
        return Fail("Cannot name " + BankText(bank) + ".", shown);
    // The unit does not acknowledge key presses: look whether it lists the name.
    if (m_engine.CheckBankName(bank, name) != 0)
        return Fail("Cannot tell whether the unit named " + BankText(bank) +
                        ": its bank list cannot be read.",
                    shown);
    return 0;
}

int CCliCommands::Find(const std::string& text) {
    const int shown = m_host.Shown();
    const std::string notFound = "Cannot find " + text;
    std::vector<std::string> banks;
    if (m_engine.GetBankList(banks) != 0) return Fail(notFound, shown);
    int bankOut = -1;
    int programOut = -1;
    if (m_engine.FindProgram(0, 0, text, bankOut, programOut) != 0 || programOut < 0)
        return Fail(notFound, shown);
    // The search leaves the unit on the bank it found.
    std::vector<ProgramEntry> programs;
    const auto& list = m_engine.BankList();
    if (bankOut < 0 || bankOut >= static_cast<int>(list.size()) ||
        m_engine.GetProgramList(programs) != 0 || programOut >= static_cast<int>(programs.size()))
        return Fail(notFound, shown);
    m_out << StripLeadingBlanks(list[static_cast<std::size_t>(bankOut)]) << '\t'
          << StripLeadingBlanks(programs[static_cast<std::size_t>(programOut)].text) << '\n';
    return 0;
}

bool CCliCommands::OutputWorks() {
    if (m_bOutputFailed) return false;
    if (m_out) return true;
    m_bOutputFailed = true;
    m_host.ShowMessage(OutputFailedText(errno));
    return false;
}
