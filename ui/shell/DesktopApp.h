#pragma once
// The desktop program as one object: it owns the GUI host, the engine worker, the browsing state,
// the engine and the main window, builds them in that order and hands each part to those that
// use it (the window, and through it the view, the commands and the list), so that nobody
// reaches through another object for them. main() and the desktop tests build it.
//
// The state's settings "Channel", "BankChangeDevice" and "DisplayInfoPane" (in "Options") are
// read when the window is built and written when it goes.
//
// GUI thread only.

#include <functional>
#include <memory>

#include "ui/core/BrowseState.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/GuiHost.h"

class CLibrarian;
class CMainFrame;
class IHost;

class CDesktopApp {
public:
    // Builds the engine over the host it is given (the links built with it report there).
    using EngineFactory = std::function<std::unique_ptr<CLibrarian>(IHost&)>;

    CDesktopApp();
    // Destroy(), then the worker's thread ends.
    ~CDesktopApp();
    CDesktopApp(const CDesktopApp&) = delete;
    CDesktopApp& operator=(const CDesktopApp&) = delete;

    // Builds the engine with `factory` (its links may ask the user to set up the connection),
    // reads the state's settings, and builds the main window over them (not shown yet). A window
    // and engine built before go first (Destroy).
    void Build(const EngineFactory& factory);
    // The main window goes, then the engine; the state's settings are written. Nothing when
    // nothing was built.
    void Destroy();

    CGuiHost& Host() { return m_host; }
    CEngineWorker& Worker() { return m_worker; }
    CBrowseState& State() { return m_state; }
    CLibrarian* Engine() const { return m_pEngine.get(); }
    CMainFrame* Frame() const { return m_pFrame.get(); }

private:
    CGuiHost m_host;
    CEngineWorker m_worker;
    CBrowseState m_state;
    std::unique_ptr<CLibrarian> m_pEngine;
    std::unique_ptr<CMainFrame> m_pFrame;
};
