#pragma once
// How long work with the unit takes: the fixed pauses the engine makes between messages (after a
// bank select or program change, after each front-panel key, the silent wait of a program load)
// and the time the bytes spend on the line at its rate. The unit answers no key message and no
// good load, so these pauses are most of the time of every long operation; the bytes count
// mostly for program texts over a slow line.
//
// The estimate counts the messages as CLibrarian sends them (Librarian.h): a change to a pause
// there shows in the engine's tests of this estimate. Replies whose size the caller cannot know
// (listings, the probe of a load) are counted at a typical size of the unit's.
//
// Pure functions, callable from any thread; CurrentLine reads the engine's link settings (call it
// on the engine's thread).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CLibrarian;

namespace estimate {

// The line the bytes travel on.
struct Line {
    int bitsPerSecond = 38400;
    int bitsPerByte = 11;  // a start bit, the data bits, a parity bit if any, the stop bits
    int turnaroundMs = 2;  // from a query's last byte to the first byte of the reply
};

// A serial line: `parity` 'n' for none, any other letter for one parity bit.
Line SerialLine(int baud, int dataBits, int stopBits, char parity);
// The MIDI line: 31250 bits per second, 10 bits a byte; a reply comes about one audio period late.
Line MidiLine();
// The engine's current link with its settings.
Line CurrentLine(CLibrarian& engine);

// A bank created or renamed through the front panel (CLibrarian::SetBankName, then the check
// that reads the bank list again).
struct BankNaming {
    std::size_t oldLength = 0;  // characters of the name the bank has now (0: a new bank)
    std::string name;           // as typed (UTF-8)
};

// The work of an operation, in the engine's own messages.
struct Work {
    int bankSelects = 0;
    int programChanges = 0;
    int programListReads = 0;            // GetProgramList: the program list and the deletable list
    int programListEntries = 0;          // entries those reads return, all reads together
    int bankListReads = 0;               // ReadBankList
    int bankListEntries = 0;             // entries of one bank list
    std::vector<std::size_t> fetches{};  // program requests, by the size of the text sent back
    std::vector<std::size_t> loads{};    // program loads, by the size of the text sent
    std::vector<BankNaming> namings{};
};

// The parts of an estimate.
struct Estimate {
    std::int64_t pauseMs = 0;  // the engine's pauses and the silent waits of loads
    std::int64_t bytes = 0;    // on the line, both ways
    int exchanges = 0;         // messages that wait for a reply

    // The whole time on `line`.
    std::int64_t Milliseconds(const Line& line) const;
};

Estimate Of(const Work& work);

// The pauses of the key sequence of SetBankName for a bank whose name has `oldLength`
// characters, typed `name`.
std::int64_t BankNamingPauseMs(std::size_t oldLength, const std::string& name);

// The work of a whole-unit backup (archive/UnitBackup.h): the bank list, then per bank a bank
// select and its program list, per user program a program change and its text, and the list
// read again after the bank's programs. `userPrograms` holds the number of user programs of each
// bank backed up; `textBytes` the size of a program's text (as the unit sends it).
Work WholeUnitBackup(const std::vector<int>& userPrograms, std::size_t textBytes,
                     int programsPerBank);

// A time as it is said: under a minute in seconds (at least 1), under an hour in minutes, then
// in hours and minutes; rounded to the nearest.
struct Spoken {
    enum class Unit { Seconds, Minutes, Hours };
    Unit unit = Unit::Seconds;
    int amount = 0;   // seconds, minutes or hours
    int minutes = 0;  // Hours: the minutes beyond
};
Spoken Speak(std::int64_t ms);
// "About 40 s", "About 4 min", "About 1 h", "About 1 h 5 min".
std::string AboutText(std::int64_t ms);

}  // namespace estimate
