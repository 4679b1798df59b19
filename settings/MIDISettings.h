#pragma once
// The MIDI device numbers, section "MIDISetup". Owned by the MIDI link: loaded when the link is
// created, saved when the record is destroyed. A device number is the index of a port in the MIDI
// system's list of inputs or outputs.

#include <cstdint>

class CMIDISettings {
public:
    CMIDISettings() = default;
    ~CMIDISettings();  // writes the values back to the settings store, unless m_bPersist is off
    CMIDISettings(const CMIDISettings&) = delete;
    CMIDISettings& operator=(const CMIDISettings&) = delete;

    // Reads both values (defaults 0); nonzero when one was missing.
    std::uint32_t Load();
    void Save() const;

    std::int32_t m_nInputDevice = 0;
    std::int32_t m_nOutputDevice = 0;
    // Off for a record that holds values only for a while (a connection check's copy of what
    // the setup dialog shows): it is then never written back when destroyed.
    bool m_bPersist = true;
};
