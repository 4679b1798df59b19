#pragma once
// The device link: everything the engine sends to the unit, and every reply that comes back,
// passes through one CDeviceLink. A link moves bytes only: it is handed complete frames and hands
// back the bytes of the unit's reply.
//
// Calling pattern, on the one thread that runs the engine: Open(size), then Send / SendAndWait /
// SendAndPoll with complete frames, then Close() on every path once Open succeeded. The only
// nesting is the completion probe's SendAndWait inside a running SendAndPoll.
//
// A reply is a byte string (std::string used as a byte container; any byte value). The serial
// link delivers every byte up to, but not including, the first 0xF7; the MIDI link keeps the
// closing 0xF7.

#include <cstdint>
#include <memory>
#include <string>

#include "link/LinkTap.h"

class CManualResetEvent;

// What a link shows when it has discarded a reply longer than it keeps (2 MiB for every link);
// the exchange then fails.
inline constexpr const char* kReplyTooLongText =
    "The unit's reply is longer than 2 MiB; it was discarded.";

// The engine's answer to "has the pending program load arrived?" (called from SendAndPoll on the
// engine's thread whenever a poll wait passes in silence). Nonzero: the unit shows it as done.
class ICompletionProbe {
public:
    virtual ~ICompletionProbe() = default;
    virtual int ProbeCompletion(const std::string& name) = 0;
};

// The waits a link uses. The defaults are the program's; tests may shorten them.
struct LinkTimings {
    int pollWaitMs = 2000;     // one wait of SendAndPoll's loop
    int sendWaitMs = 5000;     // serial Send waiting for the previous write
    int closeWaitMs = 10000;   // serial Close waiting for the last write
    int workerWaitMs = 2000;   // MIDI link waiting for its send worker after a transaction
};

class CDeviceLink {
public:
    virtual ~CDeviceLink() = default;

    // 0: ready; -2: the transport cannot be opened (the link has told the user where it must).
    virtual int Open(int bufferSize) = 0;
    virtual void Close() = 0;
    // Sends one frame; no reply is awaited. Returns once the frame has left for the unit (or the
    // link gave up on it), so that a pause the caller makes after it is a pause on the line.
    virtual void Send(const std::uint8_t* data, int length) = 0;
    // 0: a complete reply arrived and `reply` holds it; -1: none in time, `reply` unchanged.
    virtual int SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                            std::string& reply) = 0;
    // 0: finished, either with the unit's reply in `reply` or, `reply` unchanged, because the
    // probe saw the operation done; -1: neither within the poll waits.
    virtual int SendAndPoll(ICompletionProbe& engine, const std::string& name,
                            const std::uint8_t* data, int length, std::string& reply) = 0;

    // True once the transport has reported the unit's side gone (a serial hang-up or I/O error,
    // an error the MIDI library reported); every exchange then fails at once, until the next Open.
    virtual bool PeerGone() const { return false; }

    // Ends the exchange that waits for a reply now, and every later one until the next Open, at
    // once with -1, so that the caller can close the link soon (a connection check told to stop).
    // May be called from any thread, also while no exchange runs. Links whose waits are short
    // anyway ignore it.
    virtual void Interrupt() {}

    // Every byte the transport has received since Open, whether a transaction took it or not
    // (the connection check tells a line that floods from a silent one by it); links that do not
    // count say 0. May be called from any thread.
    virtual std::uint64_t BytesReceived() const { return 0; }

    // True when the link found its settings incomplete when it was created and has asked the
    // user to set up the connection (the serial link does); stays so until cleared, once the
    // setup has been offered.
    virtual bool SettingsWereMissing() const { return false; }
    virtual void ClearSettingsMissing() {}

    // How long the serial link's SendAndWait waits for the first byte of a reply.
    std::int32_t firstWaitMs = 0;

    // The traffic tap this link posts its frames to (LinkTap.h); the process's shared tap unless
    // set otherwise. Set it only while the link is closed (its transport threads read it).
    virtual void SetTap(std::shared_ptr<CLinkTap> tap) { m_pTap = std::move(tap); }
    const std::shared_ptr<CLinkTap>& Tap() const { return m_pTap; }

    // For tests only: shortens the link's waits. The program never calls it.
    void SetTimings(const LinkTimings& timings) { m_timings = timings; }
    const LinkTimings& Timings() const { return m_timings; }

protected:
    // The wait loop of SendAndPoll, common to every transport: up to twelve waits of
    // `pollWaitMs` on `pollEvent`; after a silent wait with nothing buffered, the probe is asked
    // (at most 11 times). `pollBufferEmpty` tells whether the transport has buffered bytes of a
    // reply; `takePollReply` gives the reply once the event is set.
    template <typename BufferEmpty, typename TakeReply>
    int RunPollLoop(CManualResetEvent& pollEvent, BufferEmpty pollBufferEmpty,
                    TakeReply takePollReply, ICompletionProbe& engine, const std::string& name,
                    std::string& reply);

    // True when a frame posted now would reach an observer; costs one atomic load.
    bool Tapping() const noexcept { return m_pTap && m_pTap->Active(); }

    LinkTimings m_timings;
    std::shared_ptr<CLinkTap> m_pTap = CLinkTap::Shared();
};

#include "link/ManualResetEvent.h"

template <typename BufferEmpty, typename TakeReply>
int CDeviceLink::RunPollLoop(CManualResetEvent& pollEvent, BufferEmpty pollBufferEmpty,
                             TakeReply takePollReply, ICompletionProbe& engine,
                             const std::string& name, std::string& reply) {
    for (int counter = 0;; ++counter) {
        const bool signalled = pollEvent.Wait(m_timings.pollWaitMs);
        // The outcome of the last wait is not looked at.
        if (counter > 10) return -1;
        if (signalled) {
            reply = takePollReply();
            return 0;
        }
        if (pollBufferEmpty() && engine.ProbeCompletion(name) != 0) return 0;
    }
}
