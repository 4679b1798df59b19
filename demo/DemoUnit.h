#pragma once
// The built-in demo unit: the simulated unit served on a pseudo-terminal in this process, so the
// program reaches it through its real serial link, port and monitor thread, exactly as it would
// reach a unit on a serial cable (paced at 38400 baud, 8 data bits, 2 stop bits). A run against
// it uses SerialPortOverlay(saved, PortPath(), SavedLine::Ignore) (RunSettings.h) as its settings.
//
// Start and the destructor are for the GUI thread; the server runs on a thread of its own.

#include <memory>
#include <string>
#include <thread>

class CSimUnit;
class CPtyServer;

class CDemoUnit {
public:
    CDemoUnit();
    ~CDemoUnit();  // stops the server and waits for it
    CDemoUnit(const CDemoUnit&) = delete;
    CDemoUnit& operator=(const CDemoUnit&) = delete;

    // Opens the pseudo-terminal and starts serving. False with Error() set.
    bool Start();
    const std::string& PortPath() const { return m_strPortPath; }
    // The unit itself, for seeding before Start (benchmarks); not to be touched while serving.
    CSimUnit& Unit() { return *m_pUnit; }
    const std::string& Error() const { return m_strError; }

private:
    std::unique_ptr<CSimUnit> m_pUnit;
    std::unique_ptr<CPtyServer> m_pServer;
    std::thread m_thread;
    std::string m_strPortPath;
    std::string m_strError;
};
