#include "settings/OptionsSettings.h"

#include "settings/SettingsStore.h"

namespace {

std::int32_t InRangeOr(std::int32_t value, std::int32_t low, std::int32_t high,
                       std::int32_t fallback) {
    return value < low || value > high ? fallback : value;
}

}  // namespace

std::uint32_t COptionsSettings::Load() {
    std::uint32_t missing = 0;
    m_nChannel = InRangeOr(ReadSettingDword(kSectionOptions, "Channel", 0, missing), 0, 15, 0);
    m_nBankChangeDevice =
        InRangeOr(ReadSettingDword(kSectionOptions, "BankChangeDevice", 1, missing), 1, 2, 1);
    m_bDisplayInfoPane =
        InRangeOr(ReadSettingDword(kSectionOptions, "DisplayInfoPane", 1, missing), 0, 1, 1);
    return missing;
}

void COptionsSettings::Save() const {
    WriteSettingDword(kSectionOptions, "Channel", m_nChannel);
    WriteSettingDword(kSectionOptions, "BankChangeDevice", m_nBankChangeDevice);
    WriteSettingDword(kSectionOptions, "DisplayInfoPane", m_bDisplayInfoPane);
}
