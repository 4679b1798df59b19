#pragma once
// One MIDI input device: opens input number N of the MIDI system and, while recording, hands every
// input event to its listener.
//
// States: 0 closed, 1 opened, 2 recording. Open (from any state, closing first) → 1; Start → 2;
// Stop → 1; Close → 0 (from 2 through Stop). Input is delivered only while recording:
// - a system-exclusive message that ends with 0xF7 reaches OnLongMessage in pieces of at most
//   kLongBufferSize bytes, in order (the first begins with 0xF0, the last ends with 0xF7);
// - one that does not end with 0xF7 reaches OnLongError in the same pieces;
// - any other message reaches OnShortMessage, packed status | data1 << 8 | data2 << 16;
// - an input error that the MIDI system reports reaches OnShortError with message 0.
// Timing clock and active sensing are not delivered.
//
// Failures throw midi::CMIDIInException with the system's text (midi::CMIDIInMemFailure when
// memory ran out): Open when the number does not exist or the system refuses (the device is then
// closed), Close when the system refuses to close (the device then stays opened).
//
// Threads: Open, Close, Start and Stop may be called from different threads (the MIDI link starts
// recording from its send worker) and are serialised. The listener runs on the MIDI system's own
// thread; once Stop has returned no new listener call begins, and once Close has returned none
// runs any more.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "link/midi/MIDIBackend.h"
#include "link/midi/MIDIInListener.h"

namespace midi {

class CMIDIInDevice {
public:
    // The largest piece of a system-exclusive message handed to the listener at once.
    static constexpr std::uint32_t kLongBufferSize = 2048;

    enum State { kClosed = 0, kOpened = 1, kRecording = 2 };

    // `listener` is not owned and must outlive the device.
    CMIDIInDevice(CMIDIInListener& listener, std::shared_ptr<IMIDIBackend> backend);
    ~CMIDIInDevice();  // Close; a failure to close is ignored here
    CMIDIInDevice(const CMIDIInDevice&) = delete;
    CMIDIInDevice& operator=(const CMIDIInDevice&) = delete;

    void Open(std::int32_t deviceNumber);
    void Close();
    // Only when opened; otherwise nothing.
    void Start();
    // Only when recording; otherwise nothing.
    void Stop();

    int State() const { return m_nState.load(); }
    // The text of the first input error the MIDI system reported since the last Open (whether
    // or not the device was recording); empty when none was.
    std::string Failure() const;

private:
    void CloseLocked();
    void OnPortMessage(const std::uint8_t* bytes, std::size_t count);
    void OnPortError(const std::string& text);
    std::uint32_t TimeStamp() const;

    CMIDIInListener& m_listener;
    std::shared_ptr<IMIDIBackend> m_pBackend;
    std::mutex m_mutex;  // serialises Open, Close, Start, Stop
    std::unique_ptr<IMIDIInPort> m_pPort;
    std::atomic<int> m_nState{kClosed};
    std::atomic<std::int64_t> m_nStartTicks{0};  // steady clock at Start, in milliseconds
    // Not m_mutex: Close holds that while it waits for the MIDI system's thread to leave.
    mutable std::mutex m_failureMutex;
    std::string m_strFailure;  // guarded by m_failureMutex
};

}  // namespace midi
