#include "settings/MIDISettings.h"

#include "settings/SettingsStore.h"

CMIDISettings::~CMIDISettings() {
    if (m_bPersist) Save();
}

std::uint32_t CMIDISettings::Load() {
    std::uint32_t missing = 0;
    m_nInputDevice = ReadSettingDword(kSectionMIDI, "InputDevice", 0, missing);
    m_nOutputDevice = ReadSettingDword(kSectionMIDI, "OutputDevice", 0, missing);
    return missing;
}

void CMIDISettings::Save() const {
    WriteSettingDword(kSectionMIDI, "InputDevice", m_nInputDevice);
    WriteSettingDword(kSectionMIDI, "OutputDevice", m_nOutputDevice);
}
