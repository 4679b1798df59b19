#include "link/midi/RtMidiBackend.h"

#include "link/midi/RtMidiApi.h"
#include "link/midi/RtMidiErrorCatcher.h"
#include "link/midi/RtMidiInPort.h"
#include "link/midi/RtMidiOutPort.h"

namespace midi {

namespace {

template <typename Midi>
std::vector<std::string> ListNames() {
    try {
        CRtMidiErrorCatcher errors;  // keeps RtMidi's warnings off stderr; outlives `midi`
        Midi midi(ChooseRtMidiApi(), kRtMidiClientName);
        midi.setErrorCallback(&CRtMidiErrorCatcher::Callback, &errors);
        return DevicePortNames(midi);
    } catch (...) {
        return {};
    }
}

}  // namespace

std::unique_ptr<IMIDIInPort> CRtMidiBackend::CreateInPort() {
    return std::make_unique<CRtMidiInPort>(ChooseRtMidiApi());
}

std::unique_ptr<IMIDIOutPort> CRtMidiBackend::CreateOutPort() {
    return std::make_unique<CRtMidiOutPort>(ChooseRtMidiApi());
}

std::vector<std::string> CRtMidiBackend::InputPortNames() {
    return ListNames<RtMidiIn>();
}

std::vector<std::string> CRtMidiBackend::OutputPortNames() {
    return ListNames<RtMidiOut>();
}

std::shared_ptr<IMIDIBackend> SystemMIDIBackend() {
    static const std::shared_ptr<IMIDIBackend> backend = std::make_shared<CRtMidiBackend>();
    return backend;
}

}  // namespace midi
