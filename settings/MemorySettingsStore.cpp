#include "settings/MemorySettingsStore.h"

#include <limits>

std::optional<std::int32_t> CMemorySettingsStore::ReadDword(const std::string& section,
                                                            const std::string& name) {
    std::lock_guard lock(m_mutex);
    auto it = m_values.find({section, name});
    if (it == m_values.end()) return std::nullopt;
    const auto* number = std::get_if<std::int64_t>(&it->second);
    if (number == nullptr) return std::nullopt;
    // A 32-bit value may have been stored signed or unsigned; anything wider is not a dword.
    if (*number < std::numeric_limits<std::int32_t>::min() ||
        *number > static_cast<std::int64_t>(std::numeric_limits<std::uint32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*number));
}

bool CMemorySettingsStore::WriteDword(const std::string& section, const std::string& name,
                                      std::int32_t value) {
    std::lock_guard lock(m_mutex);
    if (m_bReadOnly) return false;
    m_values[{section, name}] = static_cast<std::int64_t>(value);
    return true;
}

std::optional<std::string> CMemorySettingsStore::ReadString(const std::string& section,
                                                            const std::string& name) {
    std::lock_guard lock(m_mutex);
    auto it = m_values.find({section, name});
    if (it == m_values.end()) return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&it->second)) return *text;
    return std::nullopt;
}

bool CMemorySettingsStore::WriteString(const std::string& section, const std::string& name,
                                       const std::string& value) {
    std::lock_guard lock(m_mutex);
    if (m_bReadOnly) return false;
    m_values[{section, name}] = value;
    return true;
}

void CMemorySettingsStore::Seed(const std::string& section, const std::string& name, Value value) {
    std::lock_guard lock(m_mutex);
    m_values[{section, name}] = std::move(value);
}

std::optional<CMemorySettingsStore::Value> CMemorySettingsStore::Raw(
    const std::string& section, const std::string& name) const {
    std::lock_guard lock(m_mutex);
    auto it = m_values.find({section, name});
    if (it == m_values.end()) return std::nullopt;
    return it->second;
}

std::size_t CMemorySettingsStore::Count() const {
    std::lock_guard lock(m_mutex);
    return m_values.size();
}

void CMemorySettingsStore::Clear() {
    std::lock_guard lock(m_mutex);
    m_values.clear();
}

void CMemorySettingsStore::SetReadOnly(bool readOnly) {
    std::lock_guard lock(m_mutex);
    m_bReadOnly = readOnly;
}
