#pragma once
// A store that reads through to another store but keeps its own writes in memory, so that a run
// that must not change the saved settings (the command-line tool, the demo unit) can still use
// the settings records, which save themselves when destroyed.
//
// Only what is named at construction is shadowed: whole sections ("SerialSetup") or single
// values ("Options/DeviceType"); writes to anything else go through. An empty list shadows
// everything.

#include <set>
#include <string>

#include "settings/MemorySettingsStore.h"

class COverlaySettingsStore : public ISettingsStore {
public:
    explicit COverlaySettingsStore(ISettingsStore& base, std::set<std::string> sections = {});

    std::optional<std::int32_t> ReadDword(const std::string& section,
                                          const std::string& name) override;
    bool WriteDword(const std::string& section, const std::string& name,
                    std::int32_t value) override;
    std::optional<std::string> ReadString(const std::string& section,
                                          const std::string& name) override;
    bool WriteString(const std::string& section, const std::string& name,
                     const std::string& value) override;

    // The shadow copy, where this run's changes to shadowed sections went.
    CMemorySettingsStore& Overlay() { return m_overlay; }

private:
    bool Shadowed(const std::string& section, const std::string& name) const;

    ISettingsStore& m_base;
    std::set<std::string> m_sections;
    CMemorySettingsStore m_overlay;
};
