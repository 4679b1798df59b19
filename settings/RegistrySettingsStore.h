#pragma once
// The persistent settings store on Windows without Qt: the registry key
// HKEY_CURRENT_USER\Software\Brisca\Quorlin, one subkey per section ("Options", "SerialSetup",
// "MIDISetup") and the same value names as everywhere else. This is where QSettings keeps the
// desktop program's settings on Windows, so both programs read and write the same values:
// numbers as REG_DWORD, texts as REG_SZ. A value of another type counts as missing.
//
// Thread safety as in SettingsStore.h (the registry itself may be used from any thread).

#include <windows.h>

#include <string>

#include "settings/SettingsStore.h"

class CRegistrySettingsStore : public ISettingsStore {
public:
    // The user's own settings.
    CRegistrySettingsStore();
    // Another key under HKEY_CURRENT_USER (tests, and nothing else), for example
    // "Software\\Brisca\\QuorlinTest".
    explicit CRegistrySettingsStore(std::wstring keyPath);

    std::optional<std::int32_t> ReadDword(const std::string& section,
                                          const std::string& name) override;
    bool WriteDword(const std::string& section, const std::string& name,
                    std::int32_t value) override;
    std::optional<std::string> ReadString(const std::string& section,
                                          const std::string& name) override;
    bool WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;

    // The key under HKEY_CURRENT_USER that holds the sections.
    const std::wstring& KeyPath() const { return m_strKeyPath; }

private:
    std::wstring SectionKey(const std::string& section) const;

    std::wstring m_strKeyPath;
};
