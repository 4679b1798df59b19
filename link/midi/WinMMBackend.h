#pragma once
// midi::IMIDIBackend over WinMM, the MIDI system of Windows (midiIn*/midiOut*), used directly:
// the midi:: device classes follow its model, so the ports here are thin. See MIDIBackend.h for
// the contract.
//
// The input port hands short messages over as their bytes (the length follows from the status
// byte) and assembles system-exclusive input, which WinMM delivers in the buffers it is given,
// into whole messages before handing them over (WinMMMessages.h). Handlers run on WinMM's
// callback thread.

#include "link/midi/MIDIBackend.h"

namespace midi {

class CWinMMBackend : public IMIDIBackend {
public:
    std::unique_ptr<IMIDIInPort> CreateInPort() override;
    std::unique_ptr<IMIDIOutPort> CreateOutPort() override;
    std::vector<std::string> InputPortNames() override;
    std::vector<std::string> OutputPortNames() override;
};

}  // namespace midi
