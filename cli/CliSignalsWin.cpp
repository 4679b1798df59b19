// CliSignals.h on Windows: Ctrl+C, Ctrl+Break and the console window being closed reach a handler
// that Windows runs on a thread of its own, which may therefore do ordinary work (take the lock
// of the temporary-file table) before it ends the program. There is no SIGPIPE: a write to a
// closed pipe fails, and the commands report that.
#include <windows.h>

#include <atomic>

#include "archive/FileWriter.h"
#include "cli/CliSignals.h"

namespace {

std::atomic<bool> g_stopArmed{false};
std::atomic<bool> g_stopRequested{false};

// The exit status Windows gives a console program ended by Ctrl+C.
constexpr UINT kControlCExit = 0xC000013A;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The first event during a whole-unit run asks it to stop between programs.
            if (event != CTRL_CLOSE_EVENT && g_stopArmed.load() &&
                !g_stopRequested.exchange(true)) {
                return TRUE;
            }
            filewriter::RemoveTemporaryFiles();
            ::ExitProcess(kControlCExit);
        default:
            return FALSE;
    }
}

}  // namespace

void StartSignalHandling() {
    (void)::SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

CStopBetweenSteps::CStopBetweenSteps() {
    g_stopRequested = false;
    g_stopArmed = true;
}

CStopBetweenSteps::~CStopBetweenSteps() {
    g_stopArmed = false;
}

bool CStopBetweenSteps::Requested() {
    return g_stopRequested.load();
}
