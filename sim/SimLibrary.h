#pragma once
// The unit's program memory: numbered banks (0 to 99), each with a name and numbered programs
// (0 to 127). A program is kept as its text; a user program may be deleted from the front panel,
// a factory program may not.
//
// Not thread-safe: the unit that owns it serialises every call.

#include <map>
#include <string>

struct SimProgram {
    int number = 0;
    std::string text;  // byte for byte as stored; the name is read out of it (ProgramText.h)
    bool user = false;
};

struct SimBank {
    int number = 0;
    std::string name;
    std::map<int, SimProgram> programs;  // by number
};

class CSimLibrary {
public:
    static constexpr int kMaxBank = 99;
    static constexpr int kMaxProgram = 127;

    // False when the number is out of range or the bank exists already.
    bool AddBank(int number, const std::string& name);
    // Creates the bank, or renames it when it exists. False when the number is out of range.
    bool StoreBankName(int number, const std::string& name);
    // False when there is no such bank or it still holds programs.
    bool RemoveEmptyBank(int number);
    // False when the bank is missing, the number out of range or already taken.
    bool AddProgram(int bank, int number, const std::string& text, bool user);
    bool RemoveProgram(int bank, int number);

    const SimBank* FindBank(int number) const;
    const SimProgram* FindProgram(int bank, int number) const;
    // The lowest number without a program in the bank; -1 when the bank is missing or full.
    int LowestFreeNumber(int bank) const;

    const std::map<int, SimBank>& Banks() const { return m_banks; }
    void Clear() { m_banks.clear(); }

private:
    std::map<int, SimBank> m_banks;
};
