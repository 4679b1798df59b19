// CliSignals.h on POSIX systems: the three signals blocked in every thread and taken with
// sigwait by a thread of their own, which may therefore do ordinary work (take the lock of the
// temporary-file table) before it ends the program.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "archive/FileWriter.h"
#include "cli/CliSignals.h"
#include "link/serial/SavedTermios.h"

namespace {

std::atomic<bool> g_stopArmed{false};
std::atomic<bool> g_stopRequested{false};

// The ending signals, leaving out any that the program was started with ignored (nohup).
sigset_t EndingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        sigaddset(&set, signal);
    }
    return set;
}

[[noreturn]] void EndBySignal(int signal) {
    // The serial line gets the settings it had before the run, as a normal exit leaves it.
    savedtermios::RestoreAll();
    filewriter::RemoveTemporaryFiles();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);  // not reached: the default action ends the process
}

}  // namespace

void StartSignalHandling() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);

    const sigset_t set = EndingSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            int signal = 0;
            if (::sigwait(&set, &signal) != 0) continue;
            // The first signal during a whole-unit run asks it to stop between programs.
            if (g_stopArmed.load() && !g_stopRequested.exchange(true)) continue;
            EndBySignal(signal);
        }
    }).detach();
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
