#include "cli/SavedSettings.h"

#include "settings/RegistrySettingsStore.h"

std::unique_ptr<ISettingsStore> OpenSavedSettings() {
    return std::make_unique<CRegistrySettingsStore>();
}
