#include "link/midi/MIDIPortNames.h"

#include "link/midi/MIDIBackend.h"

namespace midi {

std::vector<std::string> InputPortNames() {
    try {
        return SystemMIDIBackend()->InputPortNames();
    } catch (...) {
        return {};
    }
}

std::vector<std::string> OutputPortNames() {
    try {
        return SystemMIDIBackend()->OutputPortNames();
    } catch (...) {
        return {};
    }
}

}  // namespace midi
