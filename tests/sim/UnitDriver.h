#pragma once
// Drives a CSimUnit frame by frame with a clock of its own, the way the librarian does: frames
// built here from the frame layout, key presses from matrix positions, pauses that move the
// clock. Also plays the librarian's key sequences of deleting and naming, so tests can vary them.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "sim/SimUnit.h"

class UnitDriver {
public:
    using Position = std::pair<int, int>;  // column, row

    explicit UnitDriver(CSimUnit& unit) : m_unit(unit) {}

    static std::string Frame(int type, const std::string& payload) {
        return std::string("\xF0\x1C\x70\x00", 4) + static_cast<char>(type) + payload + "\xF7";
    }
    static std::string KeyPattern(const std::vector<Position>& down) {
        std::string bytes(8, '\x0F');
        for (auto [column, row] : down)
            bytes[column] = static_cast<char>(bytes[column] & ~(1 << row));
        return bytes;
    }

    std::vector<std::string> Send(const std::string& frame) {
        auto replies = m_unit.HandleFrame(frame, m_nNow);
        m_sent.push_back(frame);
        return replies;
    }
    void Pause(int ms) { m_nNow += ms; }
    std::int64_t Now() const { return m_nNow; }

    // The reply text of an object query ("%X %d"); empty when the unit does not answer.
    std::string Query(std::uint32_t key, int flags) {
        char text[32];
        std::snprintf(text, sizeof text, "%X %d", key, flags);
        const auto replies = Send(Frame(0x31, text));
        if (replies.empty()) return {};
        const std::string& r = replies.front();
        return r.substr(4, r.size() - 5);  // without F0 1C 70 xx and F7
    }

    void Press(const std::vector<Position>& down, int pauseMs) {
        Send(Frame(0x01, KeyPattern(down)));
        Pause(pauseMs);
    }
    void BankSelect(int bank, int dsp, int pauseMs) {
        const std::string payload{0,
                                  0,
                                  static_cast<char>(bank >> 4),
                                  static_cast<char>(bank & 0x0F),
                                  0,
                                  static_cast<char>(dsp)};
        Send(Frame(0x03, payload));
        Pause(pauseMs);
    }
    void ProgramChange(int channel, int program, int pauseMs) {
        Send(std::string{static_cast<char>(0xC0 | channel), static_cast<char>(program)});
        Pause(pauseMs);
    }

    // The keys by matrix position, as the librarian's sequences name them.
    static constexpr Position C3R3{3, 3}, C7R2{7, 2}, C1R3{1, 3}, C3R2{3, 2}, C6R0{6, 0},
        C3R0{3, 0}, C1R0{1, 0}, C5R1{5, 1}, C5R0{5, 0}, C6R1{6, 1}, C6R3{6, 3}, C6R2{6, 2};
    static Position Digit(int d) {
        static constexpr Position keypad[10] = {{2, 0}, {0, 3}, {2, 3}, {4, 3}, {0, 2},
                                                {2, 2}, {4, 2}, {0, 1}, {2, 1}, {4, 1}};
        return keypad[d];
    }
    static int TablePosition(char c) {
        static const std::string table =
            ";:/?><,;`~|\\_=+-}{][')(*&^%%$#@!zyxwvutsrqponmlkjihgfedcba "
            "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-%";
        return static_cast<int>(table.find(c));
    }

    // The librarian's sequences. `gap` replaces every pause when it is not 0, to show that the
    // unit ignores presses that come too soon.
    void DeletePreset(int bank, int program, int channel, int dsp, int gap = 0) {
        const auto p = [&](int ms) { return gap != 0 ? gap : ms; };
        Press({C3R3}, p(500));
        Press({C1R3}, p(500));
        Press({C3R0, C5R1}, p(500));
        BankSelect(bank, dsp, 500);
        ProgramChange(channel, 10, 500);
        ProgramChange(channel, program, 500);
        Press({C7R2}, p(500));
        Press({C3R0, C5R1}, p(500));
        Press({C5R0}, p(500));
    }
    // The key part of deleting a bank (after the check that it is empty).
    void DeleteBankKeys(int bank) {
        Press({C3R3}, 500);
        Press({C1R3}, 500);
        Press({C3R0}, 500);
        BankSelect(bank, 1, 0);
        Press({C7R2}, 500);
        Press({C3R0, C5R1}, 500);
        Press({C5R0}, 500);
    }
    void SetBankName(int bank, const std::string& oldName, const std::string& name) {
        Press({C3R3}, 500);
        Press({C1R3}, 500);
        Press({C1R3}, 500);
        Press({C3R2}, 500);
        Press({C1R0, C5R1}, 100);
        Press({C1R0, C5R1}, 100);
        Press({C6R2}, 100);
        Press({C1R0, C5R1}, 100);
        Press({C1R0, C5R1}, 100);
        Press({Digit(bank / 10)}, 100);
        Press({Digit(bank % 10)}, 100);
        Press({C6R0}, 100);
        Press({C3R0, C5R1}, 100);
        Press({C5R0}, 100);
        for (std::size_t i = 0; i < oldName.size(); ++i) Press({C6R1}, 200);
        TypeName(name);
        Press({C5R0}, 100);
        Press({C3R0, C5R1}, 100);
        Press({C3R0, C5R1}, 100);
        Press({C3R0, C5R1}, 100);
        Press({C5R0}, 100);
    }
    void TypeName(const std::string& name) {
        int pos = TablePosition(' ');
        for (char c : name) {
            const int target = TablePosition(c);
            const int d = target - pos;
            if (d == 0) {
                Press({C6R3}, 400);
                Press({C6R2}, 400);
            }
            for (int i = 0; i < d; ++i) Press({C6R3}, 400);
            for (int i = 0; i < -d; ++i) Press({C6R2}, 400);
            Press({C1R0}, 200);
            pos = target;
        }
    }

    const std::vector<std::string>& SentFrames() const { return m_sent; }

private:
    CSimUnit& m_unit;
    std::int64_t m_nNow = 1000;
    std::vector<std::string> m_sent;
};
