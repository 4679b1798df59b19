#include "link/midi/RtMidiInPort.h"

#include <string>

#include "link/midi/RtMidiApi.h"

namespace midi {

CRtMidiInPort::CRtMidiInPort(RtMidi::Api api) : m_api(api) {
    m_pIn = std::make_unique<RtMidiIn>(api, kRtMidiClientName);
    m_pIn->setErrorCallback(&CRtMidiErrorCatcher::Callback, &m_errors);
}

CRtMidiInPort::~CRtMidiInPort() {
    // Destroying RtMidiIn closes its client, which waits for its thread to leave the callback.
    m_pIn.reset();
}

void CRtMidiInPort::Open(unsigned int number, MessageHandler onMessage, ErrorHandler onError) {
    if (!m_pIn) {
        m_pIn = std::make_unique<RtMidiIn>(m_api, kRtMidiClientName);
        m_pIn->setErrorCallback(&CRtMidiErrorCatcher::Callback, &m_errors);
    }
    m_errors.Run([&] {
        const std::vector<unsigned int> ports = DevicePortIndices(*m_pIn);
        if (number >= ports.size()) {
            throw std::runtime_error("MIDI input device " + std::to_string(number) +
                                     " does not exist.");
        }
        m_onMessage = std::move(onMessage);
        m_bHandlerSet.store(true, std::memory_order_release);
        m_errors.SetAsyncHandler(std::move(onError));
        m_pIn->ignoreTypes(false, true, true);
        m_pIn->setCallback(&CRtMidiInPort::OnRtMidiMessage, this);
        m_pIn->openPort(ports[number], "Quorlin In");
    });
}

void CRtMidiInPort::Close() {
    if (!m_pIn) return;
    m_errors.Run([&] { m_pIn->closePort(); });
    // Only destroying the client guarantees that RtMidi's thread has left our callback.
    m_pIn.reset();
    m_errors.SetAsyncHandler({});
}

void CRtMidiInPort::OnRtMidiMessage(double, std::vector<unsigned char>* message, void* self) {
    auto* port = static_cast<CRtMidiInPort*>(self);
    if (!port->m_bHandlerSet.load(std::memory_order_acquire)) return;
    if (message && !message->empty() && port->m_onMessage) {
        port->m_onMessage(message->data(), message->size());
    }
}

}  // namespace midi
