#include "link/serial/SavedTermios.h"

#include <sys/ioctl.h>

#include <atomic>
#include <iterator>
#include <thread>

namespace savedtermios {

namespace {

enum State : int { kFree, kFilling, kKept, kRestoring };

// More ports than a program holds at once (the command-line tool holds one; a connection check
// may hold a second).
struct Entry {
    std::atomic<int> state{kFree};
    int fd = -1;
    termios saved{};
};
Entry g_entries[8];
static_assert(std::atomic<int>::is_always_lock_free, "RestoreAll must be async-signal-safe");

}  // namespace

int Keep(int fd, const termios& saved) {
    for (int i = 0; i < static_cast<int>(std::size(g_entries)); ++i) {
        Entry& entry = g_entries[i];
        int expected = kFree;
        if (!entry.state.compare_exchange_strong(expected, kFilling)) continue;
        entry.fd = fd;
        entry.saved = saved;
        entry.state.store(kKept);
        return i;
    }
    return -1;
}

void Forget(int entry) {
    if (entry < 0 || entry >= static_cast<int>(std::size(g_entries))) return;
    std::atomic<int>& state = g_entries[entry].state;
    for (;;) {
        int expected = kKept;
        if (state.compare_exchange_strong(expected, kFree)) return;
        // RestoreAll is at this port: it is done in a moment.
        std::this_thread::yield();
    }
}

void RestoreAll() {
    for (Entry& entry : g_entries) {
        int expected = kKept;
        if (!entry.state.compare_exchange_strong(expected, kRestoring)) continue;
        (void)::tcsetattr(entry.fd, TCSANOW, &entry.saved);
        (void)::ioctl(entry.fd, TIOCNXCL);
        entry.state.store(kKept);
    }
}

}  // namespace savedtermios
