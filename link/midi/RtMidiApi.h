#pragma once
// How the program uses RtMidi: which of its APIs to open, under which client name, and which ports
// of the system's lists count as devices. Used by the RtMidi ports and the backend only.

#include <RtMidi.h>

#include <string>
#include <vector>

namespace midi {

// The client name under which the program's ports appear in the MIDI system.
inline constexpr const char* kRtMidiClientName = "Quorlin";

// The API to open: on Linux ALSA where its sequencer can be opened, otherwise JACK (RtMidi's own
// default throws where ALSA is missing); elsewhere the platform's own (CoreMIDI, WinMM).
RtMidi::Api ChooseRtMidiApi();

// The raw RtMidi port indices that count as devices, in order: every port of the system's list
// except the program's own, so that opening the input does not shift the output numbers.
std::vector<unsigned int> DevicePortIndices(RtMidi& midi);
std::vector<std::string> DevicePortNames(RtMidi& midi);

}  // namespace midi
