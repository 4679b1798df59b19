#pragma once
// A settings store held in memory: what tests use, and the default store of the process until
// the program chooses a persistent one. Values may be seeded with any type, so tests can store a
// text where a number belongs and see it treated as missing.

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <variant>

#include "settings/SettingsStore.h"

class CMemorySettingsStore : public ISettingsStore {
public:
    using Value = std::variant<std::int64_t, std::string>;

    std::optional<std::int32_t> ReadDword(const std::string& section,
                                          const std::string& name) override;
    bool WriteDword(const std::string& section, const std::string& name,
                    std::int32_t value) override;
    std::optional<std::string> ReadString(const std::string& section,
                                          const std::string& name) override;
    bool WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;

    // Test helpers: store a raw value of any kind, look at one, count and forget them all.
    void Seed(const std::string& section, const std::string& name, Value value);
    std::optional<Value> Raw(const std::string& section, const std::string& name) const;
    std::size_t Count() const;
    void Clear();
    // When set, every write fails (as a registry that refuses to create the key).
    void SetReadOnly(bool readOnly);

private:
    using Key = std::pair<std::string, std::string>;
    mutable std::mutex m_mutex;
    std::map<Key, Value> m_values;
    bool m_bReadOnly = false;
};
