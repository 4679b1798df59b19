#pragma once
// The host of the command-line tool: every message the engine or a link shows is written to
// stderr at once (its caption first, on a line of its own, when one is given), and the run
// carries on as if the user had pressed OK. Pauses sleep a few milliseconds longer than asked
// (kPauseMarginMs), unless a pause hook is set (the demo unit moves its simulated clock instead);
// there is no wait cursor.
//
// Thread safety: ShowMessage may be called from any thread (the serial monitor thread reports
// failing port calls); messages are written whole, one at a time. The other functions are called
// by the thread that runs the engine.

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "Host.h"

class CCliHost : public IHost {
public:
    explicit CCliHost(std::FILE* out = stderr) : m_pOut(out) {}

    void ShowMessage(const std::string& text, const std::string& caption = {},
                     Icon = Icon::None) override {
        std::lock_guard lock(m_mutex);
        ++m_nShown;
        if (!caption.empty()) std::fprintf(m_pOut, "%s\n", caption.c_str());
        std::fwrite(text.data(), 1, text.size(), m_pOut);
        if (text.empty() || text.back() != '\n') std::fputc('\n', m_pOut);
        std::fflush(m_pOut);
    }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void Pause(int ms) override {
        if (m_onPause) {
            m_onPause(ms);
            return;
        }
        // The unit counts the gap between key presses as they reach it, and a frame reaches it a
        // little after Send returns, by an amount that varies with the port's writer thread. A
        // pause of exactly the gap the unit needs would let that variation shorten it.
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms + kPauseMarginMs));
    }

    static constexpr int kPauseMarginMs = 5;

    // Replaces sleeping (set before the engine runs).
    void SetPauseHook(std::function<void(int)> hook) { m_onPause = std::move(hook); }
    // How many messages have been shown so far.
    int Shown() {
        std::lock_guard lock(m_mutex);
        return m_nShown;
    }

private:
    std::FILE* m_pOut;
    std::mutex m_mutex;
    int m_nShown = 0;
    std::function<void(int)> m_onPause;
};
