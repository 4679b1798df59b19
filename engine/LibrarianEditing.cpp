// CLibrarian: the front-panel key sequences that delete programs and create, name and delete
// banks, and the checks that the unit followed them.
#include "engine/EngineMessages.h"
#include "engine/Librarian.h"
#include "engine/LinkBracket.h"
#include "engine/NameTable.h"
#include "engine/Protocol.h"
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

}  // namespace

int CLibrarian::DeletePreset(int bank, int program, int channel, int processor) {
    // Program changes carry 0 to 127 on channels 0 to 15; nothing else can be chosen.
    if (channel < 0 || channel > 15 || program < 0 || program > 127) return -2;
    CWaitCursor waitCursor(m_host);
    if (m_pSightings && m_pSightings->KeepsDeletedPrograms() &&
        !KeepDeletedCopy(bank, program, channel, processor))
        return -3;
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    if (!PressKeys({{KEY_C3R3, 500}, {KEY_C1R3, 500}, {KEY_C3R0_C5R1, 500}})) return KeysNotSent();

    std::string unused;
    const auto select = protocol::BankSelectPayload(bank, processor);
    if (SendFrame(protocol::MSG_BANK_SELECT, select.data(), static_cast<int>(select.size()), 0,
                  unused) != 0)
        return KeysNotSent();
    m_host.Pause(500);
    // The unit needs another program loaded before the one to delete is chosen.
    for (int p : {10, program}) {
        if (!SendProgramChange(channel, p)) return KeysNotSent();
        m_host.Pause(500);
    }

    if (!PressKeys({{KEY_C7R2, 500}, {KEY_C3R0_C5R1, 500}, {KEY_C5R0, 500}})) return KeysNotSent();
    return 0;
}

bool CLibrarian::KeepDeletedCopy(int bank, int program, int channel, int processor) {
    const std::string what = "program " + std::to_string(program) + " of bank " +
                             std::to_string(bank);
    std::string text;
    const bool wasReporting = m_bReportFetches;
    m_bReportFetches = false;  // recorded below as deleted, not as fetched
    const bool fetched = SelectBank(bank, processor) == 0 &&
                         SelectProgram(channel, program) == 0 && GetProgramData(text) == 0 &&
                         !text.empty();
    m_bReportFetches = wasReporting;
    if (!fetched)
        return m_host.AskYesNo("Quorlin cannot fetch " + what +
                               " to keep a copy in the library. Delete it anyway?");
    IProgramSightings::Where where;
    where.bank = bank;
    where.program = program;
    std::string error;
    if (m_pSightings->ProgramSeen(text, {}, IProgramSightings::How::Deleted, where, error))
        return true;
    if (!error.empty() && error.back() != '.') error += '.';
    return m_host.AskYesNo("Quorlin cannot keep a copy of " + what + " in the library: " + error +
                           " Delete it anyway?");
}

int CLibrarian::DeleteBank(int bank) {
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    SelectBank(bank, protocol::kProcessorA, false);
    std::vector<ProgramEntry> programs;
    std::size_t leftOut = 0;  // listed, though not loadable: the bank is not empty either
    if (ListPrograms(programs, false, leftOut) != 0) return -2;
    if (!programs.empty() || leftOut > 0) {
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

int CLibrarian::SetBankName(int n, const std::string& name) {
    if (n < 0 || n > 99) return -2;  // the unit takes two digits
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
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
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

    const std::size_t oldLength = nametable::CharacterCount(GetBankName(n));
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
    if (n < 0 || n > 99) return true;
    return PressKey(DigitKey(n / 10), 100) && PressKey(DigitKey(n % 10), 100);
}

bool CLibrarian::TypeName(const std::string& name) {
    int pos = nametable::kBlankPosition;
    for (char c : name) {
        if (nametable::IsContinuationByte(c)) continue;
        int target = nametable::Position(c);
        if (target < 0) target = nametable::kBlankPosition;  // typed as a blank
        const int d = target - pos;
        if (d == 0 && !PressKeys({{KEY_C6R3, 400}, {KEY_C6R2, 400}})) return false;
        for (int i = 0; i < d; ++i)
            if (!PressKey(KEY_C6R3, 400)) return false;
        for (int i = 0; i < -d; ++i)
            if (!PressKey(KEY_C6R2, 400)) return false;
        if (!PressKey(KEY_C1R0, 200)) return false;
        pos = target;
    }
    return true;
}
