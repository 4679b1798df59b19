#include "settings/OverlaySettingsStore.h"

#include <utility>

COverlaySettingsStore::COverlaySettingsStore(ISettingsStore& base, std::set<std::string> sections)
    : m_base(base), m_sections(std::move(sections)) {}

bool COverlaySettingsStore::Shadowed(const std::string& section, const std::string& name) const {
    return m_sections.empty() || m_sections.count(section) != 0 ||
           m_sections.count(section + "/" + name) != 0;
}

std::optional<std::int32_t> COverlaySettingsStore::ReadDword(const std::string& section,
                                                             const std::string& name) {
    if (Shadowed(section, name) && m_overlay.Raw(section, name))
        return m_overlay.ReadDword(section, name);
    return m_base.ReadDword(section, name);
}

bool COverlaySettingsStore::WriteDword(const std::string& section, const std::string& name,
                                       std::int32_t value) {
    if (Shadowed(section, name)) return m_overlay.WriteDword(section, name, value);
    return m_base.WriteDword(section, name, value);
}

std::optional<std::string> COverlaySettingsStore::ReadString(const std::string& section,
                                                             const std::string& name) {
    if (Shadowed(section, name) && m_overlay.Raw(section, name)) {
        return m_overlay.ReadString(section, name);
    }
    return m_base.ReadString(section, name);
}

bool COverlaySettingsStore::WriteString(const std::string& section, const std::string& name,
                                        const std::string& value) {
    if (Shadowed(section, name)) return m_overlay.WriteString(section, name, value);
    return m_base.WriteString(section, name, value);
}
