#pragma once
// One output port of a MIDI system, as midi::CMIDIOutDevice needs it. The program uses the RtMidi
// implementation (RtMidiOutPort.h); tests put a stand-in behind the same interface.
//
// Called by one thread at a time (the device serialises its calls). Failures throw an exception
// derived from std::exception whose what() is the system's text.

#include <cstddef>
#include <cstdint>

namespace midi {

class IMIDIOutPort {
public:
    // Destroying an open port closes it.
    virtual ~IMIDIOutPort() = default;

    // Connects to output `number` (an index into the system's list of outputs, as
    // OutputPortNames() gives it). Throws when there is no such output or the system refuses.
    virtual void Open(unsigned int number) = 0;
    // Sends one complete message. The bytes are copied before the call returns. Throws when the
    // message cannot be sent, in particular when it is longer than LargestMessage().
    virtual void Send(const std::uint8_t* bytes, std::size_t count) = 0;
    // The longest message the route carries in one piece.
    virtual std::size_t LargestMessage() const = 0;
};

}  // namespace midi
