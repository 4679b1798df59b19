#pragma once
// Thrown by midi::CMIDIInDevice when the MIDI system refuses one of its input operations. what()
// is the system's text (at most 127 bytes are kept); copying the exception copies the text.

#include "link/midi/MIDIException.h"

namespace midi {

class CMIDIInException : public CMIDIException {
public:
    using CMIDIException::CMIDIException;
};

}  // namespace midi
