#include "settings/SerialSettings.h"

#include "settings/SettingsStore.h"

CSerialSettings::~CSerialSettings() {
    if (m_bPersist) Save();
}

std::uint32_t CSerialSettings::Load() {
    std::uint32_t missing = 0;
    m_nPortNumber = ReadSettingDword(kSectionSerial, "PortNumber", 1, missing);
    m_nBaudRate = ReadSettingDword(kSectionSerial, "BaudRate", 38400, missing);
    const std::int32_t parity = ReadSettingDword(kSectionSerial, "Parity", 'n', missing);
    m_cParity = static_cast<char>(static_cast<std::uint32_t>(parity) & 0xFFu);
    m_nDataBits = ReadSettingDword(kSectionSerial, "DataBits", 8, missing);
    m_nStopBits = ReadSettingDword(kSectionSerial, "StopBits", 2, missing);
    // On Windows the port is saved as its number only; a device named for one run (the
    // command line's --serial) still comes in as a text value.
    m_strPortName = ReadSettingString(kSectionSerial, "PortName");
    return missing;
}

void CSerialSettings::Save() const {
    WriteSettingDword(kSectionSerial, "PortNumber", m_nPortNumber);
    WriteSettingDword(kSectionSerial, "BaudRate", m_nBaudRate);
    WriteSettingDword(kSectionSerial, "Parity", static_cast<unsigned char>(m_cParity));
    WriteSettingDword(kSectionSerial, "DataBits", m_nDataBits);
    WriteSettingDword(kSectionSerial, "StopBits", m_nStopBits);
#if !defined(_WIN32)
    WriteSettingString(kSectionSerial, "PortName", m_strPortName);
#endif
}

void CSerialSettings::CopyLine(const CSerialSettings& other) {
    m_nPortNumber = other.m_nPortNumber;
    m_strPortName = other.m_strPortName;
    m_nBaudRate = other.m_nBaudRate;
    m_cParity = other.m_cParity;
    m_nDataBits = other.m_nDataBits;
    m_nStopBits = other.m_nStopBits;
}

std::string CSerialSettings::PortPath() const {
    if (!m_strPortName.empty()) return m_strPortName;
#if defined(_WIN32)
    if (m_nPortNumber < 10) return "COM" + std::to_string(m_nPortNumber);
    return "\\\\.\\COM" + std::to_string(m_nPortNumber);
#else
    return "/dev/ttyS" + std::to_string(m_nPortNumber - 1);
#endif
}
