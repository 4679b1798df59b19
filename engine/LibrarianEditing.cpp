// CLibrarian: the front-panel key sequences that delete programs and create, name and delete
// banks, and the checks that the unit followed them.
#include "engine/EngineMessages.h"
#include "engine/HeldOperation.h"
#include "engine/Librarian.h"
#include "engine/LinkBracket.h"
#include "engine/NameTable.h"
#include "engine/Protocol.h"
#include "engine/UnitRanges.h"
#include "engine/WaitCursor.h"
#include "link/Host.h"

namespace {

std::string WithoutTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string BankText(int bank) {
    return "bank " + std::to_string(bank);
}

std::string ProgramText(int bank, int program) {
    return "program " + std::to_string(program) + " of " + BankText(bank);
}

// The key presses that type `name` from the blank (CLibrarian::TypeName), in order, each handed
// to `press` (key, pause in ms); false at the first one `press` refuses.
template <typename Press>
bool ForEachNameKey(const std::string& name, Press press) {
    int pos = nametable::kBlankPosition;
    for (char c : name) {
        if (nametable::IsContinuationByte(c)) continue;
        int target = nametable::Position(c);
        if (target < 0) target = nametable::kBlankPosition;  // typed as a blank
        const int d = target - pos;
        if (d == 0 && !(press(KEY_C6R3, 400) && press(KEY_C6R2, 400))) return false;
        for (int i = 0; i < d; ++i)
            if (!press(KEY_C6R3, 400)) return false;
        for (int i = 0; i < -d; ++i)
            if (!press(KEY_C6R2, 400)) return false;
        if (!press(KEY_C1R0, 200)) return false;
        pos = target;
    }
    return true;
}

}  // namespace

int CLibrarian::DeletePreset(int bank, int program, int channel, int processor) {
    // Program changes carry 0 to 127 on channels 0 to 15; nothing else can be chosen.
    if (!unit_ranges::IsChannel(channel) || !unit_ranges::IsProgram(program)) return -2;
    CWaitCursor waitCursor(m_host);
    // The copy, the keys and the check: a unit that goes in the middle is told once.
    CHeldOperation held(*this);
    std::string copy;  // the text kept in the library, recorded as deleted once it is gone
    if (m_pSightings && m_pSightings->KeepsDeletedPrograms()) {
        const int kept = KeepDeletedCopy(bank, program, channel, processor, copy);
        if (kept != 0) return kept;
    }
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    if (!PressKeys({{KEY_C3R3, 500}, {KEY_C1R3, 500}, {KEY_C3R0_C5R1, 500}})) return KeysNotSent();

    std::string unused;
    const auto select = protocol::BankSelectPayload(bank, processor);
    if (SendFrame(protocol::MSG_BANK_SELECT, select.data(), static_cast<int>(select.size()), 0,
                  unused) != 0)
        return KeysNotSent();
    m_nSelectedBank = bank;
    m_nSelectedProgram = -1;
    m_host.Pause(500);
    // The unit needs another program loaded before the one to delete is chosen.
    for (int p : {10, program}) {
        if (!SendProgramChange(channel, p)) return KeysNotSent();
        m_host.Pause(500);
    }

    if (!PressKeys({{KEY_C7R2, 500}, {KEY_C3R0_C5R1, 500}, {KEY_C5R0, 500}})) return KeysNotSent();

    // The keys are never acknowledged: only the bank's list tells whether the program is gone.
    std::vector<ProgramEntry> after;
    std::vector<ProgramEntry> leftOut;  // entries out of a program change's reach: not this one
    if (ListPrograms(after, false, leftOut, false) != 0) {
        ShowError("Cannot tell whether the unit deleted " + ProgramText(bank, program) +
                  ": the programs of " + BankText(bank) + " cannot be read.");
        return -2;
    }
    bracket.Close();
    for (const auto& entry : after) {
        int number = -1;
        if (CReplyParser::EntryNumber(entry.text, number) && number == program) {
            ShowError("The unit did not delete " + ProgramText(bank, program) +
                      ": it still lists \"" + entry.text + "\".");
            return -2;
        }
    }
    if (!copy.empty()) {
        IProgramSightings::Where where;
        where.bank = bank;
        where.program = program;
        std::string ignored;  // the copy is kept already, as fetched
        m_pSightings->ProgramSeen(copy, {}, IProgramSightings::How::Deleted, where, ignored);
    }
    return 0;
}

int CLibrarian::KeepDeletedCopy(int bank, int program, int channel, int processor,
                                std::string& copy) {
    const std::string what = ProgramText(bank, program);
    // The listed name tells whether the text the unit sends is this program's.
    std::vector<ProgramEntry> listed;
    const ProgramEntry* entry = nullptr;
    if (SelectBank(bank, processor) == 0 && GetProgramList(listed) == 0) {
        for (const auto& e : listed) {
            int number = -1;
            if (CReplyParser::EntryNumber(e.text, number) && number == program) entry = &e;
        }
    }
    ProgramFetch fetch;
    if (entry != nullptr) {
        const auto parts = CReplyParser::SplitEntry(entry->text);
        fetch =
            FetchProgram(channel, program, parts ? std::string(parts->name) : std::string(), false);
    }
    if (fetch.status == ProgramFetch::Status::WrongProgram) {
        // The delete chooses the program with the same program change: the unit would delete
        // the program it runs instead.
        ShowError("Quorlin does not delete " + what + ": " + fetch.reason +
                  ". Check that the unit takes program changes on MIDI channel " +
                  std::to_string(channel + 1) + ".");
        return -2;
    }
    // A unit that has gone cannot delete it either: nothing to ask.
    if (!fetch.Fetched() && m_bLinkLost) {
        ReportLinkLoss();
        return -2;
    }
    if (!fetch.Fetched() || fetch.text.empty())
        return m_host.AskYesNo("Quorlin cannot fetch " + what +
                               " to keep a copy in the library. Delete it anyway?")
                   ? 0
                   : -3;
    // Kept now, as fetched; recorded as deleted only once the unit's list shows it gone.
    IProgramSightings::Where where;
    where.bank = bank;
    where.program = program;
    std::string error;
    if (m_pSightings->ProgramSeen(fetch.text, {}, IProgramSightings::How::Fetched, where, error)) {
        copy = fetch.text;
        return 0;
    }
    if (!error.empty() && error.back() != '.') error += '.';
    return m_host.AskYesNo("Quorlin cannot keep a copy of " + what + " in the library: " + error +
                           " Delete it anyway?")
               ? 0
               : -3;
}

int CLibrarian::DeleteBank(int bank) {
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    SelectBank(bank, protocol::kProcessorA, false);
    std::vector<ProgramEntry> programs;
    std::vector<ProgramEntry> leftOut;  // listed, though not loadable: the bank is not empty
    if (ListPrograms(programs, false, leftOut, true) != 0) return -2;
    if (!programs.empty() || !leftOut.empty()) {
        ShowError(std::string(engine_messages::kBankNotEmpty));
        return -2;
    }

    if (!PressKeys({{KEY_C3R3, 500}, {KEY_C1R3, 500}, {KEY_C3R0, 500}})) return KeysNotSent();
    std::string unused;
    const auto select = protocol::BankSelectPayload(bank, protocol::kProcessorA);
    if (SendFrame(protocol::MSG_BANK_SELECT, select.data(), static_cast<int>(select.size()), 0,
                  unused) != 0)
        return KeysNotSent();
    if (!PressKeys({{KEY_C7R2, 500}, {KEY_C3R0_C5R1, 500}, {KEY_C5R0, 500}})) return KeysNotSent();
    bracket.Close();

    for (auto it = m_bankList.begin(); it != m_bankList.end(); ++it) {
        int number = 0;
        if (CReplyParser::EntryNumber(*it, number) && number == bank) {
            m_bankList.erase(it);
            break;
        }
    }
    return 0;
}

int CLibrarian::SetBankName(int n, const std::string& name, const KeyProgress& progress) {
    if (!unit_ranges::IsBank(n)) return -2;  // the unit takes two digits
    if (nametable::CharacterCount(name) > nametable::kMaxNameLength) {
        ShowError("A bank name holds at most " + std::to_string(nametable::kMaxNameLength) +
                  " characters.");
        return -2;
    }
    if (nametable::IsBlankName(name)) {
        ShowError("A bank name needs at least one character other than a blank.");
        return -2;
    }
    CWaitCursor waitCursor(m_host);
    // The old name is erased key by key: after the unit was gone it is read from the unit that
    // answers now (it may be another), not from the catalogue of the one that went.
    if (m_bUnitGone) {
        std::vector<std::string> banks;
        if (ReadBankList(banks) != 0) return -2;
    }
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    const std::size_t oldLength = nametable::CharacterCount(GetBankName(n));
    // Every key of the sequence below is counted for the progress.
    struct KeyCount {
        CLibrarian& engine;
        ~KeyCount() { engine.m_pKeyProgress = nullptr; }
    } counting{*this};
    int nameKeys = 0;
    ForEachNameKey(name, [&nameKeys](KeyPattern, int) { return ++nameKeys > 0; });
    m_nKeysPressed = 0;
    m_nKeysPlanned = 9 + 2 + 3 + static_cast<int>(oldLength) + nameKeys + 5;
    m_pKeyProgress = &progress;
    if (progress) progress(0, m_nKeysPlanned);
    if (!PressKeys({{KEY_C3R3, 500},
                    {KEY_C1R3, 500},
                    {KEY_C1R3, 500},
                    {KEY_C3R2, 500},
                    {KEY_C1R0_C5R1, 100},
                    {KEY_C1R0_C5R1, 100},
                    {KEY_C6R2, 100},
                    {KEY_C1R0_C5R1, 100},
                    {KEY_C1R0_C5R1, 100}}) ||
        !EnterBankNumber(n) || !PressKeys({{KEY_C6R0, 100}, {KEY_C3R0_C5R1, 100}, {KEY_C5R0, 100}}))
        return KeysNotSent();

    for (std::size_t i = 0; i < oldLength; ++i)
        if (!PressKey(KEY_C6R1, 200)) return KeysNotSent();
    if (!TypeName(name)) return KeysNotSent();

    if (!PressKeys({{KEY_C5R0, 100},
                    {KEY_C3R0_C5R1, 100},
                    {KEY_C3R0_C5R1, 100},
                    {KEY_C3R0_C5R1, 100},
                    {KEY_C5R0, 100}}))
        return KeysNotSent();
    StoreBankEntry(n, name);
    return 0;
}

int CLibrarian::CheckBankDeleted(int bank) {
    std::vector<std::string> banks;
    if (ReadBankList(banks) != 0) return -2;
    for (const auto& entry : banks) {
        int number = 0;
        if (CReplyParser::EntryNumber(entry, number) && number == bank) {
            ShowError("The unit did not delete " + BankText(bank) + ": it still lists \"" + entry +
                      "\".");
            return -2;
        }
    }
    return 0;
}

int CLibrarian::CheckBankName(int n, const std::string& name) {
    std::vector<std::string> banks;
    if (ReadBankList(banks) != 0) return -2;
    const std::string wanted = WithoutTrailingBlanks(nametable::TypedName(name));
    for (const auto& entry : banks) {
        const auto parts = CReplyParser::SplitEntry(entry);
        if (!parts || parts->number != n) continue;
        if (WithoutTrailingBlanks(std::string(parts->name)) == wanted) return 0;
        ShowError("The unit did not name " + BankText(n) + " \"" + wanted + "\": it lists \"" +
                  entry + "\".");
        return -2;
    }
    ShowError("The unit did not name " + BankText(n) + " \"" + wanted + "\": it lists no " +
              BankText(n) + ".");
    return -2;
}

bool CLibrarian::EnterBankNumber(int n) {
    if (!unit_ranges::IsBank(n)) return true;
    return PressKey(DigitKey(n / 10), 100) && PressKey(DigitKey(n % 10), 100);
}

bool CLibrarian::TypeName(const std::string& name) {
    return ForEachNameKey(name,
                          [this](KeyPattern key, int pauseMs) { return PressKey(key, pauseMs); });
}
