#include "settings/SettingsStore.h"

#include <atomic>

#include "settings/MemorySettingsStore.h"

namespace {

ISettingsStore& PrivateStore() {
    static CMemorySettingsStore store;
    return store;
}

std::atomic<ISettingsStore*> g_pStore{nullptr};

}  // namespace

ISettingsStore& SettingsStore() {
    ISettingsStore* store = g_pStore.load();
    return store != nullptr ? *store : PrivateStore();
}

void SetSettingsStore(ISettingsStore* store) {
    g_pStore.store(store);
}

std::int32_t ReadSettingDword(const char* section, const char* name, std::int32_t defaultValue,
                              std::uint32_t& missing) {
    if (auto value = SettingsStore().ReadDword(section, name)) return *value;
    missing = 1;
    return defaultValue;
}

int WriteSettingDword(const char* section, const char* name, std::int32_t value) {
    return SettingsStore().WriteDword(section, name, value) ? 1 : 0;
}

std::string ReadSettingString(const char* section, const char* name,
                              const std::string& defaultValue) {
    if (auto value = SettingsStore().ReadString(section, name)) return *value;
    return defaultValue;
}

int WriteSettingString(const char* section, const char* name, const std::string& value) {
    return SettingsStore().WriteString(section, name, value) ? 1 : 0;
}
