#pragma once
// The settings store: every persistent setting of the program is a 32-bit value (or, for the
// serial device path, a text value) in one of three sections: "Options", "SerialSetup",
// "MIDISetup".
//
// The store itself is an interface so that the program can keep its settings where the platform
// keeps them (QSettings: the registry on Windows, the user's config folder elsewhere) while tests
// use a store in memory and never touch the real user's settings.
//
// Thread safety: the functions and the stores may be called from any thread, one call at a time
// per store; the process-wide store must only be replaced while no other thread uses it.

#include <cstdint>
#include <optional>
#include <string>

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // The stored value if it exists and is a 32-bit integer; otherwise nothing.
    virtual std::optional<std::int32_t> ReadDword(const std::string& section,
                                                  const std::string& name) = 0;
    // True when the value was stored.
    virtual bool WriteDword(const std::string& section, const std::string& name,
                            std::int32_t value) = 0;

    // The stored text if it exists and is text; otherwise nothing.
    virtual std::optional<std::string> ReadString(const std::string& section,
                                                  const std::string& name) = 0;
    virtual bool WriteString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
};

// The store used by ReadSettingDword and friends. Until SetSettingsStore is called this is a
// private in-memory store, so nothing persists unless the program chooses a persistent store.
ISettingsStore& SettingsStore();
// Makes `store` the process-wide store (not owned; it must outlive its use). nullptr restores
// the private in-memory store.
void SetSettingsStore(ISettingsStore* store);

// Reads one value. Returns the stored value, or `defaultValue` when the value is absent or not a
// 32-bit integer; in that case `missing` is set to 1. `missing` is never set to 0, so a caller
// clears it once and passes it to a series of reads.
std::int32_t ReadSettingDword(const char* section, const char* name, std::int32_t defaultValue,
                              std::uint32_t& missing);

// Writes one value. Returns 1 when it was stored, 0 otherwise.
int WriteSettingDword(const char* section, const char* name, std::int32_t value);

// Text values, used only for what has no number on some platforms (a serial device path).
// Reading an absent value gives `defaultValue` and does not touch any missing indicator.
std::string ReadSettingString(const char* section, const char* name,
                              const std::string& defaultValue = {});
int WriteSettingString(const char* section, const char* name, const std::string& value);

// Section names.
inline constexpr const char* kSectionOptions = "Options";
inline constexpr const char* kSectionSerial = "SerialSetup";
inline constexpr const char* kSectionMIDI = "MIDISetup";
