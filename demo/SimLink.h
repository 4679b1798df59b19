#pragma once
// The simulated unit behind a device link, in-process: what engine and GUI tests (and the demo
// unit) talk to instead of a port. Frames go through the unit's own frame assembler to CSimUnit;
// its replies come back at once, shaped as the chosen transport delivers them:
//   Serial: the reply without its closing 0xF7;  MIDI: with it.
//
// Time: the link keeps the unit's clock in milliseconds. Nothing here sleeps. The clock moves only
// by AdvanceClock (tests call it from the recording host's pause hook, so the engine's pauses
// reach the unit), by the waits that would have passed on a real port (a SendAndWait that gets no
// reply, each silent wait of a SendAndPoll), and, after UseSteadyClock(true), with real time.
//
// SendAndWait: the unit's first reply to the frame is the reply; none: -1 after advancing the clock
//   by the wait a real link gives up after (Serial: firstWaitMs when it is set and shorter than the
//   time-out; MIDI: the time-out).
// SendAndPoll: a reply (MIDI: only one whose fourth byte is 0x0D) is returned at once; otherwise
//   the clock advances one poll wait (Timings().pollWaitMs, 2000 ms by default) and the engine's
//   ProbeCompletion is asked, at most 11 times, as the real poll loop does; then -1.
//
// Traffic tap (LinkTap.h): every frame handed to the unit and each of its replies whole (0xF7
// kept) under the name "demo unit"; the replies to a Send, which nobody receives, are marked
// discarded.
//
// Faults of the caller are recorded in ProtocolErrors(), not thrown: a Send, SendAndWait or
// SendAndPoll outside Open...Close, a frame longer than the size given to Open, bytes that are not
// one complete frame, Open while open, Close while closed.
//
// Thread safety: one engine thread drives the link (the probe's nested SendAndWait included);
// another thread may read the counters, ProtocolErrors() and the clock at any time. Transcript()
// returns a reference: read it only while no operation runs.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/DeviceLink.h"
#include "sim/FrameAssembler.h"

class CSimUnit;

class CSimLink : public CDeviceLink {
public:
    enum class ReplyStyle { Serial, MIDI };
    struct SentFrame {
        std::string bytes;
        std::int64_t atMs;
    };

    explicit CSimLink(CSimUnit& unit, ReplyStyle style = ReplyStyle::Serial);

    int Open(int bufferSize) override;
    void Close() override;
    void Send(const std::uint8_t* data, int length) override;
    int SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                    std::string& reply) override;
    int SendAndPoll(ICompletionProbe& engine, const std::string& name, const std::uint8_t* data,
                    int length, std::string& reply) override;

    void AdvanceClock(int ms);
    std::int64_t Now() const;
    // With true, the clock also moves with real time (the demo unit); tests leave it off.
    void UseSteadyClock(bool on);

    const std::vector<SentFrame>& Transcript() const { return m_transcript; }
    void ClearTranscript();
    int OpenCount() const;  // every call of Open, failed ones included
    int CloseCount() const;
    bool IsOpen() const;
    int LastOpenSize() const;
    std::vector<std::string> ProtocolErrors() const;
    void ClearProtocolErrors();

    void SetFailOpen(bool fail);  // Open returns -2, as for a port that cannot be opened
    void SetSilent(bool silent);  // the unit is switched off: it takes nothing, answers nothing

private:
    // Records the frame and hands it to the unit; returns the unit's replies. Lock held.
    std::vector<std::string> Deliver(const std::uint8_t* data, int length, const char* operation);
    std::string Shape(const std::string& frame) const;
    std::int64_t NowLocked() const;

    CSimUnit& m_unit;
    const ReplyStyle m_style;
    mutable std::mutex m_mutex;
    CFrameAssembler m_assembler;
    std::vector<SentFrame> m_transcript;
    std::vector<std::string> m_protocolErrors;
    std::int64_t m_nClockMs = 0;
    bool m_bSteady = false;
    std::chrono::steady_clock::time_point m_steadyStart;
    bool m_bOpen = false;
    bool m_bFailOpen = false;
    bool m_bSilent = false;
    int m_nOpenCount = 0;
    int m_nCloseCount = 0;
    int m_nOpenSize = 0;
};
