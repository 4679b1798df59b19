#include "settings/RegistrySettingsStore.h"

#include <vector>

#include "settings/WinText.h"

namespace {

using wintext::Wide;

}  // namespace

CRegistrySettingsStore::CRegistrySettingsStore() : CRegistrySettingsStore(L"Software\\Brisca\\Quorlin") {}

CRegistrySettingsStore::CRegistrySettingsStore(std::wstring keyPath)
    : m_strKeyPath(std::move(keyPath)) {}

std::wstring CRegistrySettingsStore::SectionKey(const std::string& section) const {
    return m_strKeyPath + L"\\" + Wide(section);
}

std::optional<std::int32_t> CRegistrySettingsStore::ReadDword(const std::string& section,
                                                              const std::string& name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, SectionKey(section).c_str(), Wide(name).c_str(),
                       RRF_RT_ANY, &type, &value, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

bool CRegistrySettingsStore::WriteDword(const std::string& section, const std::string& name,
                                        std::int32_t value) {
    const auto data = static_cast<DWORD>(value);
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, SectionKey(section).c_str(), Wide(name).c_str(),
                             REG_DWORD, &data, sizeof data) == ERROR_SUCCESS;
}

std::optional<std::string> CRegistrySettingsStore::ReadString(const std::string& section,
                                                              const std::string& name) {
    const std::wstring key = SectionKey(section);
    const std::wstring value = Wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_ANY, &type, nullptr,
                       &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return std::nullopt;
    }
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr,
                       text.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return wintext::Utf8(text.data());
}

bool CRegistrySettingsStore::WriteString(const std::string& section, const std::string& name,
                                         const std::string& value) {
    const std::wstring text = Wide(value);
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, SectionKey(section).c_str(), Wide(name).c_str(),
                             REG_SZ, text.c_str(),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}
