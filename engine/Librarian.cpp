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
    // During a held operation a link that has gone is told once, with its cause (ReportLinkLoss).
    if (m_nHeldDepth > 0 && (m_bLinkLost || m_pLink->PeerGone())) return;
    ShowError(std::string(engine_messages::kNoCommunication));
}

void CLibrarian::BeginHeldOperation() {
    if (m_nHeldDepth++ > 0) return;
    m_bHoldBefore = m_bHoldLinkLoss;
    m_bLostBefore = m_bLinkLost;
    m_bHoldLinkLoss = true;
    m_bLinkLost = false;
    m_bOpenedWhileHeld = false;
    m_nKeptAtOpen = 0;
    m_bLossReported = false;
    m_linkHost.TakeKept();
    m_linkHost.Keep(true);
}

void CLibrarian::ReportLinkLoss() {
    if (m_nHeldDepth == 0 || !m_bLinkLost || m_bLossReported) return;
    m_bLossReported = true;
    auto kept = m_linkHost.TakeKept();
    // What came before the link last opened has nothing to do with the loss: it is shown as it
    // would have been. The first message after that is the cause; the rest follow from it.
    const std::size_t cause = m_bOpenedWhileHeld ? std::min(m_nKeptAtOpen, kept.size()) : 0;
    for (std::size_t i = 0; i < cause; ++i)
        m_host.ShowMessage(kept[i].text, kept[i].caption, kept[i].icon);
    if (!m_bOpenedWhileHeld) {
        // Never reached during the operation: the reason it could not be is the message.
        if (cause < kept.size())
            m_host.ShowMessage(kept[cause].text, kept[cause].caption, kept[cause].icon);
        return;
    }
    std::string text(engine_messages::kConnectionLost);
    if (cause < kept.size()) {
        std::string why = kept[cause].text;
        while (!why.empty() && why.back() == '\n') why.pop_back();
        text += "\n\n" + why;
    }
    m_host.ShowMessage(text, {}, IHost::Icon::Warning);
}

void CLibrarian::EndHeldOperation() {
    if (m_nHeldDepth == 0) return;
    if (m_nHeldDepth > 1) {
        --m_nHeldDepth;
        return;
    }
    ReportLinkLoss();
    m_nHeldDepth = 0;
    m_linkHost.Keep(false);
    for (const auto& message : m_linkHost.TakeKept())
        m_host.ShowMessage(message.text, message.caption, message.icon);
    // The command-line tool keeps the loss for the rest of its command; the desktop's next
    // command tries the link afresh.
    m_bLinkLost = m_bHoldBefore && (m_bLostBefore || m_bLinkLost);
    m_bHoldLinkLoss = m_bHoldBefore;
}
