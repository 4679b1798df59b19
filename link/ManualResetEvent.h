#pragma once
// A manual-reset event: once set it stays set, releasing every waiter, until it is reset.
// Safe to use from any number of threads.

#include <chrono>
#include <condition_variable>
#include <mutex>

class CManualResetEvent {
public:
    explicit CManualResetEvent(bool initiallySet = false) : m_bSet(initiallySet) {}
    CManualResetEvent(const CManualResetEvent&) = delete;
    CManualResetEvent& operator=(const CManualResetEvent&) = delete;

    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_bSet = true;
        }
        m_cv.notify_all();
    }

    void Reset() {
        std::lock_guard lock(m_mutex);
        m_bSet = false;
    }

    bool IsSet() const {
        std::lock_guard lock(m_mutex);
        return m_bSet;
    }

    // True when the event was (or became) set within `timeoutMs`; a negative time waits forever.
    bool Wait(int timeoutMs) {
        std::unique_lock lock(m_mutex);
        if (timeoutMs < 0) {
            m_cv.wait(lock, [this] { return m_bSet; });
            return true;
        }
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_bSet; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bSet;
};
