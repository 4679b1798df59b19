#include "cli/SavedSettings.h"

#include "settings/RegistrySettingsStore.h"
#include "settings/WinText.h"

std::unique_ptr<ISettingsStore> OpenSavedSettings() {
    return std::make_unique<CRegistrySettingsStore>();
}

std::string SavedSettingsLocation() {
    return "HKEY_CURRENT_USER\\" + wintext::Utf8(CRegistrySettingsStore().KeyPath());
}
