#pragma once
// The user's saved settings, where this build of quorlin-cli keeps them: QSettings where Qt is
// built (SavedSettingsQt.cpp), the registry in the Windows build without Qt
// (SavedSettingsRegistry.cpp). The same sections and value names either way.

#include <memory>

#include "settings/SettingsStore.h"

std::unique_ptr<ISettingsStore> OpenSavedSettings();
