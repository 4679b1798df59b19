#include "settings/LinkSettings.h"

#include "settings/MIDISettings.h"
#include "settings/SerialSettings.h"
#include "settings/SettingsStore.h"

CLinkSettings::CLinkSettings(CSerialSettings* pSerial, CMIDISettings* pMIDI)
    : pSerial(pSerial), pMIDI(pMIDI) {}

CLinkSettings::~CLinkSettings() {
    Save();
}

std::uint32_t CLinkSettings::Load() {
    std::uint32_t missing = 0;
    deviceType = ReadSettingDword(kSectionOptions, "DeviceType", 0, missing);
    if (missing == 0 && pSerial != nullptr) {
        missing = pSerial->Load();
        if (missing == 0 && pMIDI != nullptr) missing = pMIDI->Load();
    }
    return missing != 0 ? 1 : 0;
}

void CLinkSettings::Save() const {
    WriteSettingDword(kSectionOptions, "DeviceType", deviceType);
}
