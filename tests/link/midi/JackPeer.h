#pragma once
// The unit's side of a real MIDI route through JACK, for tests and benchmarks: one JACK client
// "quorlin-peer-in" with the input port "in" (where the link's output connects) and one client
// "quorlin-peer-out" with the output port "out" (where the link's input connects). Every frame
// that arrives is handed to the responder on JACK's thread; the responder's messages are sent
// back at once.
//
// Start after the JACK server is running; Stop (or destruction) before it ends.

#include <RtMidi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CJackPeer {
public:
    using Bytes = std::vector<std::uint8_t>;
    using Responder = std::function<std::vector<Bytes>(const Bytes& frame)>;

    static constexpr const char* kInputPort = "quorlin-peer-in:in";     // the link's output
    static constexpr const char* kOutputPort = "quorlin-peer-out:out";  // the link's input

    void Start();  // throws RtMidiError when JACK refuses
    void Stop();
    ~CJackPeer() { Stop(); }

    void SetResponder(Responder responder);
    std::vector<Bytes> Received() const;
    void ClearReceived();
    // steady_clock nanoseconds just before the last reply was handed to JACK.
    std::int64_t LastReplySentNs() const { return m_nLastReplyNs.load(); }

private:
    static void OnMessage(double, std::vector<unsigned char>* message, void* self);

    mutable std::mutex m_mutex;
    Responder m_responder;
    std::vector<Bytes> m_received;
    std::atomic<std::int64_t> m_nLastReplyNs{0};
    std::unique_ptr<RtMidiOut> m_pOut;
    std::unique_ptr<RtMidiIn> m_pIn;
};
