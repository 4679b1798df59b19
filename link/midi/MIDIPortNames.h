#pragma once
// The names of this machine's MIDI inputs and outputs, for the setup dialog. The index of a name
// is its device number (CMIDISettings::m_nInputDevice / m_nOutputDevice). Any thread may call
// them. They never throw; the lists are empty when there is no MIDI system.

#include <string>
#include <vector>

namespace midi {

std::vector<std::string> InputPortNames();
std::vector<std::string> OutputPortNames();

}  // namespace midi
