#pragma once
// The user's saved settings, where this build of quorlin-cli keeps them: QSettings where Qt is
// built (SavedSettingsQt.cpp), the registry in the Windows build without Qt
// (SavedSettingsRegistry.cpp). The same sections and value names either way.

#include <memory>
#include <string>

#include "settings/SettingsStore.h"

std::unique_ptr<ISettingsStore> OpenSavedSettings();
// Where OpenSavedSettings' values are kept, for the user to read: the settings file's path, or
// the registry key on Windows. The desktop program saves its connection there.
std::string SavedSettingsLocation();
