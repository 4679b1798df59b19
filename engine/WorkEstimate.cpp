#include "engine/WorkEstimate.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/Librarian.h"
#include "engine/NameTable.h"
#include "engine/Protocol.h"
#include "settings/LinkSettings.h"
#include "settings/SerialSettings.h"

namespace estimate {

namespace {

// The engine's pauses (Librarian.h, LibrarianEditing.cpp, LibrarianTransfer.cpp).
constexpr int kSelectPauseMs = 300;       // after a bank select and after a program change
constexpr int kBankMenuKeyPauseMs = 500;  // the first four keys into the bank menu
constexpr int kLoadKeyPauseMs = 500;      // after each of the four keys that confirm a load
constexpr int kLoadConfirmKeys = 4;
constexpr int kStepKeyPauseMs = 400;   // a step through the name table
constexpr int kEnterKeyPauseMs = 200;  // a character entered, or one erased
constexpr int kMenuKeyPauseMs = 100;   // the keys of the bank menu after the first four
constexpr int kDigitKeyPauseMs = 100;

// Bytes of the messages.
constexpr int kKeyFrameBytes = protocol::kKeyPatternSize + protocol::kFrameOverhead;
constexpr int kBankSelectBytes = 6 + protocol::kFrameOverhead;
constexpr int kProgramChangeBytes = 2;
constexpr int kQueryBytes = 8 + protocol::kFrameOverhead;  // "%X %d" of a typical key
constexpr int kReplyOverheadBytes = 5;                     // F0 1C 70 00 .. F7

// Typical sizes of the unit's replies.
constexpr int kRootReplyBytes = 300;  // the root listing a load's probe reads
constexpr int kListHeaderBytes = 40;  // the part of a list reply before its items
constexpr int kListEntryBytes = 20;   // one item: number, name, quotes, blank

std::int64_t ListReplyBytes(int entries) {
    return kReplyOverheadBytes + kListHeaderBytes + std::int64_t{kListEntryBytes} * entries;
}

}  // namespace

Line SerialLine(int baud, int dataBits, int stopBits, char parity) {
    Line line;
    line.bitsPerSecond = baud > 0 ? baud : 38400;
    line.bitsPerByte = 1 + std::clamp(dataBits, 5, 8) + (parity == 'n' || parity == 'N' ? 0 : 1) +
                       std::clamp(stopBits, 1, 2);
    line.turnaroundMs = 2;
    return line;
}

Line MidiLine() {
    Line line;
    line.bitsPerSecond = 31250;
    line.bitsPerByte = 10;
    line.turnaroundMs = 21;  // one period of 1024 frames at 48 kHz through JACK
    return line;
}

Line CurrentLine(CLibrarian& engine) {
    if (engine.CurrentTransport() == protocol::Transport::MIDI) return MidiLine();
    const CLinkSettings& settings = engine.GetLinkSettings();
    if (settings.pSerial == nullptr) return Line{};
    const CSerialSettings& serial = *settings.pSerial;
    return SerialLine(serial.m_nBaudRate, serial.m_nDataBits, serial.m_nStopBits, serial.m_cParity);
}

std::int64_t Estimate::Milliseconds(const Line& line) const {
    const double wireMs = line.bitsPerSecond > 0 ? 1000.0 * static_cast<double>(bytes) *
                                                       line.bitsPerByte / line.bitsPerSecond
                                                 : 0.0;
    return pauseMs + static_cast<std::int64_t>(std::llround(wireMs)) +
           std::int64_t{exchanges} * line.turnaroundMs;
}

std::int64_t BankNamingPauseMs(std::size_t oldLength, const std::string& name) {
    // The bank menu, the bank number, into the name field.
    std::int64_t ms =
        4 * kBankMenuKeyPauseMs + 5 * kMenuKeyPauseMs + 2 * kDigitKeyPauseMs + 3 * kMenuKeyPauseMs;
    ms += static_cast<std::int64_t>(oldLength) * kEnterKeyPauseMs;  // the old name erased
    int pos = nametable::kBlankPosition;
    for (char c : name) {
        if (nametable::IsContinuationByte(c)) continue;
        int target = nametable::Position(c);
        if (target < 0) target = nametable::kBlankPosition;
        const int d = target - pos;
        ms += std::int64_t{d == 0 ? 2 : std::abs(d)} * kStepKeyPauseMs + kEnterKeyPauseMs;
        pos = target;
    }
    return ms + 5 * kMenuKeyPauseMs;  // stored, back out of the menu
}

namespace {

// The keys SetBankName presses (each a key frame on the line).
std::int64_t BankNamingKeys(std::size_t oldLength, const std::string& name) {
    std::int64_t keys = 9 + 2 + 3 + static_cast<std::int64_t>(oldLength) + 5;
    int pos = nametable::kBlankPosition;
    for (char c : name) {
        if (nametable::IsContinuationByte(c)) continue;
        int target = nametable::Position(c);
        if (target < 0) target = nametable::kBlankPosition;
        const int d = target - pos;
        keys += (d == 0 ? 2 : std::abs(d)) + 1;
        pos = target;
    }
    return keys;
}

}  // namespace

Estimate Of(const Work& work) {
    Estimate e;
    e.pauseMs += std::int64_t{kSelectPauseMs} * (work.bankSelects + work.programChanges);
    e.bytes += std::int64_t{kBankSelectBytes} * work.bankSelects +
               std::int64_t{kProgramChangeBytes} * work.programChanges;

    // A program list read asks for two lists; their entries are counted together.
    e.exchanges += 2 * work.programListReads;
    e.bytes += 2 * std::int64_t{kQueryBytes} * work.programListReads +
               2 * ListReplyBytes(0) * work.programListReads +
               std::int64_t{kListEntryBytes} * work.programListEntries;

    const int bankListReads = work.bankListReads + static_cast<int>(work.namings.size());
    e.exchanges += bankListReads;
    e.bytes += (kQueryBytes + ListReplyBytes(work.bankListEntries)) * bankListReads;

    for (std::size_t size : work.fetches) {
        ++e.exchanges;
        e.bytes += protocol::kFrameOverhead + kReplyOverheadBytes + static_cast<std::int64_t>(size);
    }
    const int pollWaitMs = LinkTimings{}.pollWaitMs;
    for (std::size_t size : work.loads) {
        // The load frame, the silent wait, the probe of the root listing, the keys that
        // confirm it.
        e.bytes += protocol::kFrameOverhead + static_cast<std::int64_t>(size);
        e.pauseMs += pollWaitMs;
        ++e.exchanges;
        e.bytes += kQueryBytes + kRootReplyBytes;
        e.pauseMs += std::int64_t{kLoadConfirmKeys} * kLoadKeyPauseMs;
        e.bytes += std::int64_t{kLoadConfirmKeys} * kKeyFrameBytes;
    }
    for (const BankNaming& naming : work.namings) {
        e.pauseMs += BankNamingPauseMs(naming.oldLength, naming.name);
        e.bytes += kKeyFrameBytes * BankNamingKeys(naming.oldLength, naming.name);
    }
    return e;
}

Work WholeUnitBackup(const std::vector<int>& userPrograms, std::size_t textBytes,
                     int programsPerBank) {
    Work work;
    work.bankListReads = 1;
    work.bankListEntries = static_cast<int>(userPrograms.size());
    for (int count : userPrograms) {
        ++work.bankSelects;
        work.programListReads += count > 0 ? 2 : 1;
        work.programListEntries += (count > 0 ? 2 : 1) * programsPerBank;
        work.programChanges += count;
        work.fetches.insert(work.fetches.end(), static_cast<std::size_t>(std::max(0, count)),
                            textBytes);
    }
    return work;
}

Spoken Speak(std::int64_t ms) {
    Spoken s;
    const std::int64_t seconds = (ms + 500) / 1000;
    if (seconds < 60) {
        s.unit = Spoken::Unit::Seconds;
        s.amount = static_cast<int>(std::max<std::int64_t>(1, seconds));
        return s;
    }
    const std::int64_t minutes = (seconds + 30) / 60;
    if (minutes < 60) {
        s.unit = Spoken::Unit::Minutes;
        s.amount = static_cast<int>(minutes);
        return s;
    }
    s.unit = Spoken::Unit::Hours;
    s.amount = static_cast<int>(minutes / 60);
    s.minutes = static_cast<int>(minutes % 60);
    return s;
}

std::string AboutText(std::int64_t ms) {
    const Spoken s = Speak(ms);
    switch (s.unit) {
        case Spoken::Unit::Seconds:
            return "About " + std::to_string(s.amount) + " s";
        case Spoken::Unit::Minutes:
            return "About " + std::to_string(s.amount) + " min";
        case Spoken::Unit::Hours:
            return "About " + std::to_string(s.amount) + " h" +
                   (s.minutes > 0 ? " " + std::to_string(s.minutes) + " min" : std::string());
    }
    return {};
}

}  // namespace estimate
