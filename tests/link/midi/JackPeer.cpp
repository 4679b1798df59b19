#include "tests/link/midi/JackPeer.h"

#include <chrono>

void CJackPeer::Start() {
    m_pOut = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "quorlin-peer-out");
    m_pOut->openVirtualPort("out");
    m_pIn = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "quorlin-peer-in");
    m_pIn->ignoreTypes(false, true, true);
    m_pIn->setCallback(&CJackPeer::OnMessage, this);
    m_pIn->openVirtualPort("in");
}

void CJackPeer::Stop() {
    m_pIn.reset();
    m_pOut.reset();
}

void CJackPeer::SetResponder(Responder responder) {
    std::lock_guard lock(m_mutex);
    m_responder = std::move(responder);
}

std::vector<CJackPeer::Bytes> CJackPeer::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

void CJackPeer::ClearReceived() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

void CJackPeer::OnMessage(double, std::vector<unsigned char>* message, void* self) {
    auto* peer = static_cast<CJackPeer*>(self);
    const Bytes frame(message->begin(), message->end());
    Responder responder;
    {
        std::lock_guard lock(peer->m_mutex);
        peer->m_received.push_back(frame);
        responder = peer->m_responder;
    }
    if (!responder) return;
    for (const Bytes& reply : responder(frame)) {
        peer->m_nLastReplyNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();
        peer->m_pOut->sendMessage(reply.data(), reply.size());
    }
}
