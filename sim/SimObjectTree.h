#pragma once
// The unit's object tree as its object queries see it: which key answers with which listing.
//
// Every listing is made of lines ending in "\n". An object line reads
//   TYPE PARENT KEY FLAGS 'name'
// with the keys in upper-case hexadecimal; TYPE is 10 for a menu, 21 for a list, 31 for a text
// line and COL for a processor column. A list line goes on with
//   '' COUNT CURRENT INDEX ITEM ITEM ...
// where CURRENT is the current item (or '' when there is none), INDEX its place in the list, and
// each item is quoted with single quotes, or with double quotes when it holds a single quote.
// Bank items read "%2d %s", program items "%3d %s".
//
//   key 0          root: 'main', 'program functions', then the columns: two that no processor
//                  answers to (value 0, and 140000A0 with bit 28 set), then DSP A (400000A, bit 26)
//                  and DSP B (800000B, bit 27), each named "DSP A: " / "DSP B: " and the name of
//                  the program the processor runs, so a loaded program shows in the root listing
//   1A0            'program functions': 'load new preset' (1AB), 'delete preset' (1BE)
//   1AB            'load new preset': with flags 2 its lists 'bank:' (2B) and 'programs:' (2C);
//                  with other flags only its own line
//   2B             'bank:' every bank; current: the bank the current processor has selected
//   2C             'programs:' the programs of that bank; current: the program the processor runs
//   1BE            'delete preset': its list 'delete: %s' (2D)
//   2D             'delete: %s' the user programs of that bank; current: the delete screen's choice
//   400000A/800000B  the column: its own line, and 'info info' (key 4000C1A / 8000C1B) when the
//                  program it runs has information text
//   4000C1A/8000C1B  the information: a line 'info', then one text line per line of information,
//                  with every percent sign written as "%%"
//   140000A0       'levels': a column of meters without information
// Any other key has no object: the unit does not answer.
//
// Not thread-safe: owned and called by CSimUnit.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/SimProcessor.h"

class CSimLibrary;
class CSimFrontPanel;

class CSimObjectTree {
public:
    static constexpr std::uint32_t kRoot = 0x0;
    static constexpr std::uint32_t kProgramFunctions = 0x1A0;
    static constexpr std::uint32_t kLoadNewPreset = 0x1AB;
    static constexpr std::uint32_t kDeletePreset = 0x1BE;
    static constexpr std::uint32_t kBankList = 0x2B;
    static constexpr std::uint32_t kProgramList = 0x2C;
    static constexpr std::uint32_t kDeleteList = 0x2D;
    static constexpr std::uint32_t kColumnA = 0x400000A;
    static constexpr std::uint32_t kColumnB = 0x800000B;
    static constexpr std::uint32_t kInfoA = 0x4000C1A;
    static constexpr std::uint32_t kInfoB = 0x8000C1B;
    static constexpr std::uint32_t kLevels = 0x140000A0;
    static constexpr int kExpandFlag = 2;

    CSimObjectTree(const CSimLibrary& library, const std::array<SimProcessor, 2>& processors,
                   const int& currentProcessor, const CSimFrontPanel& panel);

    // The listing of the object with that key, or nothing when there is no such object.
    std::optional<std::string> Listing(std::uint32_t key, int flags) const;

private:
    std::string Root() const;
    std::string Column(int processor) const;
    std::optional<std::string> Info(int processor) const;
    std::string BankList() const;
    std::string ProgramList() const;
    std::string DeleteList() const;
    std::string ProcessorTitle(int processor) const;

    const CSimLibrary& m_library;
    const std::array<SimProcessor, 2>& m_processors;
    const int& m_nCurrentProcessor;  // 0 = DSP A, 1 = DSP B
    const CSimFrontPanel& m_panel;
};
