#include "link/midi/RtMidiApi.h"

#include <algorithm>

#if defined(__linux__)
#include <unistd.h>
#endif

namespace midi {

namespace {

bool IsOwnPort(const std::string& name) {
    const std::string client = kRtMidiClientName;
    // JACK names a port "client:port" and renames a second client "client-01"; ALSA lists
    // "client:port client-id:port-id".
    return name.size() > client.size() && name.compare(0, client.size(), client) == 0 &&
           (name[client.size()] == ':' || name[client.size()] == '-');
}

#if defined(__linux__)
bool AlsaSequencerOpens() {
    // Checking the device node first keeps alsa-lib from printing its failure on every call.
    if (access("/dev/snd/seq", R_OK | W_OK) != 0) return false;
    try {
        RtMidiOut probe(RtMidi::LINUX_ALSA, kRtMidiClientName);
        return true;
    } catch (const RtMidiError&) {
        return false;
    }
}
#endif

}  // namespace

RtMidi::Api ChooseRtMidiApi() {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    [[maybe_unused]] auto compiled = [&apis](RtMidi::Api api) {
        return std::find(apis.begin(), apis.end(), api) != apis.end();
    };
#if defined(__linux__)
    if (compiled(RtMidi::LINUX_ALSA) && AlsaSequencerOpens()) return RtMidi::LINUX_ALSA;
    if (compiled(RtMidi::UNIX_JACK)) return RtMidi::UNIX_JACK;
#endif
    return RtMidi::UNSPECIFIED;
}

std::vector<unsigned int> DevicePortIndices(RtMidi& midi) {
    std::vector<unsigned int> indices;
    const unsigned int count = midi.getPortCount();
    for (unsigned int i = 0; i < count; ++i) {
        if (!IsOwnPort(midi.getPortName(i))) indices.push_back(i);
    }
    return indices;
}

std::vector<std::string> DevicePortNames(RtMidi& midi) {
    std::vector<std::string> names;
    const unsigned int count = midi.getPortCount();
    for (unsigned int i = 0; i < count; ++i) {
        std::string name = midi.getPortName(i);
        if (!IsOwnPort(name)) names.push_back(std::move(name));
    }
    return names;
}

}  // namespace midi
