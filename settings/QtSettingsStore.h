#pragma once
// The persistent settings store of the program, over QSettings in the platform's native format:
// on Windows the registry key Software\Brisca\Quorlin of the current user, on Linux the file
// Brisca/Quorlin.conf in the user's config folder, on macOS the user's preferences.
//
// A value counts as a 32-bit integer when the platform stores it as one. Text-based formats (the
// INI file used on Linux) keep every value as text; there a value is a 32-bit integer when its
// whole text is a decimal number that fits in 32 bits, and anything else counts as missing.

#include <QSettings>
#include <memory>
#include <mutex>

#include "settings/SettingsStore.h"

class CQtSettingsStore : public ISettingsStore {
public:
    // The user's own settings: organisation "Brisca", application "Quorlin".
    CQtSettingsStore();
    // An INI file at `iniPath` (tests, and nothing else).
    explicit CQtSettingsStore(const QString& iniPath);
    ~CQtSettingsStore() override;

    std::optional<std::int32_t> ReadDword(const std::string& section,
                                          const std::string& name) override;
    bool WriteDword(const std::string& section, const std::string& name,
                    std::int32_t value) override;
    std::optional<std::string> ReadString(const std::string& section,
                                          const std::string& name) override;
    bool WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;

    // Writes pending changes to permanent storage.
    void Sync();
    // Where the values are kept, as the user would look for it (UTF-8): the file's path, or on
    // Windows the registry key ("\\HKEY_CURRENT_USER\\Software\\Brisca\\Quorlin").
    std::string Location() const;

private:
    std::mutex m_mutex;
    std::unique_ptr<QSettings> m_pSettings;
};
