#pragma once
// Thrown by midi::CMIDIOutDevice when the MIDI system refuses one of its output operations. what()
// is the system's text (at most 127 bytes are kept); copying the exception copies the text.

#include "link/midi/MIDIException.h"

namespace midi {

class CMIDIOutException : public CMIDIException {
public:
    using CMIDIException::CMIDIException;
};

}  // namespace midi
