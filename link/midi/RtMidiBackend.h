#pragma once
// midi::IMIDIBackend over RtMidi: the MIDI system of this machine. The API is chosen again for
// every port and every listing (ChooseRtMidiApi), so a JACK server started after the program is
// found. See MIDIBackend.h for the contract.

#include "link/midi/MIDIBackend.h"

namespace midi {

class CRtMidiBackend : public IMIDIBackend {
public:
    std::unique_ptr<IMIDIInPort> CreateInPort() override;
    std::unique_ptr<IMIDIOutPort> CreateOutPort() override;
    std::vector<std::string> InputPortNames() override;
    std::vector<std::string> OutputPortNames() override;
};

}  // namespace midi
