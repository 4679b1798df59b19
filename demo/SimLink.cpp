#include "demo/SimLink.h"

#include "sim/SimUnit.h"

namespace {
// The link's name in the traffic tap.
const std::string kTapName = "demo unit";
}  // namespace

CSimLink::CSimLink(CSimUnit& unit, ReplyStyle style) : m_unit(unit), m_style(style) {
    firstWaitMs = 5000;
}

int CSimLink::Open(int bufferSize) {
    std::lock_guard lock(m_mutex);
    ++m_nOpenCount;
    if (m_bFailOpen) return -2;
    if (m_bOpen) m_protocolErrors.push_back("Open while the link is open");
    m_bOpen = true;
    m_nOpenSize = bufferSize;
    return 0;
}

void CSimLink::Close() {
    std::lock_guard lock(m_mutex);
    ++m_nCloseCount;
    if (!m_bOpen) m_protocolErrors.push_back("Close while the link is closed");
    m_bOpen = false;
}

std::vector<std::string> CSimLink::Deliver(const std::uint8_t* data, int length,
                                           const char* operation) {
    const std::string bytes(reinterpret_cast<const char*>(data), length > 0 ? length : 0);
    m_transcript.push_back({bytes, NowLocked()});
    if (!m_bOpen) {
        // A closed port sends nothing.
        m_protocolErrors.push_back(std::string(operation) + " while the link is closed");
        return {};
    }
    if (length > m_nOpenSize)
        m_protocolErrors.push_back(std::string(operation) + " of " + std::to_string(length) +
                                   " bytes on a link opened for " + std::to_string(m_nOpenSize));
    const auto frames = m_assembler.Feed(bytes);
    // One write is one whole frame: a frame that ends early (a byte inside that the unit takes
    // for a frame end) and the bytes after it, which the unit may take for frames of their own,
    // are the sender's fault.
    if (frames.size() != 1 || frames.front() != bytes || m_assembler.InFrame())
        m_protocolErrors.push_back(std::string(operation) + " of bytes that are not one frame");
    const bool tapping = Tapping();
    if (tapping) m_pTap->Post(LinkDirection::ToUnit, data, bytes.size(), kTapName);
    std::vector<std::string> replies;
    if (m_bSilent) return replies;
    for (const auto& frame : frames) {
        auto r = m_unit.HandleFrame(frame, NowLocked());
        replies.insert(replies.end(), r.begin(), r.end());
    }
    if (tapping) {
        // A reply to a frame sent without waiting is lost, as on the wire.
        const bool lost = std::string(operation) == "Send";
        for (const auto& reply : replies)
            m_pTap->Post(LinkDirection::FromUnit, reinterpret_cast<const std::uint8_t*>(reply.data()),
                         reply.size(), kTapName, lost);
    }
    return replies;
}

std::string CSimLink::Shape(const std::string& frame) const {
    if (m_style == ReplyStyle::MIDI) return frame;
    return frame.substr(0, frame.find('\xF7'));
}

void CSimLink::Send(const std::uint8_t* data, int length) {
    std::lock_guard lock(m_mutex);
    Deliver(data, length, "Send");  // a reply nobody waits for is lost, as on the wire
}

int CSimLink::SendAndWait(const std::uint8_t* data, int length, int timeoutMs, std::string& reply) {
    std::lock_guard lock(m_mutex);
    const auto replies = Deliver(data, length, "SendAndWait");
    if (replies.empty()) {
        int waited = timeoutMs;
        if (m_style == ReplyStyle::Serial && firstWaitMs > 0 && firstWaitMs < timeoutMs)
            waited = firstWaitMs;
        m_nClockMs += waited > 0 ? waited : 0;
        return -1;
    }
    reply = Shape(replies.front());
    return 0;
}

int CSimLink::SendAndPoll(ICompletionProbe& engine, const std::string& name,
                          const std::uint8_t* data, int length, std::string& reply) {
    {
        std::lock_guard lock(m_mutex);
        for (const auto& r : Deliver(data, length, "SendAndPoll")) {
            const bool errorFrame = r.size() >= 4 && r[3] == '\x0D';
            if (m_style == ReplyStyle::Serial || errorFrame) {
                reply = Shape(r);
                return 0;
            }
        }
    }
    for (int counter = 0;; ++counter) {
        AdvanceClock(Timings().pollWaitMs);
        if (counter > 10) return -1;
        // Not under the lock: the probe sends its own query through this link.
        if (engine.ProbeCompletion(name) != 0) return 0;
    }
}

void CSimLink::AdvanceClock(int ms) {
    std::lock_guard lock(m_mutex);
    m_nClockMs += ms;
}

std::int64_t CSimLink::NowLocked() const {
    std::int64_t now = m_nClockMs;
    if (m_bSteady)
        now += std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - m_steadyStart)
                   .count();
    return now;
}

std::int64_t CSimLink::Now() const {
    std::lock_guard lock(m_mutex);
    return NowLocked();
}

void CSimLink::UseSteadyClock(bool on) {
    std::lock_guard lock(m_mutex);
    if (on == m_bSteady) return;
    if (on) {
        m_steadyStart = std::chrono::steady_clock::now();
    } else {
        m_nClockMs = NowLocked();
    }
    m_bSteady = on;
}

void CSimLink::ClearTranscript() {
    std::lock_guard lock(m_mutex);
    m_transcript.clear();
}

int CSimLink::OpenCount() const {
    std::lock_guard lock(m_mutex);
    return m_nOpenCount;
}

int CSimLink::CloseCount() const {
    std::lock_guard lock(m_mutex);
    return m_nCloseCount;
}

bool CSimLink::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return m_bOpen;
}

int CSimLink::LastOpenSize() const {
    std::lock_guard lock(m_mutex);
    return m_nOpenSize;
}

std::vector<std::string> CSimLink::ProtocolErrors() const {
    std::lock_guard lock(m_mutex);
    return m_protocolErrors;
}

void CSimLink::ClearProtocolErrors() {
    std::lock_guard lock(m_mutex);
    m_protocolErrors.clear();
}

void CSimLink::SetFailOpen(bool fail) {
    std::lock_guard lock(m_mutex);
    m_bFailOpen = fail;
}

void CSimLink::SetSilent(bool silent) {
    std::lock_guard lock(m_mutex);
    m_bSilent = silent;
}
