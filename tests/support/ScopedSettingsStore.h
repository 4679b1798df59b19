#pragma once
// Installs a fresh in-memory settings store for the life of a test, so no test ever reads or
// writes the real user's settings.

#include "settings/MemorySettingsStore.h"
#include "settings/SettingsStore.h"

class CScopedSettingsStore {
public:
    CScopedSettingsStore() { SetSettingsStore(&m_store); }
    ~CScopedSettingsStore() { SetSettingsStore(nullptr); }
    CScopedSettingsStore(const CScopedSettingsStore&) = delete;
    CScopedSettingsStore& operator=(const CScopedSettingsStore&) = delete;

    CMemorySettingsStore& operator*() { return m_store; }
    CMemorySettingsStore* operator->() { return &m_store; }

private:
    CMemorySettingsStore m_store;
};
