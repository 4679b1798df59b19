#pragma once
// A MIDI system: makes input and output ports and lists them. The program uses SystemMIDIBackend()
// (RtMidi, see RtMidiBackend.h); tests inject a stand-in into the devices and the MIDI link.
//
// Thread safety: an implementation may be called from any thread.

#include <memory>
#include <string>
#include <vector>

#include "link/midi/MIDIInPort.h"
#include "link/midi/MIDIOutPort.h"

namespace midi {

class IMIDIBackend {
public:
    virtual ~IMIDIBackend() = default;

    // A closed port. Throws (std::exception with the system's text) when the MIDI system cannot
    // be reached at all.
    virtual std::unique_ptr<IMIDIInPort> CreateInPort() = 0;
    virtual std::unique_ptr<IMIDIOutPort> CreateOutPort() = 0;

    // The names of the inputs and outputs, in device-number order. Never throw; empty when there
    // is no MIDI system.
    virtual std::vector<std::string> InputPortNames() = 0;
    virtual std::vector<std::string> OutputPortNames() = 0;
};

// The MIDI system of this machine, over RtMidi. One shared instance.
std::shared_ptr<IMIDIBackend> SystemMIDIBackend();

}  // namespace midi
