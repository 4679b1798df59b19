#include "link/SerialLink.h"

#include <algorithm>
#include <system_error>

#include "link/serial/ISerialPort.h"

namespace {

// The first start's request for the serial settings; the menu is the desktop program's.
constexpr const char* kFirstRunText =
    "Serial port properties have not yet been set up.  Please set them now.\nNote: Settings "
    "can be changed later from the Options | Communications Setup menu.";
constexpr const char* kWarningCaption = "Application Error";
// The warning's text for a far end that hung up without an error number.
constexpr const char* kHungUpText = "The other end of the line hung up.";
constexpr std::uint8_t kEndOfExclusive = 0xF7;
constexpr int kReadChunk = 4096;

}  // namespace

CSerialLink::CSerialLink(IHost& host) : m_host(host), m_pPort(MakeSerialPort()) {
    if (m_settings.Load() != 0) {
        m_host.ShowMessage(kFirstRunText);
        m_bSettingsMissing = true;
    }
    firstWaitMs = 5000;
}

CSerialLink::CSerialLink(IHost& host, const CSerialSettings& line)
    : m_host(host), m_pPort(MakeSerialPort()) {
    m_settings.m_bPersist = false;
    m_settings.CopyLine(line);
    firstWaitMs = 5000;
}

CSerialLink::~CSerialLink() {
    Close();
}

std::string CSerialLink::LineDefinition(const CSerialSettings& line) {
    return "baud=" + std::to_string(line.m_nBaudRate) +
           " parity=" + std::string(1, line.m_cParity) +
           " data=" + std::to_string(line.m_nDataBits) +
           " stop=" + std::to_string(line.m_nStopBits);
}

std::string CSerialLink::WarningText(const std::string& call, const std::string& systemText,
                                     const std::string& portPath) {
    return "WARNING:  " + call + " Failed with the following error: \n" + systemText +
           "\nPort: " + portPath + "\n";
}

std::string CSerialLink::OpenFailedText(const std::string& portPath, const std::string& reason) {
    return "Error opening serial port " + portPath + " - " + reason + ".";
}

void CSerialLink::ReportFailure(const std::string& call, int errorNumber) {
    if (m_pPort->PortGone()) {
        PeerHasGone(call, errorNumber);
        return;
    }
    m_host.ShowMessage(
        WarningText(call, SerialErrorText(errorNumber), m_strPortPath),
        kWarningCaption, IHost::Icon::Error);
}

void CSerialLink::PeerHasGone(const std::string& call, int errorNumber) {
    if (m_bPeerGone.exchange(true)) return;
    const std::string text =
        errorNumber == 0 ? kHungUpText : SerialErrorText(errorNumber);
    m_host.ShowMessage(WarningText(call, text, m_strPortPath), kWarningCaption, IHost::Icon::Error);
    // The reply that is awaited cannot come any more.
    std::lock_guard lock(m_replyMutex);
    for (ReplySet* set : {&m_wait, &m_poll}) {
        if (set->state == SetState::Idle || set->bComplete) continue;
        set->bComplete = true;
        set->bPeerGone = true;
        set->event.Set();
    }
}

void CSerialLink::Interrupt() {
    m_bInterrupted = true;
    // A transaction armed before the flag rose is ended here; one armed later sees the flag.
    std::lock_guard lock(m_replyMutex);
    for (ReplySet* set : {&m_wait, &m_poll}) {
        if (set->state == SetState::Idle || set->bComplete) continue;
        set->bComplete = true;
        set->bInterrupted = true;
        set->event.Set();
    }
}

int CSerialLink::Open(int bufferSize) {
    Close();
    m_strPortPath = m_settings.PortPath();
    m_nBufferSize = std::max(bufferSize, 0);
    m_bPeerGone = false;
    m_bInterrupted = false;
    m_nBytesReceived = 0;

    std::string whyNot;
    if (!m_pPort->Open(m_strPortPath, whyNot)) {
        m_host.ShowMessage(OpenFailedText(m_strPortPath, whyNot));
        return -2;
    }
    const auto report = [this](const std::string& call, int error) { ReportFailure(call, error); };
    m_pPort->Configure(m_settings, LineDefinition(m_settings), report);
    m_pPort->PurgeInput();

    {
        std::lock_guard lock(m_writeMutex);
        m_writeQueue.clear();
        m_writeDone.Set();
    }
    m_tapInput.clear();
    m_bTapInputDropped = false;
    m_bShutdown = false;
    m_bMonitorAlive = true;
    try {
        m_monitor = std::thread(&CSerialLink::Monitor, this);
    } catch (const std::system_error&) {
        // Without a monitor the port is of no use; give it back at once.
        m_bMonitorAlive = false;
        m_pPort->Close();
        return -2;
    }
    return 0;
}

void CSerialLink::Close() {
    if (!m_monitor.joinable()) {
        m_pPort->Close();
        return;
    }
    // A monitor that has already ended writes nothing more; there is nothing to wait for.
    const bool writeFinished =
        m_bMonitorAlive ? m_writeDone.Wait(m_timings.closeWaitMs) : m_writeDone.IsSet();
    m_bShutdown = true;
    m_pPort->Wake();
    m_monitor.join();

    m_pPort->PurgeInput();
    // What was written is left to be transmitted, unless the write was stuck.
    if (!writeFinished) m_pPort->AbandonOutput();
    m_pPort->Close();
    {
        std::lock_guard lock(m_writeMutex);
        m_writeQueue.clear();
        m_writeDone.Set();
    }
}

bool CSerialLink::Enqueue(const std::uint8_t* data, int length, SetKind opens,
                          std::uint64_t generation) {
    if (!IsOpen() || m_bPeerGone || length < 0 || length > m_nBufferSize ||
        (data == nullptr && length > 0)) {
        return false;
    }
    m_writeDone.Wait(m_timings.sendWaitMs);
    {
        std::lock_guard lock(m_writeMutex);
        Frame frame;
        frame.bytes.assign(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
        frame.opens = opens;
        frame.generation = generation;
        m_writeQueue.push_back(std::move(frame));
        m_writeDone.Reset();
    }
    m_pPort->Wake();
    return true;
}

void CSerialLink::Send(const std::uint8_t* data, int length) {
    // The caller's pause after a frame (between two key presses, say) must count from the moment
    // the frame has left the port, not from when it was handed to the monitor: a monitor thread
    // that a busy machine runs late would otherwise write two frames back to back.
    if (Enqueue(data, length, SetKind::None, 0)) m_writeDone.Wait(m_timings.sendWaitMs);
}

std::uint64_t CSerialLink::Arm(ReplySet& set) {
    std::lock_guard lock(m_replyMutex);
    set.buffer.clear();
    set.bComplete = false;
    set.bDiscarded = false;
    set.bPeerGone = false;
    set.bInterrupted = false;
    set.event.Reset();
    set.state = SetState::Armed;
    return ++set.generation;
}

void CSerialLink::Disarm(ReplySet& set) {
    std::lock_guard lock(m_replyMutex);
    set.state = SetState::Idle;
    ++set.generation;
    set.event.Reset();
}

bool CSerialLink::BufferEmpty(ReplySet& set) {
    std::lock_guard lock(m_replyMutex);
    return set.buffer.empty();
}

std::string CSerialLink::TakeBuffer(ReplySet& set) {
    std::lock_guard lock(m_replyMutex);
    return set.buffer;
}

int CSerialLink::Failed(ReplySet& set) {
    bool discarded = false;
    bool gone = false;
    {
        std::lock_guard lock(m_replyMutex);
        discarded = set.bDiscarded;
        gone = set.bPeerGone || set.bInterrupted;
    }
    if (discarded) m_host.ShowMessage(kReplyTooLongText, {}, IHost::Icon::Warning);
    return discarded || gone ? -1 : 0;
}

int CSerialLink::SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                             std::string& reply) {
    if (m_bPeerGone || m_bInterrupted) return -1;
    m_host.BeginWaitCursor();
    const std::uint64_t generation = Arm(m_wait);
    int result = -1;
    if (!m_bInterrupted && Enqueue(data, length, SetKind::Wait, generation)) {
        const int firstWait = std::max(firstWaitMs, 0);
        bool complete = m_wait.event.Wait(firstWait);
        if (!complete && !BufferEmpty(m_wait)) {
            complete = m_wait.event.Wait(std::max(timeoutMs - firstWait, 0));
        }
        if (complete && Failed(m_wait) == 0) {
            reply = TakeBuffer(m_wait);
            result = 0;
        }
    }
    Disarm(m_wait);
    m_host.EndWaitCursor();
    return result;
}

int CSerialLink::SendAndPoll(ICompletionProbe& engine, const std::string& name,
                             const std::uint8_t* data, int length, std::string& reply) {
    if (m_bPeerGone || m_bInterrupted) return -1;
    m_host.BeginWaitCursor();
    const std::uint64_t generation = Arm(m_poll);
    int result = -1;
    if (!m_bInterrupted && Enqueue(data, length, SetKind::Poll, generation)) {
        std::string got = reply;
        result = RunPollLoop(
            m_poll.event, [this] { return BufferEmpty(m_poll); },
            [this] { return TakeBuffer(m_poll); }, engine, name, got);
        // A reply that was discarded, or the far end gone, ends the poll without a reply.
        if (Failed(m_poll) != 0) {
            result = -1;
        } else {
            reply = std::move(got);
        }
    }
    Disarm(m_poll);
    m_host.EndWaitCursor();
    return result;
}

void CSerialLink::Monitor() {
    const auto report = [this](const std::string& call, int error) { ReportFailure(call, error); };
    while (!m_bShutdown) {
        const unsigned events = m_pPort->WaitForEvent(report);
        // Shutdown first, then the port, then a write request.
        if (m_bShutdown || (events & ISerialPort::kFailed) != 0) break;
        if ((events & ISerialPort::kReadable) != 0) ReadRoutine();
        WriteRoutine();
    }
    m_pPort->StopWatching();
    m_bMonitorAlive = false;
}

void CSerialLink::ReadRoutine() {
    std::uint8_t chunk[kReadChunk];
    const int got = m_pPort->Read(chunk, kReadChunk, [this](const std::string& call, int error) {
        ReportFailure(call, error);
    });
    if (got <= 0) return;
    m_nBytesReceived += static_cast<std::uint64_t>(got);
    Route(chunk, got);
}

void CSerialLink::Route(const std::uint8_t* bytes, int count) {
    const bool tapping = Tapping();
    std::lock_guard lock(m_replyMutex);
    for (int i = 0; i < count; ++i) {
        ReplySet* set = nullptr;
        if (m_wait.state == SetState::Active) {
            set = &m_wait;
        } else if (m_poll.state == SetState::Active) {
            set = &m_poll;
        }
        // Nobody waits, or the reply is complete: the byte is not part of any reply.
        const bool taken = set != nullptr && !set->bComplete;
        if (taken) {
            if (bytes[i] == kEndOfExclusive) {
                set->bComplete = true;
                set->event.Set();
            } else if (set->buffer.size() >= kMaxReplyBytes) {
                // Too long to be a reply of the unit: dropped at once, with the rest of it.
                std::string().swap(set->buffer);
                set->bDiscarded = true;
                set->bComplete = true;
                set->event.Set();
            } else {
                set->buffer.push_back(static_cast<char>(bytes[i]));
            }
        }
        if (tapping) TapInput(bytes[i], taken && !set->bDiscarded);
    }
}

void CSerialLink::TapInput(std::uint8_t byte, bool taken) {
    m_tapInput.push_back(static_cast<char>(byte));
    if (!taken) m_bTapInputDropped = true;
    // Cut at each end byte, and bound what a peer that never sends one can make us hold.
    if (byte == kEndOfExclusive || m_tapInput.size() > kMaxReplyBytes) FlushTapInput();
}

void CSerialLink::TapStaleInput() {
    const auto report = [this](const std::string& call, int error) { ReportFailure(call, error); };
    std::uint8_t chunk[kReadChunk];
    // Bounded: a peer that never stops sending must not hold the frame back.
    for (int round = 0; round < 16; ++round) {
        const int got = m_pPort->Read(chunk, kReadChunk, report);
        if (got <= 0) break;
        m_nBytesReceived += static_cast<std::uint64_t>(got);
        for (int i = 0; i < got; ++i) TapInput(chunk[i], false);
    }
    if (!m_tapInput.empty()) {
        m_bTapInputDropped = true;
        FlushTapInput();
    }
}

void CSerialLink::FlushTapInput() {
    if (m_tapInput.empty()) return;
    m_pTap->Post(LinkDirection::FromUnit, reinterpret_cast<const std::uint8_t*>(m_tapInput.data()),
                 m_tapInput.size(), m_strPortPath, m_bTapInputDropped);
    m_tapInput.clear();
    m_bTapInputDropped = false;
}

void CSerialLink::WriteRoutine() {
    const auto report = [this](const std::string& call, int error) { ReportFailure(call, error); };
    const auto abandon = [this] { return m_bShutdown.load(); };
    for (;;) {
        Frame frame;
        {
            std::lock_guard lock(m_writeMutex);
            if (m_writeQueue.empty()) {
                m_writeDone.Set();
                return;
            }
            frame = std::move(m_writeQueue.front());
            m_writeQueue.pop_front();
        }
        // Frames handed over before the far end went are dropped; it was reported once.
        if (m_bPeerGone) continue;
        // Whatever came before this frame is stale now. The tap is shown it, unfinished pieces
        // and bytes not read yet included, before the purge throws it away.
        if (Tapping()) {
            TapStaleInput();
            if (m_bPeerGone) continue;
        }
        m_pPort->PurgeInput();
        if (frame.opens != SetKind::None) {
            ReplySet& set = frame.opens == SetKind::Wait ? m_wait : m_poll;
            std::lock_guard lock(m_replyMutex);
            // Only the transaction that sent this frame, if it still runs, takes its reply.
            if (set.state == SetState::Armed && set.generation == frame.generation) {
                set.state = SetState::Active;
            }
        }
        if (Tapping()) {
            m_pTap->Post(LinkDirection::ToUnit,
                         reinterpret_cast<const std::uint8_t*>(frame.bytes.data()),
                         frame.bytes.size(), m_strPortPath);
        }
        m_pPort->Write(reinterpret_cast<const std::uint8_t*>(frame.bytes.data()),
                       static_cast<int>(frame.bytes.size()), abandon, report);
        if (m_bShutdown) return;
    }
}
