#include "cli/SavedSettings.h"

#include "settings/QtSettingsStore.h"

std::unique_ptr<ISettingsStore> OpenSavedSettings() {
    return std::make_unique<CQtSettingsStore>();
}

std::string SavedSettingsLocation() {
    return CQtSettingsStore().Location();
}
