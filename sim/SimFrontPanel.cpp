#include "sim/SimFrontPanel.h"

#include <algorithm>
#include <array>
#include <set>
#include <utility>

#include "sim/SimLibrary.h"

enum class CSimFrontPanel::Key {
    Unknown,
    Program,
    More,
    SoftUpper,
    SoftLower,
    Execute,
    Exit,
    Enter,
    Backspace,
    Down,
    Up,
    Cursor,
    Yes,
    NextField,
    Digit0,  // Digit0 + n is digit n
};

enum class CSimFrontPanel::Screen {
    Main,
    ProgramPage1,
    ProgramPage2,
    ProgramPage3,
    LoadNew,
    DeletePreset,
    DeletePresetAsk,
    DeleteBank,
    DeleteBankAsk,
    BankUtility,
    BankNameArmed,   // YES pressed after ENTER; EXIT opens the editor
    BankNameEditor,  // characters are entered
    BankNameStore,   // YES three times, then EXIT
};

namespace {

using Position = std::pair<int, int>;  // column, row

// The character table of name entry, as the panel steps through it with UP and DOWN.
std::string BuildCharacterTable() {
    std::string table = ";:/?><,;`~|\\_=+-}{][')(*&^%%$#@!";
    for (char c = 'z'; c >= 'a'; --c) table += c;
    table += ' ';
    for (char c = 'A'; c <= 'Z'; ++c) table += c;
    for (char c = '0'; c <= '9'; ++c) table += c;
    table += ".-%";
    return table;
}

const std::string& CharacterTable() {
    static const std::string table = BuildCharacterTable();
    return table;
}

constexpr int kBlankPosition = 58;

// The keypad: the matrix position of each digit 0 to 9.
constexpr std::array<Position, 10> kDigitKeys = {
    {{2, 0}, {0, 3}, {2, 3}, {4, 3}, {0, 2}, {2, 2}, {4, 2}, {0, 1}, {2, 1}, {4, 1}}};

bool ReadMatrix(const std::string& pattern, std::set<Position>& down) {
    if (pattern.size() != 8) return false;
    for (int column = 0; column < 8; ++column) {
        const auto byte = static_cast<unsigned char>(pattern[column]);
        if (byte > 0x0F) return false;
        for (int row = 0; row < 4; ++row)
            if ((byte & (1u << row)) == 0) down.insert({column, row});
    }
    return !down.empty();
}

}  // namespace

CSimFrontPanel::Action CSimFrontPanel::Press(const std::string& pattern, FrameArrival arrival,
                                             const CSimLibrary& library, int selectedBank) {
    std::set<Position> down;
    if (!ReadMatrix(pattern, down)) {
        m_strNote = "not a key pattern: ignored";
        return {};
    }
    // The earliest moment within the arrival that is far enough after the previous press. The
    // earliest, so that the next press has the most room: a press read late is not held against
    // the one after it.
    std::int64_t at = arrival.earliestMs;
    if (m_bPressedBefore) at = std::max(at, m_nLastPressMs + kMinKeyGapMs - m_nKeyGapToleranceMs);
    if (at > arrival.latestMs) {
        ++m_nTooSoon;
        const bool exact = arrival.earliestMs == arrival.latestMs;
        m_strNote = "key " + std::string(exact ? "" : "at most ") +
                    std::to_string(arrival.latestMs - m_nLastPressMs) +
                    " ms after the previous one: ignored";
        return {};
    }
    m_bPressedBefore = true;
    m_nLastPressMs = at;

    Key key = Key::Unknown;
    const auto only = [&down](Position p) { return down.size() == 1 && down.count(p) == 1; };
    const auto pair = [&down](Position a, Position b) {
        return down.size() == 2 && down.count(a) == 1 && down.count(b) == 1;
    };
    if (only({3, 3}))
        key = Key::Program;
    else if (only({1, 3}))
        key = Key::More;
    else if (only({3, 2}))
        key = Key::SoftUpper;
    else if (only({3, 0}))
        key = Key::SoftLower;
    else if (only({7, 2}))
        key = Key::Execute;
    else if (only({5, 0}))
        key = Key::Exit;
    else if (only({6, 0}))
        key = Key::Enter;
    else if (only({6, 1}))
        key = Key::Backspace;
    else if (only({6, 2}))
        key = Key::Down;
    else if (only({6, 3}))
        key = Key::Up;
    else if (only({1, 0}))
        key = Key::Cursor;
    else if (pair({3, 0}, {5, 1}))
        key = Key::Yes;
    else if (pair({1, 0}, {5, 1}))
        key = Key::NextField;
    for (int digit = 0; digit < 10 && key == Key::Unknown; ++digit)
        if (only(kDigitKeys[digit])) key = static_cast<Key>(static_cast<int>(Key::Digit0) + digit);

    const std::string before = ScreenName();
    const Action action = Take(key, library, selectedBank);
    m_strNote =
        "key on " + before + (key == Key::Unknown ? " (no such key)" : "") + " -> " + ScreenName();
    return action;
}

void CSimFrontPanel::Open(Screen screen) {
    m_screen = screen;
    if (screen == Screen::DeletePreset || screen == Screen::DeleteBank) {
        m_nTargetBank = -1;
        m_nTargetProgram = -1;
    }
    if (screen == Screen::BankUtility) {
        m_nField = 0;
        m_bNameOperation = false;
        m_strDigits.clear();
        m_strName.clear();
        m_nYesCount = 0;
    }
}

CSimFrontPanel::Action CSimFrontPanel::Take(Key key, const CSimLibrary& library, int selectedBank) {
    if (key == Key::Program) {
        Open(Screen::ProgramPage1);
        return {};
    }
    switch (m_screen) {
        case Screen::Main:
            break;
        case Screen::ProgramPage1:
            if (key == Key::More)
                Open(Screen::ProgramPage2);
            else if (key == Key::Exit)
                Open(Screen::Main);
            break;
        case Screen::ProgramPage2:
            if (key == Key::More)
                Open(Screen::ProgramPage3);
            else if (key == Key::Yes)
                Open(Screen::DeletePreset);
            else if (key == Key::SoftLower)
                Open(Screen::DeleteBank);
            else if (key == Key::SoftUpper)
                Open(Screen::LoadNew);
            else if (key == Key::Exit)
                Open(Screen::Main);
            break;
        case Screen::ProgramPage3:
            if (key == Key::More)
                Open(Screen::ProgramPage1);
            else if (key == Key::SoftUpper)
                Open(Screen::BankUtility);
            else if (key == Key::Exit)
                Open(Screen::Main);
            break;
        case Screen::LoadNew:
            if (key == Key::Enter || key == Key::Exit) Open(Screen::Main);
            break;
        case Screen::DeletePreset:
            if (key == Key::Execute && m_nTargetBank >= 0)
                m_screen = Screen::DeletePresetAsk;
            else if (key == Key::Exit)
                Open(Screen::Main);
            break;
        case Screen::DeletePresetAsk:
            if (key == Key::Yes) {
                Action action{Action::Kind::DeleteProgram, m_nTargetBank, m_nTargetProgram, {}};
                Open(Screen::DeletePreset);
                return action;
            }
            if (key == Key::Exit) m_screen = Screen::DeletePreset;
            break;
        case Screen::DeleteBank:
            if (key == Key::Execute && library.FindBank(selectedBank) != nullptr) {
                m_nTargetBank = selectedBank;
                m_screen = Screen::DeleteBankAsk;
            } else if (key == Key::Exit) {
                Open(Screen::Main);
            }
            break;
        case Screen::DeleteBankAsk:
            if (key == Key::Yes) {
                Action action{Action::Kind::DeleteBank, m_nTargetBank, -1, {}};
                Open(Screen::DeleteBank);
                return action;
            }
            if (key == Key::Exit) m_screen = Screen::DeleteBank;
            break;
        default:
            return TakeBankUtility(key, library);
    }
    return {};
}

CSimFrontPanel::Action CSimFrontPanel::TakeBankUtility(Key key, const CSimLibrary& library) {
    const int digit = static_cast<int>(key) - static_cast<int>(Key::Digit0);
    switch (m_screen) {
        case Screen::BankUtility:
            if (key == Key::NextField && m_nField < 4) {
                ++m_nField;
            } else if (key == Key::Down && m_nField == 2) {
                m_bNameOperation = true;
            } else if (digit >= 0 && digit <= 9 && m_nField == 4 && m_bNameOperation &&
                       m_strDigits.size() < 2) {
                m_strDigits += static_cast<char>('0' + digit);
            } else if (key == Key::Enter && m_strDigits.size() == 2) {
                m_screen = Screen::BankNameArmed;
            } else if (key == Key::Exit) {
                Open(Screen::Main);
            }
            break;
        case Screen::BankNameArmed:
            if (key == Key::Yes) {
                m_nYesCount = 1;
            } else if (key == Key::Exit && m_nYesCount == 1) {
                const SimBank* bank = library.FindBank(std::stoi(m_strDigits));
                m_strName = bank != nullptr ? bank->name : std::string();
                m_nSelector = kBlankPosition;
                m_bSelectorMoved = false;
                m_nYesCount = 0;
                m_screen = Screen::BankNameEditor;
            }
            break;
        case Screen::BankNameEditor:
            if (key == Key::Backspace) {
                if (!m_strName.empty()) m_strName.pop_back();
            } else if (key == Key::Up || key == Key::Down) {
                const int last = static_cast<int>(CharacterTable().size()) - 1;
                m_nSelector += key == Key::Up ? 1 : -1;
                m_nSelector = m_nSelector < 0 ? 0 : (m_nSelector > last ? last : m_nSelector);
                m_bSelectorMoved = true;
            } else if (key == Key::Cursor && m_bSelectorMoved) {
                m_strName += CharacterTable()[m_nSelector];
                m_bSelectorMoved = false;
            } else if (key == Key::Exit) {
                m_nYesCount = 0;
                m_screen = Screen::BankNameStore;
            }
            break;
        case Screen::BankNameStore:
            if (key == Key::Yes && m_nYesCount < 3) {
                ++m_nYesCount;
            } else if (key == Key::Exit && m_nYesCount == 3) {
                Action action{Action::Kind::StoreBankName, std::stoi(m_strDigits), -1, m_strName};
                Open(Screen::Main);
                return action;
            }
            break;
        default:
            break;
    }
    return {};
}

void CSimFrontPanel::ProgramChanged(int bank, int program, const CSimLibrary& library) {
    if (m_screen != Screen::DeletePreset) return;
    const SimProgram* p = library.FindProgram(bank, program);
    if (p != nullptr && p->user) {
        m_nTargetBank = bank;
        m_nTargetProgram = program;
    } else {
        m_nTargetBank = -1;
        m_nTargetProgram = -1;
    }
}

std::string CSimFrontPanel::ScreenName() const {
    switch (m_screen) {
        case Screen::Main:
            return "main";
        case Screen::ProgramPage1:
            return "program functions 1";
        case Screen::ProgramPage2:
            return "program functions 2";
        case Screen::ProgramPage3:
            return "program functions 3";
        case Screen::LoadNew:
            return "load new preset";
        case Screen::DeletePreset:
            return "delete preset";
        case Screen::DeletePresetAsk:
            return "delete preset?";
        case Screen::DeleteBank:
            return "delete bank";
        case Screen::DeleteBankAsk:
            return "delete bank?";
        case Screen::BankUtility:
            return "bank utility";
        case Screen::BankNameArmed:
            return "bank name";
        case Screen::BankNameEditor:
            return "bank name editor";
        case Screen::BankNameStore:
            return "store bank name";
    }
    return "?";
}
