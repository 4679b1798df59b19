#pragma once
// The host of the command-line tool: every message the engine or a link shows is written to
// stderr at once (its caption first, on a line of its own, when one is given), and the run
// carries on as if the user had pressed OK. Pauses sleep a little longer than asked (the pause
// margin), unless a pause hook is set (the demo unit moves its simulated clock instead); there is
// no wait cursor.
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

#include "link/Host.h"

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
        if (m_onMessage) m_onMessage(text);
    }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void Pause(int ms) override {
        if (m_onPause) {
            m_onPause(ms);
            return;
        }
        // The unit counts the gap between key presses as they reach it, and a frame reaches it a
        // little after Send returns, by an amount that varies with the transport. A pause of
        // exactly the gap the unit needs would let that variation shorten it.
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms + m_nPauseMarginMs));
    }

    // Over the serial port: the writer thread's wake-up varies by a few milliseconds.
    static constexpr int kSerialPauseMarginMs = 5;
    // Over MIDI: a MIDI system that moves messages in periods (JACK sends a period's messages
    // together at its start) shortens a gap by up to one period; this covers 1024 frames at
    // 48 kHz (21 ms).
    static constexpr int kMIDIPauseMarginMs = 25;
    void SetPauseMargin(int ms) { m_nPauseMarginMs = ms; }

    // Replaces sleeping (set before the engine runs).
    void SetPauseHook(std::function<void(int)> hook) { m_onPause = std::move(hook); }
    // Also hands every message shown to `hook` (the log file; set before the engine runs).
    void SetMessageHook(std::function<void(const std::string&)> hook) {
        m_onMessage = std::move(hook);
    }
    // How many messages have been shown so far.
    int Shown() {
        std::lock_guard lock(m_mutex);
        return m_nShown;
    }

private:
    std::FILE* m_pOut;
    std::mutex m_mutex;
    int m_nShown = 0;
    int m_nPauseMarginMs = kSerialPauseMarginMs;
    std::function<void(int)> m_onPause;
    std::function<void(const std::string&)> m_onMessage;
};
