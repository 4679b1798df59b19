#pragma once
// midi::IMIDIOutPort over RtMidiOut.
//
// Over JACK, RtMidi passes each message through a ring buffer of 16383 bytes with a 4-byte length
// in front, drops a longer message without a word, and waits (spinning) for room in the ring when
// the server does not drain it. So this port refuses messages above 16379 bytes, and checks that
// the server still answers before each message, so that a vanished server makes Send throw
// instead of leaving the sender spinning. Open returns only once a new JACK connection carries
// messages (two periods of the server after connecting), so the first frame is not lost.

#include <RtMidi.h>

#include <memory>

#include "link/midi/MIDIOutPort.h"
#include "link/midi/RtMidiErrorCatcher.h"

namespace midi {

class CRtMidiOutPort : public IMIDIOutPort {
public:
    // The longest message RtMidi carries over JACK.
    static constexpr std::size_t kJackLargestMessage = 16379;

    explicit CRtMidiOutPort(RtMidi::Api api);
    ~CRtMidiOutPort() override;

    void Open(unsigned int number) override;
    void Send(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t LargestMessage() const override;

private:
    RtMidi::Api m_api;
    CRtMidiErrorCatcher m_errors;  // declared before m_pOut: RtMidi reports to it until destroyed
    std::unique_ptr<RtMidiOut> m_pOut;
};

}  // namespace midi
