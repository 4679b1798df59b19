#include "DemoUnit.h"

#include "OverlaySettingsStore.h"
#include "PtyServer.h"
#include "SettingsStore.h"
#include "SimUnit.h"

CDemoUnit::CDemoUnit()
    : m_pUnit(std::make_unique<CSimUnit>()),
      m_pServer(std::make_unique<CPtyServer>(*m_pUnit, CPtyServer::Pacing{38400, 11}, nullptr)) {}

CDemoUnit::~CDemoUnit() {
    if (m_thread.joinable()) {
        m_pServer->Stop();
        m_thread.join();
    }
}

bool CDemoUnit::Start() {
    if (!m_pServer->Open(m_strError)) return false;
    m_strPortPath = m_pServer->SlavePath();
    m_thread = std::thread([this] { m_pServer->Run(); });
    return true;
}

std::unique_ptr<COverlaySettingsStore> CDemoUnit::SerialOverlay(ISettingsStore& saved,
                                                                const std::string& portPath,
                                                                bool lineDefaults) {
    auto overlay = std::make_unique<COverlaySettingsStore>(
        saved, std::set<std::string>{kSectionSerial, kSectionMIDI, "Options/DeviceType"});
    CMemorySettingsStore& run = overlay->Overlay();
    struct Line {
        const char* name;
        std::int32_t value;
    };
    const Line line[] = {
        {"PortNumber", 1}, {"BaudRate", 38400}, {"Parity", 'n'}, {"DataBits", 8}, {"StopBits", 2}};
    for (const Line& value : line) {
        const auto stored = saved.ReadDword(kSectionSerial, value.name);
        run.WriteDword(kSectionSerial, value.name, !lineDefaults && stored ? *stored : value.value);
    }
    run.WriteString(kSectionSerial, "PortName", portPath);
    run.WriteDword(kSectionOptions, "DeviceType", 0);
    return overlay;
}
