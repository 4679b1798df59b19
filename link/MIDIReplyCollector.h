#pragma once
// Gathers the unit's replies for the MIDI link from the input device's listener calls.
//
// Two independent reply sets, as the link's two kinds of transaction need them:
// - wait mode (between BeginWait and EndWait, i.e. while a SendAndWait runs): the pieces of one
//   system-exclusive message are appended in order, and the reply is complete with the piece
//   whose last byte is 0xF7, which stays in the reply. The reply starts with a piece that begins
//   with 0xF0: a piece that continues a message begun before the transaction (the tail of an
//   earlier, abandoned reply) is ignored, and a new 0xF0 drops an unfinished message. Once
//   complete, the reply no longer changes until the next BeginWait. A reply that grows beyond
//   kMaxReplyBytes is discarded at once and ends the wait (WaitReplyDiscarded()); the rest of
//   that message is ignored.
// - poll mode (between BeginPoll and EndPoll, whenever no SendAndWait runs): the first piece of
//   at least 4 bytes whose fourth byte is 0x0D (carriage return) is the reply; other pieces are
//   ignored.
// Short messages and incomplete messages are ignored. An input error that the MIDI system reports
// (OnShortError) sets both reply events, so that a transaction waiting for a reply that cannot
// come any more looks at the devices at once; Interrupt() does the same for the link's sender.
//
// Every message that arrives also goes to the input tap (SetInputTap) while it has an observer,
// whole (pieces joined up to the 0xF7), marked discarded when it became no reply.
//
// Threads: the Begin/End/Take functions on the link's thread; the listener operations on the
// MIDI system's thread. The buffers are guarded by a mutex; the mode flag is atomic.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/LinkTap.h"
#include "link/ManualResetEvent.h"
#include "link/midi/MIDIInListener.h"

class CMIDIReplyCollector : public midi::CMIDIInListener {
public:
    // The most bytes a wait reply may hold (2 MiB, the closing 0xF7 included): enough for any
    // listing the unit sends, and a bound on what a peer can make the program hold.
    static constexpr std::size_t kMaxReplyBytes = std::size_t{2} << 20;

    CMIDIReplyCollector();

    // Every byte of every message the input delivered since the last ResetInputBytes, taken or
    // not (CDeviceLink::BytesReceived).
    std::uint64_t InputBytes() const { return m_nInputBytes.load(); }
    void ResetInputBytes() { m_nInputBytes = 0; }

    // Empties the wait reply, resets its event and enters wait mode.
    void BeginWait();
    // Leaves wait mode; later input is again a candidate for the poll reply.
    void EndWait();
    // Set once the wait reply is complete.
    CManualResetEvent& WaitReplyEvent() { return *m_pWaitReplyEvent; }
    // The wait reply ended with its 0xF7 (not discarded, not merely interrupted).
    bool WaitReplyComplete();
    bool WaitReplyDiscarded();
    std::string TakeWaitReply();

    // Empties the poll reply, resets its event and starts accepting a poll reply.
    void BeginPoll();
    void EndPoll();
    CManualResetEvent& PollReplyEvent() { return *m_pPollReplyEvent; }
    bool PollReplyEmpty();
    // A poll reply arrived since BeginPoll.
    bool PollReplyTaken();
    std::string TakePollReply();

    // Sets both reply events, on behalf of whoever found the MIDI system failing. The function
    // holds only the events, so it may outlive the collector (a send worker left running).
    std::function<void()> Interrupter();

    // Where the input goes besides the replies (LinkTap.h), under the link's name. Call it while
    // the input device is closed.
    void SetInputTap(std::shared_ptr<CLinkTap> tap, std::string linkName);

    void OnLongMessage(const std::uint8_t* bytes, std::uint32_t count,
                       std::uint32_t timeStamp) override;
    // Never a reply; shown in the tap as discarded input (a system-exclusive message without its
    // end in the device's pieces of up to 2048 bytes).
    void OnShortMessage(std::uint32_t message, std::uint32_t timeStamp) override;
    void OnLongError(const std::uint8_t* bytes, std::uint32_t count,
                     std::uint32_t timeStamp) override;
    void OnShortError(std::uint32_t, std::uint32_t) override;

private:
    // Takes one piece into the wait or poll reply; true when it became part of one.
    bool Collect(const std::uint8_t* bytes, std::uint32_t count);
    void TapInput(const std::uint8_t* bytes, std::uint32_t count, bool taken);
    void PostTapInput();

    std::mutex m_mutex;
    std::string m_strWaitReply;
    std::string m_strPollReply;
    bool m_bWaitComplete = false;   // guarded by m_mutex
    bool m_bWaitDiscarded = false;  // guarded by m_mutex
    bool m_bPollTaken = false;      // guarded by m_mutex
    std::atomic<bool> m_bWaitMode{false};
    std::atomic<std::uint64_t> m_nInputBytes{0};
    std::atomic<bool> m_bPollMode{false};
    std::shared_ptr<CManualResetEvent> m_pWaitReplyEvent;
    std::shared_ptr<CManualResetEvent> m_pPollReplyEvent;
    // The tap's view of the input, guarded by m_mutex: pieces gathered into messages, marked
    // dropped when any piece went to no reply.
    std::shared_ptr<CLinkTap> m_pInputTap;
    std::string m_strLinkName;
    std::string m_tapInput;
    bool m_bTapInputDropped = false;
};
