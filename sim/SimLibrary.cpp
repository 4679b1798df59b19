#include "sim/SimLibrary.h"

namespace {
bool BankInRange(int n) {
    return n >= 0 && n <= CSimLibrary::kMaxBank;
}
bool ProgramInRange(int n) {
    return n >= 0 && n <= CSimLibrary::kMaxProgram;
}
}  // namespace

bool CSimLibrary::AddBank(int number, const std::string& name) {
    if (!BankInRange(number) || m_banks.count(number) != 0) return false;
    m_banks[number] = SimBank{number, name, {}};
    return true;
}

bool CSimLibrary::StoreBankName(int number, const std::string& name) {
    if (!BankInRange(number)) return false;
    auto& bank = m_banks[number];
    bank.number = number;
    bank.name = name;
    return true;
}

bool CSimLibrary::RemoveEmptyBank(int number) {
    const auto it = m_banks.find(number);
    if (it == m_banks.end() || !it->second.programs.empty()) return false;
    m_banks.erase(it);
    return true;
}

bool CSimLibrary::AddProgram(int bank, int number, const std::string& text, bool user) {
    const auto it = m_banks.find(bank);
    if (it == m_banks.end() || !ProgramInRange(number)) return false;
    return it->second.programs.emplace(number, SimProgram{number, text, user}).second;
}

bool CSimLibrary::RemoveProgram(int bank, int number) {
    const auto it = m_banks.find(bank);
    return it != m_banks.end() && it->second.programs.erase(number) != 0;
}

const SimBank* CSimLibrary::FindBank(int number) const {
    const auto it = m_banks.find(number);
    return it == m_banks.end() ? nullptr : &it->second;
}

const SimProgram* CSimLibrary::FindProgram(int bank, int number) const {
    const SimBank* b = FindBank(bank);
    if (b == nullptr) return nullptr;
    const auto it = b->programs.find(number);
    return it == b->programs.end() ? nullptr : &it->second;
}

int CSimLibrary::LowestFreeNumber(int bank) const {
    const SimBank* b = FindBank(bank);
    if (b == nullptr) return -1;
    for (int n = 0; n <= kMaxProgram; ++n)
        if (b->programs.count(n) == 0) return n;
    return -1;
}
