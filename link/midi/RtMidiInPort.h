#pragma once
// midi::IMIDIInPort over RtMidiIn: system-exclusive input switched on, timing and active-sensing
// messages ignored. RtMidi gathers a system-exclusive message of any length and hands it over
// whole, on its own thread (JACK's process thread, or its ALSA input thread).

#include <RtMidi.h>

#include <atomic>
#include <memory>

#include "link/midi/MIDIInPort.h"
#include "link/midi/RtMidiErrorCatcher.h"

namespace midi {

class CRtMidiInPort : public IMIDIInPort {
public:
    explicit CRtMidiInPort(RtMidi::Api api);
    ~CRtMidiInPort() override;

    void Open(unsigned int number, MessageHandler onMessage, ErrorHandler onError) override;
    void Close() override;

private:
    static void OnRtMidiMessage(double stamp, std::vector<unsigned char>* message, void* self);

    RtMidi::Api m_api;
    MessageHandler m_onMessage;
    // Set once m_onMessage is in place: RtMidi's thread reads the handler only after seeing it.
    std::atomic<bool> m_bHandlerSet{false};
    CRtMidiErrorCatcher m_errors;  // declared before m_pIn: RtMidi reports to it until destroyed
    std::unique_ptr<RtMidiIn> m_pIn;
};

}  // namespace midi
