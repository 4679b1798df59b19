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

void CMIDIReplyCollector::OnLongMessage(const std::uint8_t* bytes, std::uint32_t count,
                                        std::uint32_t) {
    if (count == 0) return;
    const auto* text = reinterpret_cast<const char*>(bytes);
    std::lock_guard lock(m_mutex);
    if (m_bWaitMode) {
        if (m_bWaitComplete) return;
        if (bytes[0] == 0xF0) {
            m_strWaitReply.clear();
        } else if (m_strWaitReply.empty()) {
            return;  // the tail of a message that began before this transaction
        }
        if (m_strWaitReply.size() + count > kMaxReplyBytes) {
            // Too long to be a reply of the unit: dropped, with the rest of the message.
            std::string().swap(m_strWaitReply);
            m_bWaitDiscarded = true;
            m_bWaitComplete = true;
            m_pWaitReplyEvent->Set();
            return;
        }
        m_strWaitReply.append(text, count);
        if (bytes[count - 1] == 0xF7) {
            m_bWaitComplete = true;
            m_pWaitReplyEvent->Set();
        }
        return;
    }
    if (m_bPollMode && !m_bPollTaken && count >= 4 && bytes[3] == 0x0D) {
        m_strPollReply.assign(text, count);
        m_bPollTaken = true;
        m_pPollReplyEvent->Set();
    }
}
