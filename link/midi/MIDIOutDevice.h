#pragma once
// One MIDI output device: opens output number N of the MIDI system and sends system-exclusive
// messages on it.
//
// States: 0 closed, 1 opened. Open (from any state, closing first) → 1; Close → 0.
//
// SendLong sends only when opened (otherwise it does nothing) and works on a copy: the caller may
// free its bytes as soon as the call returns. It throws midi::CMIDIOutException, without sending,
// when the message is longer than LargestLongMessage() (a route such as JACK would otherwise drop
// it without a word) or when an earlier SendLong on another thread has not finished within
// kBusyWaitMs. A message the MIDI system refuses is lost without an exception; the system's text
// for the first refusal since Open is kept in Failure(), where the MIDI link looks for it.
//
// Failures of Open throw midi::CMIDIOutException with the system's text (midi::CMIDIOutMemFailure
// when memory ran out); the device is then closed.
//
// Threads: every operation may be called from any thread. Close does not wait for a SendLong
// running on another thread: that send finishes on its own copy of the port, which is closed
// when it returns.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "link/midi/MIDIBackend.h"

namespace midi {

class CMIDIOutDevice {
public:
    enum State { kClosed = 0, kOpened = 1 };
    static constexpr int kBusyWaitMs = 5000;

    explicit CMIDIOutDevice(std::shared_ptr<IMIDIBackend> backend);
    ~CMIDIOutDevice();  // Close
    CMIDIOutDevice(const CMIDIOutDevice&) = delete;
    CMIDIOutDevice& operator=(const CMIDIOutDevice&) = delete;

    void Open(std::int32_t deviceNumber);
    // Returns 0; nothing to report, since closing a port cannot fail.
    int Close();
    void SendLong(const std::uint8_t* bytes, std::uint32_t count);

    // The system's text for the first message it refused since the last Open; empty when none
    // was refused. A send still running on a port closed since then does not count.
    std::string Failure() const;

    // The longest message the open route carries; the largest std::size_t when closed (nothing
    // is sent then anyway).
    std::size_t LargestLongMessage() const;
    int State() const { return m_nState.load(); }

private:
    std::shared_ptr<IMIDIBackend> m_pBackend;
    mutable std::mutex m_mutex;  // guards m_pPort and the state changes
    std::shared_ptr<IMIDIOutPort> m_pPort;
    // One message at a time. (Not a std::timed_mutex: ThreadSanitizer cannot see its timed lock.)
    std::mutex m_sendMutex;
    std::condition_variable m_sendDone;
    bool m_bSending = false;  // guarded by m_sendMutex
    std::atomic<int> m_nState{kClosed};
    std::string m_strFailure;  // guarded by m_mutex
};

}  // namespace midi
