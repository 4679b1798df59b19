#include "ui/shell/DesktopApp.h"

#include "engine/Librarian.h"
#include "settings/OptionsSettings.h"
#include "ui/shell/MainFrame.h"

CDesktopApp::CDesktopApp() {
    // A message that the engine asks for belongs to the operation that asked; while it is up,
    // the worker keeps its progress dialog out of the way.
    QObject::connect(&m_worker, &CEngineWorker::operationStarting, &m_host,
                     &CGuiHost::BeginOperation);
    QObject::connect(&m_host, &CGuiHost::messageOpening, &m_worker,
                     &CEngineWorker::MessageOpening);
    QObject::connect(&m_host, &CGuiHost::messageClosed, &m_worker, &CEngineWorker::MessageClosed);
}

CDesktopApp::~CDesktopApp() {
    Destroy();
}

void CDesktopApp::Build(const EngineFactory& factory) {
    Destroy();
    m_pEngine = factory(m_host);
    COptionsSettings options;
    options.Load();
    m_state.SetChannel(options.m_nChannel);
    m_state.SetDsp(options.m_nBankChangeDevice);
    m_state.SetShowInfoPane(options.m_bDisplayInfoPane != 0);
    m_pFrame = std::make_unique<CMainFrame>(*m_pEngine, m_worker, m_state, m_host);
    m_host.SetParentWindow(m_pFrame.get());
    m_worker.SetWindow(m_pFrame.get());
}

void CDesktopApp::Destroy() {
    if (!m_pFrame && !m_pEngine) return;
    m_pFrame.reset();
    m_pEngine.reset();
    COptionsSettings options;
    options.m_nChannel = m_state.Channel();
    options.m_nBankChangeDevice = m_state.Dsp();
    options.m_bDisplayInfoPane = m_state.ShowInfoPane() ? 1 : 0;
    options.Save();
}
