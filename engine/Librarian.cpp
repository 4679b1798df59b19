// CLibrarian: construction over injected links, link choice and the primitives.
#include "engine/Librarian.h"

#include <algorithm>

#include "engine/EngineMessages.h"
#include "engine/Protocol.h"
#include "engine/UnitRanges.h"
#include "link/Host.h"
#include "link/LinkChoice.h"
#include "settings/LinkSettings.h"
#include "settings/MIDISettings.h"
#include "settings/SerialSettings.h"

CLibrarian::CLibrarian(IHost& host, std::unique_ptr<CDeviceLink> serial,
                       std::unique_ptr<CDeviceLink> midi)
    : CLibrarian(
          host, [&serial](IHost&) { return std::move(serial); },
          [&midi](IHost&) { return std::move(midi); }) {}

CLibrarian::CLibrarian(IHost& host, const LinkFactory& serial, const LinkFactory& midi)
    : m_host(host),
      m_linkHost(host),
      m_pOwnSerialSettings(std::make_unique<CSerialSettings>()),
      m_pOwnMIDISettings(std::make_unique<CMIDISettings>()) {
    m_pSerialLink = serial(m_linkHost);
    m_pMIDILink = midi(m_linkHost);
    m_pLinkSettings =
        std::make_unique<CLinkSettings>(m_pOwnSerialSettings.get(), m_pOwnMIDISettings.get());
    // Loading the records as well means that saving them when the engine goes writes back what
    // was stored.
    m_pOwnSerialSettings->Load();
    m_pOwnMIDISettings->Load();
    m_pLinkSettings->Load();
    ApplyLinkSettings();
}

CLibrarian::~CLibrarian() {
    m_pSerialLink.reset();
    m_pMIDILink.reset();
    m_pLinkSettings.reset();  // saves "DeviceType"
    m_bankList.clear();
}

void CLibrarian::ApplyLinkSettings() {
    m_pLink =
        ChooseLink(m_pLinkSettings->deviceType, m_pSerialLink.get(), m_pMIDILink.get(), m_pLink);
}

CLinkSettings& CLibrarian::GetLinkSettings() {
    return *m_pLinkSettings;
}

int CLibrarian::SendFrame(std::uint8_t type, const std::uint8_t* payload, int length, int timeoutMs,
                          std::string& reply) {
    const auto frame = protocol::BuildFrame(type, payload, length);
    const int size = static_cast<int>(frame.size());
    // The link would drop a frame longer than it was opened for, without a word.
    const bool fits = m_nOpenSize <= 0 || size <= m_nOpenSize;
    if (timeoutMs == 0) {
        if (!fits) return -2;
        m_pLink->Send(frame.data(), size);
        return m_pLink->PeerGone() ? -2 : 0;
    }
    if (!fits) return -1;
    return m_pLink->SendAndWait(frame.data(), size, timeoutMs, reply);
}

bool CLibrarian::PressKey(KeyPattern key, int pauseMs) {
    std::string unused;
    if (SendFrame(protocol::MSG_KEY, kKeyPatterns[key].data(), protocol::kKeyPatternSize, 0,
                  unused) != 0)
        return false;
    m_host.Pause(pauseMs);
    if (m_pKeyProgress != nullptr && *m_pKeyProgress) {
        ++m_nKeysPressed;
        (*m_pKeyProgress)(m_nKeysPressed, std::max(m_nKeysPlanned, m_nKeysPressed));
    }
    return true;
}

bool CLibrarian::PressKeys(std::initializer_list<KeyStep> steps) {
    for (const auto& step : steps)
        if (!PressKey(step.key, step.pauseMs)) return false;
    return true;
}

bool CLibrarian::SendProgramChange(int channel, int program) {
    if (!unit_ranges::IsChannel(channel) || !unit_ranges::IsProgram(program)) return false;
    const auto change = protocol::ProgramChange(channel, program);
    m_pLink->Send(change.data(), static_cast<int>(change.size()));
    return !m_pLink->PeerGone();
}

int CLibrarian::KeysNotSent() {
    ShowNoCommunication();
    return -2;
}

std::string CLibrarian::QueryObject(std::int32_t key, int flags, bool showError) {
    const std::string text = protocol::ObjectQueryText(key, flags);
    std::string reply;
    const int r =
        SendFrame(protocol::MSG_OBJECT_QUERY, reinterpret_cast<const std::uint8_t*>(text.data()),
                  static_cast<int>(text.size()), protocol::kQueryTimeoutMs, reply);
    if (r != 0) {
        if (showError) ShowNoCommunication();
        return {};
    }
    return protocol::ReplyText(reply);
}

void CLibrarian::ShowError(const std::string& text) {
    m_host.ShowMessage(text, {}, IHost::Icon::Warning);
}

void CLibrarian::ShowNoCommunication() {
    ShowError(std::string(engine_messages::kNoCommunication));
}
