#include "link/midi/RtMidiOutPort.h"

#include <limits>
#include <string>

#include "link/midi/RtMidiApi.h"

#if defined(__UNIX_JACK__)
#include <jack/jack.h>

#include <chrono>
#include <thread>
#endif

namespace midi {

namespace {

// A new JACK connection carries data only once the server has switched to the new graph at the
// start of a later process cycle, although it shows at once; a message sent before then is lost.
// Waiting two periods of the server covers that.
void WaitUntilJackConnectionCarries() {
#if defined(__UNIX_JACK__)
    jack_status_t status{};
    jack_client_t* client = jack_client_open("Quorlin-wait", JackNoStartServer, &status);
    if (!client) return;
    const double periodMs = 1000.0 * jack_get_buffer_size(client) / jack_get_sample_rate(client);
    jack_client_close(client);
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(2000.0 * periodMs)) +
                                std::chrono::milliseconds(1));
#endif
}

}  // namespace

CRtMidiOutPort::CRtMidiOutPort(RtMidi::Api api) : m_api(api) {
    m_pOut = std::make_unique<RtMidiOut>(api, kRtMidiClientName);
    m_pOut->setErrorCallback(&CRtMidiErrorCatcher::Callback, &m_errors);
}

CRtMidiOutPort::~CRtMidiOutPort() {
    m_pOut.reset();
}

void CRtMidiOutPort::Open(unsigned int number) {
    m_errors.Run([&] {
        const std::vector<unsigned int> ports = DevicePortIndices(*m_pOut);
        if (number >= ports.size()) {
            throw std::runtime_error("MIDI output device " + std::to_string(number) +
                                     " does not exist.");
        }
        m_pOut->openPort(ports[number], "Quorlin Out");
    });
    if (m_api == RtMidi::UNIX_JACK) WaitUntilJackConnectionCarries();
}

void CRtMidiOutPort::Send(const std::uint8_t* bytes, std::size_t count) {
    if (count > LargestMessage()) {
        throw std::length_error("A message of " + std::to_string(count) +
                                " bytes is longer than the MIDI connection carries.");
    }
    m_errors.Run([&] {
        // A JACK server that has gone no longer drains RtMidi's ring buffer; asking it for its
        // ports fails at once instead.
        if (m_api == RtMidi::UNIX_JACK && m_pOut->getPortCount() == 0) {
            throw std::runtime_error("The JACK server does not answer.");
        }
        m_pOut->sendMessage(bytes, count);
    });
}

std::size_t CRtMidiOutPort::LargestMessage() const {
    if (m_api == RtMidi::UNIX_JACK) return kJackLargestMessage;
    return std::numeric_limits<std::size_t>::max();
}

}  // namespace midi
