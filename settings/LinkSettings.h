#pragma once
// Which transport the engine uses (`deviceType`: 0 serial port, 1 MIDI), with pointers to the
// two links' own settings records. Owned by the engine; saves "DeviceType" when destroyed. The
// records it points at belong to the links and are not saved by it.

#include <cstdint>

class CSerialSettings;
class CMIDISettings;

class CLinkSettings {
public:
    CLinkSettings(CSerialSettings* pSerial, CMIDISettings* pMIDI);
    ~CLinkSettings();  // writes "DeviceType"
    CLinkSettings(const CLinkSettings&) = delete;
    CLinkSettings& operator=(const CLinkSettings&) = delete;

    // Reads "DeviceType" (default 0). Only when it was stored are the serial record and then,
    // if the serial values were all there, the MIDI record read again. Returns 1 when anything
    // read was missing, else 0.
    std::uint32_t Load();
    void Save() const;

    std::int32_t deviceType = 0;
    CSerialSettings* pSerial;  // not owned
    CMIDISettings* pMIDI;      // not owned
};
