// CLibrarian: the front-panel key sequences that delete programs and create, name and delete
// banks.
#include "EngineMessages.h"
#include "Host.h"
#include "Librarian.h"
#include "LinkBracket.h"
#include "NameTable.h"
#include "Protocol.h"
#include "WaitCursor.h"

namespace {

// Names are typed one character at a time; a multi-byte UTF-8 character is one character on the
// unit (typed as a blank), so its continuation bytes are not characters of their own.
bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t CharacterCount(const std::string& text) {
    std::size_t n = 0;
    for (char c : text)
        if (!IsContinuationByte(c)) ++n;
    return n;
}

}  // namespace

int CLibrarian::DeletePreset(int bank, int program, int channel, int processor) {
    CWaitCursor waitCursor(m_host);
    CLinkBracket bracket(*m_pLink, protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    PressKey(KEY_C3R3, 500);
    PressKey(KEY_C1R3, 500);
    PressKey(KEY_C3R0_C5R1, 500);

    std::string unused;
    const auto select = protocol::BankSelectPayload(bank, processor);
    SendFrame(protocol::MSG_BANK_SELECT, select.data(), static_cast<int>(select.size()), 0, unused);
    m_host.Pause(500);
    // The unit needs another program loaded before the one to delete is chosen.
    for (int p : {10, program}) {
        const auto change = protocol::ProgramChange(channel, p);
        m_pLink->Send(change.data(), static_cast<int>(change.size()));
        m_host.Pause(500);
    }

    PressKey(KEY_C7R2, 500);
    PressKey(KEY_C3R0_C5R1, 500);
    PressKey(KEY_C5R0, 500);
    return 0;
}

int CLibrarian::DeleteBank(int bank) {
    CLinkBracket bracket(*m_pLink, protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    SelectBank(bank, protocol::kProcessorA, false);
    std::vector<ProgramEntry> programs;
    if (GetProgramList(programs, false) != 0) return -2;
    if (!programs.empty()) {
        ShowError(std::string(engine_messages::kBankNotEmpty));
        return -2;
    }

    PressKey(KEY_C3R3, 500);
    PressKey(KEY_C1R3, 500);
    PressKey(KEY_C3R0, 500);
    std::string unused;
    const auto select = protocol::BankSelectPayload(bank, protocol::kProcessorA);
    SendFrame(protocol::MSG_BANK_SELECT, select.data(), static_cast<int>(select.size()), 0, unused);
    PressKey(KEY_C7R2, 500);
    PressKey(KEY_C3R0_C5R1, 500);
    PressKey(KEY_C5R0, 500);
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
    CWaitCursor waitCursor(m_host);
    CLinkBracket bracket(*m_pLink, protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    PressKey(KEY_C3R3, 500);
    PressKey(KEY_C1R3, 500);
    PressKey(KEY_C1R3, 500);
    PressKey(KEY_C3R2, 500);
    PressKey(KEY_C1R0_C5R1, 100);
    PressKey(KEY_C1R0_C5R1, 100);
    PressKey(KEY_C6R2, 100);
    PressKey(KEY_C1R0_C5R1, 100);
    PressKey(KEY_C1R0_C5R1, 100);
    EnterBankNumber(n);
    PressKey(KEY_C6R0, 100);
    PressKey(KEY_C3R0_C5R1, 100);
    PressKey(KEY_C5R0, 100);

    const std::size_t oldLength = CharacterCount(GetBankName(n));
    for (std::size_t i = 0; i < oldLength; ++i) PressKey(KEY_C6R1, 200);
    TypeName(name);

    PressKey(KEY_C5R0, 100);
    PressKey(KEY_C3R0_C5R1, 100);
    PressKey(KEY_C3R0_C5R1, 100);
    PressKey(KEY_C3R0_C5R1, 100);
    PressKey(KEY_C5R0, 100);
    StoreBankEntry(n, name);
    return 0;
}

void CLibrarian::EnterBankNumber(int n) {
    if (n < 0 || n > 99) return;
    PressKey(DigitKey(n / 10), 100);
    PressKey(DigitKey(n % 10), 100);
}

void CLibrarian::TypeName(const std::string& name) {
    int pos = nametable::kBlankPosition;
    for (char c : name) {
        if (IsContinuationByte(c)) continue;
        int target = nametable::Position(c);
        if (target < 0) target = nametable::kBlankPosition;  // typed as a blank
        const int d = target - pos;
        if (d == 0) {
            PressKey(KEY_C6R3, 400);
            PressKey(KEY_C6R2, 400);
        }
        for (int i = 0; i < d; ++i) PressKey(KEY_C6R3, 400);
        for (int i = 0; i < -d; ++i) PressKey(KEY_C6R2, 400);
        PressKey(KEY_C1R0, 200);
        pos = target;
    }
}
