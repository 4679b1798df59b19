#pragma once
// One input port of a MIDI system, as midi::CMIDIInDevice needs it. The program uses the RtMidi
// implementation (RtMidiInPort.h); tests put a stand-in behind the same interface.
//
// Called by one thread at a time (the device serialises its calls). Failures throw an exception
// derived from std::exception whose what() is the system's text (std::bad_alloc when memory ran
// out).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace midi {

class IMIDIInPort {
public:
    // Called on the MIDI system's own thread for every complete message: a whole
    // system-exclusive message, or one short message. `bytes` are valid only during the call.
    using MessageHandler = std::function<void(const std::uint8_t* bytes, std::size_t count)>;
    // Called on the MIDI system's own thread when it reports an input error.
    using ErrorHandler = std::function<void(const std::string& text)>;

    // Destroying an open port closes it; no handler runs after the destructor has returned.
    virtual ~IMIDIInPort() = default;

    // Connects to input `number` (an index into the system's list of inputs, as
    // InputPortNames() gives it), with system-exclusive input switched on, and from then on
    // calls the handlers. Throws when there is no such input or the system refuses.
    virtual void Open(unsigned int number, MessageHandler onMessage, ErrorHandler onError) = 0;
    // Disconnects. Once it has returned, no handler runs any more. Throws when the system
    // refuses; the port then stays open.
    virtual void Close() = 0;
};

}  // namespace midi
