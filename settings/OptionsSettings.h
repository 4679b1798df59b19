#pragma once
// The program's options, section "Options": the MIDI channel of program changes, the DSP that
// receives bank changes, and whether the patch info pane is shown. Read when the view is built and
// written when it is destroyed; the command-line tool only reads them.

#include <cstdint>

class COptionsSettings {
public:
    // Reads the three values. A value that is missing, or outside its range (edited by hand, or
    // from another version), gives its default, never the nearest bound. Returns nonzero when at
    // least one value was missing.
    std::uint32_t Load();
    // Writes the three values.
    void Save() const;

    std::int32_t m_nChannel = 0;           // "Channel": 0 to 15
    std::int32_t m_nBankChangeDevice = 1;  // "BankChangeDevice": 1 DSP A, 2 DSP B
    std::int32_t m_bDisplayInfoPane = 1;   // "DisplayInfoPane": 0 or 1
};
