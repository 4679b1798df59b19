#include "demo/DemoUnit.h"

#include <pthread.h>

#include "sim/PtyServer.h"
#include "sim/SimUnit.h"

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
    m_thread = std::thread([this] {
#ifdef __linux__
        // So that a look at the process's threads (bench_idle, top -H) can tell it.
        pthread_setname_np(pthread_self(), "demo unit");
#endif
        m_pServer->Run();
    });
    return true;
}
