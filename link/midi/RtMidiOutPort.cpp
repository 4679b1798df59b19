#include "RtMidiOutPort.h"

#include <limits>
#include <string>

#include "RtMidiApi.h"

namespace midi {

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
