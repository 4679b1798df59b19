#pragma once
// The serial line settings, section "SerialSetup". Owned by the serial link: loaded when the
// link is created, saved when the record is destroyed. Dialogs change the record in memory only.

#include <cstdint>
#include <string>

class CSerialSettings {
public:
    CSerialSettings() = default;
    ~CSerialSettings();  // writes the values back to the settings store, unless m_bPersist is off
    CSerialSettings(const CSerialSettings&) = delete;
    CSerialSettings& operator=(const CSerialSettings&) = delete;

    // Reads the five line values (with their defaults) and the device path. Returns nonzero when
    // at least one of the five values was missing. Only the low byte of "Parity" is kept.
    std::uint32_t Load();
    // Writes the five values, the parity letter as its character code, and the device path
    // where the platform has no port numbers.
    void Save() const;

    // The device to open: the stored path if there is one (on Windows only a run's own, such as
    // the command line's); otherwise derived from the port number ("COM%d" / "\\.\COM%d" on
    // Windows, /dev/ttyS(n-1) elsewhere).
    std::string PortPath() const;
    // Takes the port and the five line values of `other`; m_bPersist stays as it is.
    void CopyLine(const CSerialSettings& other);

    std::int32_t m_nPortNumber = 1;
    std::int32_t m_nBaudRate = 38400;
    char m_cParity = 'n';
    std::int32_t m_nDataBits = 8;
    std::int32_t m_nStopBits = 2;
    std::string m_strPortName;  // device path; empty: derive it from m_nPortNumber
    // Off for a record that holds values only for a while (a connection check's copy of what
    // the setup dialog shows): it is then never written back when destroyed.
    bool m_bPersist = true;
};
