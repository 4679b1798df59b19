#pragma once
// What the MIDI input device calls for every input event while it records.
//
// All four operations run on the MIDI system's own thread (RtMidi's callback thread), never on
// the caller's thread; they must be short and must not open, close, start or stop the device that
// calls them. Time stamps are milliseconds since the device started recording.

#include <cstdint>

namespace midi {

class CMIDIInListener {
public:
    virtual ~CMIDIInListener() = default;

    // One piece of a complete system-exclusive message: the message in order, in pieces of at
    // most CMIDIInDevice::kLongBufferSize bytes; the first piece begins with 0xF0 and the last
    // ends with 0xF7. `bytes` are valid only during the call.
    virtual void OnLongMessage(const std::uint8_t* bytes, std::uint32_t count,
                               std::uint32_t timeStamp) = 0;
    // A short message packed as status | data1 << 8 | data2 << 16.
    virtual void OnShortMessage(std::uint32_t message, std::uint32_t timeStamp) = 0;
    // A system-exclusive message that did not end with 0xF7, in pieces as above.
    virtual void OnLongError(const std::uint8_t* bytes, std::uint32_t count,
                             std::uint32_t timeStamp) = 0;
    // The MIDI system reported an input error while recording; `message` is 0 (RtMidi does not
    // say which message was affected).
    virtual void OnShortError(std::uint32_t message, std::uint32_t timeStamp) = 0;
};

}  // namespace midi
