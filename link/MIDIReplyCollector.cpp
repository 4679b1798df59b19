#include "link/MIDIReplyCollector.h"

CMIDIReplyCollector::CMIDIReplyCollector()
    : m_pWaitReplyEvent(std::make_shared<CManualResetEvent>()),
      m_pPollReplyEvent(std::make_shared<CManualResetEvent>()) {}

void CMIDIReplyCollector::BeginWait() {
    std::lock_guard lock(m_mutex);
    m_strWaitReply.clear();
    m_bWaitComplete = false;
    m_bWaitDiscarded = false;
    m_pWaitReplyEvent->Reset();
    m_bWaitMode = true;
}

void CMIDIReplyCollector::EndWait() {
    m_bWaitMode = false;
}

bool CMIDIReplyCollector::WaitReplyComplete() {
    std::lock_guard lock(m_mutex);
    return m_bWaitComplete && !m_bWaitDiscarded;
}

bool CMIDIReplyCollector::WaitReplyDiscarded() {
    std::lock_guard lock(m_mutex);
    return m_bWaitDiscarded;
}

std::string CMIDIReplyCollector::TakeWaitReply() {
    std::lock_guard lock(m_mutex);
    return m_strWaitReply;
}

void CMIDIReplyCollector::BeginPoll() {
    std::lock_guard lock(m_mutex);
    m_strPollReply.clear();
    m_bPollTaken = false;
    m_pPollReplyEvent->Reset();
    m_bPollMode = true;
}

void CMIDIReplyCollector::EndPoll() {
    m_bPollMode = false;
}

bool CMIDIReplyCollector::PollReplyEmpty() {
    std::lock_guard lock(m_mutex);
    return m_strPollReply.empty();
}

bool CMIDIReplyCollector::PollReplyTaken() {
    std::lock_guard lock(m_mutex);
    return m_bPollTaken;
}

std::function<void()> CMIDIReplyCollector::Interrupter() {
    return [wait = m_pWaitReplyEvent, poll = m_pPollReplyEvent] {
        wait->Set();
        poll->Set();
    };
}

void CMIDIReplyCollector::OnShortError(std::uint32_t, std::uint32_t) {
    m_pWaitReplyEvent->Set();
    m_pPollReplyEvent->Set();
}

std::string CMIDIReplyCollector::TakePollReply() {
    std::lock_guard lock(m_mutex);
    return m_strPollReply;
}

void CMIDIReplyCollector::SetInputTap(std::shared_ptr<CLinkTap> tap, std::string linkName) {
    std::lock_guard lock(m_mutex);
    m_pInputTap = std::move(tap);
    m_strLinkName = std::move(linkName);
    m_tapInput.clear();
    m_bTapInputDropped = false;
}

void CMIDIReplyCollector::OnShortMessage(std::uint32_t message, std::uint32_t) {
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(message),
                                   static_cast<std::uint8_t>(message >> 8),
                                   static_cast<std::uint8_t>(message >> 16)};
    // The message's length follows from its status byte.
    const std::uint8_t status = bytes[0];
    std::size_t length = 3;
    if ((status & 0xE0) == 0xC0 || status == 0xF1 || status == 0xF3) length = 2;
    if (status == 0xF6 || status >= 0xF8) length = 1;
    m_nInputBytes += length;
    std::lock_guard lock(m_mutex);
    if (!m_pInputTap || !m_pInputTap->Active()) return;
    m_pInputTap->Post(LinkDirection::FromUnit, bytes, length, m_strLinkName, true);
}

void CMIDIReplyCollector::OnLongError(const std::uint8_t* bytes, std::uint32_t count,
                                      std::uint32_t) {
    m_nInputBytes += count;
    std::lock_guard lock(m_mutex);
    if (m_pInputTap && m_pInputTap->Active() && count > 0)
        m_pInputTap->Post(LinkDirection::FromUnit, bytes, count, m_strLinkName, true);
}

void CMIDIReplyCollector::OnLongMessage(const std::uint8_t* bytes, std::uint32_t count,
                                        std::uint32_t) {
    if (count == 0) return;
    m_nInputBytes += count;
    std::lock_guard lock(m_mutex);
    const bool taken = Collect(bytes, count);
    if (m_pInputTap && m_pInputTap->Active()) TapInput(bytes, count, taken);
}

void CMIDIReplyCollector::TapInput(const std::uint8_t* bytes, std::uint32_t count, bool taken) {
    // A new message leaves an unfinished one behind: what came of it is shown as dropped.
    if (bytes[0] == 0xF0 && !m_tapInput.empty()) {
        m_bTapInputDropped = true;
        PostTapInput();
    }
    m_tapInput.append(reinterpret_cast<const char*>(bytes), count);
    if (!taken) m_bTapInputDropped = true;
    if (bytes[count - 1] == 0xF7 || m_tapInput.size() > kMaxReplyBytes) PostTapInput();
}

void CMIDIReplyCollector::PostTapInput() {
    m_pInputTap->Post(LinkDirection::FromUnit,
                      reinterpret_cast<const std::uint8_t*>(m_tapInput.data()), m_tapInput.size(),
                      m_strLinkName, m_bTapInputDropped);
    m_tapInput.clear();
    m_bTapInputDropped = false;
}

bool CMIDIReplyCollector::Collect(const std::uint8_t* bytes, std::uint32_t count) {
    const auto* text = reinterpret_cast<const char*>(bytes);
    if (m_bWaitMode) {
        if (m_bWaitComplete) return false;
        if (bytes[0] == 0xF0) {
            m_strWaitReply.clear();
        } else if (m_strWaitReply.empty()) {
            return false;  // the tail of a message that began before this transaction
        }
        if (m_strWaitReply.size() + count > kMaxReplyBytes) {
            // Too long to be a reply of the unit: dropped, with the rest of the message.
            std::string().swap(m_strWaitReply);
            m_bWaitDiscarded = true;
            m_bWaitComplete = true;
            m_pWaitReplyEvent->Set();
            return false;
        }
        m_strWaitReply.append(text, count);
        if (bytes[count - 1] == 0xF7) {
            m_bWaitComplete = true;
            m_pWaitReplyEvent->Set();
        }
        return true;
    }
    if (m_bPollMode && !m_bPollTaken && count >= 4 && bytes[3] == 0x0D) {
        m_strPollReply.assign(text, count);
        m_bPollTaken = true;
        m_pPollReplyEvent->Set();
        return true;
    }
    return false;
}
