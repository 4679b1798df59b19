// CLibrarian: the key lookups and the catalogue of banks and programs.
#include <algorithm>

#include "engine/EngineMessages.h"
#include "engine/Librarian.h"
#include "engine/LinkBracket.h"
#include "engine/Protocol.h"
#include "engine/UnitText.h"
#include "engine/UnitRanges.h"
#include "link/Host.h"

namespace {

// A key read from a listing is an object of the unit only when it is not negative; a negative
// one is treated like "not found", so that it is looked up again and never sent.
std::int32_t KeyOrNone(std::int32_t key) {
    return key < 0 ? -1 : key;
}

// Letter case of A to Z only: the texts are UTF-8, whose other bytes a locale's toupper would
// change into something else.
std::string ToUpper(std::string text) {
    for (auto& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace

void CLibrarian::ResolveLoadKeys() {
    const std::string root = QueryObject(0, 0, true);
    if (root.empty()) return;
    const std::int32_t pf = KeyOrNone(FindChildKey(root, "program functions"));
    if (pf == -1) return;
    const std::string listing = QueryObject(pf, 0, true);
    if (listing.empty()) return;
    const std::int32_t lnp = KeyOrNone(FindChildKey(listing, "load new preset"));
    if (lnp == -1) return;
    const std::string listing2 = QueryObject(lnp, 2, true);
    if (listing2.empty()) return;
    m_nBanksKey = KeyOrNone(FindChildKey(listing2, "bank:"));
    m_nProgramsKey = KeyOrNone(FindChildKey(listing2, "programs:"));
}

std::int32_t CLibrarian::GetBanksKey() {
    if (m_nBanksKey == -1) ResolveLoadKeys();
    return m_nBanksKey;
}

std::int32_t CLibrarian::GetProgramsKey() {
    if (m_nProgramsKey == -1) ResolveLoadKeys();
    return m_nProgramsKey;
}

std::int32_t CLibrarian::GetDeleteKey() {
    if (m_nDeleteKey != -1) return m_nDeleteKey;
    const std::string root = QueryObject(0, 0, true);
    if (root.empty()) return -1;
    const std::int32_t pf = KeyOrNone(FindChildKey(root, "program functions"));
    if (pf == -1) return -1;
    const std::string listing = QueryObject(pf, 0, true);
    if (listing.empty()) return -1;
    const std::int32_t dp = KeyOrNone(FindChildKey(listing, "delete preset"));
    if (dp == -1) return -1;
    const std::string listing2 = QueryObject(dp, 0, true);
    if (listing2.empty()) return -1;
    m_nDeleteKey = KeyOrNone(FindChildKey(listing2, "delete: %s"));
    return m_nDeleteKey;
}

std::int32_t CLibrarian::GetColumnKey(int selector) {
    if (selector != 1 && selector != 2) return -1;
    std::int32_t& member = selector == 1 ? m_nColumnKey1 : m_nColumnKey2;
    if (member != -1) return member;
    const std::string root = QueryObject(0, 0, true);
    if (root.empty()) return -1;
    member = CReplyParser::FindColumnKey(root, selector);
    return member;
}

std::int32_t CLibrarian::GetInfoKey(int selector) {
    const std::int32_t col = GetColumnKey(selector);
    if (col == -1) return -2;
    const std::string text = QueryObject(col, 0, true);
    if (text.empty()) return -2;
    return CReplyParser::FindInfoKey(text);
}

int CLibrarian::GetBankList(std::vector<std::string>& list) {
    if (!m_bankList.empty() && !m_bUnitGone) {
        list.insert(list.end(), m_bankList.begin(), m_bankList.end());
        return 0;
    }
    return ReadBankList(list);
}

int CLibrarian::ReadBankList(std::vector<std::string>& list) {
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    const std::int32_t key = GetBanksKey();
    if (key == -1) return -2;
    const std::string text = QueryObject(key, 0, true);
    bracket.Close();
    if (text.empty()) return -2;
    // A reply that is not a list says nothing about the banks; it must not read as "no banks".
    std::vector<std::string> banks;
    if (!ParseListReply(text, banks)) return -2;
    for (auto& entry : banks) entry = UnitBytesToUtf8(entry);
    m_bankList = std::move(banks);
    m_bUnitGone = false;
    list.insert(list.end(), m_bankList.begin(), m_bankList.end());
    return 0;
}

int CLibrarian::GetProgramList(std::vector<ProgramEntry>& list, bool lock) {
    std::vector<ProgramEntry> leftOut;
    return ListPrograms(list, lock, leftOut, true);
}

int CLibrarian::GetProgramList(std::vector<ProgramEntry>& list,
                               std::vector<ProgramEntry>& leftOut, bool lock) {
    return ListPrograms(list, lock, leftOut, false);
}

int CLibrarian::ListPrograms(std::vector<ProgramEntry>& list, bool lock,
                             std::vector<ProgramEntry>& leftOut, bool report) {
    auto bracket = Bracket(protocol::kDefaultBufferSize, lock);
    if (bracket.Failed()) return -2;
    const std::int32_t programsKey = GetProgramsKey();
    if (programsKey == -1) return -2;
    const std::string text1 = QueryObject(programsKey, 0, true);
    if (text1.empty()) return -2;
    // Without the deletable list every program would show as a factory one, and a backup would
    // save nothing: a list that cannot be read is a failure, not an empty one.
    const std::int32_t deleteKey = GetDeleteKey();
    if (deleteKey == -1) return -2;
    const std::string text2 = QueryObject(deleteKey, 0, true);
    bracket.Close();
    if (text2.empty()) return -2;

    std::vector<std::string> programs;
    std::vector<std::string> deletable;
    if (!ParseListReply(text1, programs) || !ParseListReply(text2, deletable)) return -2;

    std::vector<int> deletableNumbers;
    for (const auto& entry : deletable) {
        int number = 0;
        if (CReplyParser::EntryNumber(entry, number)) deletableNumbers.push_back(number);
    }
    std::string named;
    for (auto& entry : programs) {
        entry = UnitBytesToUtf8(entry);
        int number = -1;
        const bool numbered = CReplyParser::EntryNumber(entry, number);
        const bool user = std::find(deletableNumbers.begin(), deletableNumbers.end(), number) !=
                          deletableNumbers.end();
        // A program change carries 0 to 127; any other number would put a status byte on the
        // wire and load another program than the one named.
        if (numbered && !unit_ranges::IsProgram(number)) {
            named += (named.empty() ? "\"" : ", \"") + entry + "\"";
            leftOut.push_back({std::move(entry), user ? 1 : 0});
            continue;
        }
        list.push_back({std::move(entry), user ? 1 : 0});
    }
    if (report && !named.empty())
        ShowError(std::string(engine_messages::kProgramsOutOfRange) + named);
    return 0;
}

int CLibrarian::SelectBank(int bank, int processor, bool lock) {
    auto bracket = Bracket(protocol::kDefaultBufferSize, lock);
    if (bracket.Failed()) return -2;
    const auto payload = protocol::BankSelectPayload(bank, processor);
    std::string unused;
    m_nSelectedProgram = -1;
    if (SendFrame(protocol::MSG_BANK_SELECT, payload.data(), static_cast<int>(payload.size()), 0,
                  unused) != 0) {
        // The unit's side is gone (the link has said so): which bank it has is not known.
        m_nSelectedBank = -1;
        return -2;
    }
    m_nSelectedBank = bank;
    m_host.Pause(300);
    return 0;
}

int CLibrarian::SelectProgram(int channel, int program) {
    if (!unit_ranges::IsChannel(channel) || !unit_ranges::IsProgram(program)) return -2;
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    m_nSelectedProgram = -1;
    // The same send and check as a program change inside a key sequence.
    if (!SendProgramChange(channel, program)) return -2;
    m_nSelectedProgram = program;
    m_host.Pause(300);
    return 0;
}

int CLibrarian::GetProgramInfo(int selector, std::string& text) {
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    const std::int32_t key = GetInfoKey(selector);
    if (key == -1) {
        text = engine_messages::kNoInformation;
        return 0;
    }
    // -2 (no column, or an empty column listing), or a key no object can have.
    if (key < 0) return -2;
    text.clear();
    const std::string reply = QueryObject(key, 0, true);
    if (!CReplyParser::ParseInfoText(reply, text)) return -2;
    text = UnitBytesToUtf8(text);
    if (m_pSightings && !text.empty() && m_nSelectedBank >= 0 && m_nSelectedProgram >= 0) {
        IProgramSightings::Where where;
        where.bank = m_nSelectedBank;
        where.program = m_nSelectedProgram;
        m_pSightings->ProgramInfoSeen(text, where);
    }
    return 0;
}

int CLibrarian::FindProgram(int startBank, int startProgram, const std::string& search,
                            int& bankOut, int& programOut, const BankVisitor& onBank) {
    const std::string wanted = ToUpper(search);
    auto bracket = Bracket(protocol::kDefaultBufferSize);
    if (bracket.Failed()) return -2;
    bankOut = startBank;
    programOut = -1;
    if (startBank < 0 || static_cast<std::size_t>(startBank) >= m_bankList.size()) return -2;

    std::size_t index = static_cast<std::size_t>(startBank);
    for (bool firstPass = true;; firstPass = false) {
        // Between banks, never in the middle of a message: the caller may stop the search.
        if (onBank && !onBank(bankOut, m_bankList[index])) return -2;
        int number = 0;
        if (CReplyParser::EntryNumber(m_bankList[index], number))
            SelectBank(number, protocol::kProcessorA, false);
        std::vector<ProgramEntry> programs;
        if (GetProgramList(programs, false) != 0) return -2;
        for (std::size_t i = startProgram < 0 ? programs.size() : std::size_t(startProgram);
             i < programs.size(); ++i) {
            if (ToUpper(programs[i].text).find(wanted) != std::string::npos) {
                programOut = static_cast<int>(i);
                return 0;
            }
        }
        if (!firstPass && bankOut == startBank) return 0;
        ++index;
        ++bankOut;
        if (index >= m_bankList.size()) {
            index = 0;
            bankOut = 0;
        }
        startProgram = 0;
    }
}

std::string CLibrarian::GetBankName(int n) const {
    for (const auto& entry : m_bankList) {
        const auto parts = CReplyParser::SplitEntry(entry);
        if (parts && parts->number == n) return std::string(parts->name);
    }
    return {};
}

void CLibrarian::StoreBankEntry(int n, const std::string& name) {
    std::string text = std::to_string(n) + " " + name;
    for (auto it = m_bankList.begin(); it != m_bankList.end(); ++it) {
        int number = 0;
        if (!CReplyParser::EntryNumber(*it, number)) continue;
        if (number == n) {
            *it = std::move(text);
            return;
        }
        if (number > n) {
            m_bankList.insert(it, std::move(text));
            return;
        }
    }
    m_bankList.push_back(std::move(text));
}

int CLibrarian::NextFreeBankNumber() const {
    int i = 0;
    for (const auto& entry : m_bankList) {
        int number = 0;
        if (!CReplyParser::EntryNumber(entry, number)) continue;
        if (number > i) return i;
        ++i;
    }
    return unit_ranges::kLastBank;
}
