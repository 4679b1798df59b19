#pragma once
// The device link over a serial port.
//
// While the link is open it holds the port exclusively and runs one monitor thread, which does
// every read and every write on the port. The monitor sleeps until a byte arrives, a frame is
// handed over or the link closes, and wakes at once for each. Received bytes go, byte by byte, to
// the transaction waiting for them: a running SendAndWait first (also when it runs inside
// SendAndPoll, through the completion probe), otherwise a running SendAndPoll; bytes that arrive
// while neither runs are dropped. A reply is every byte after the transaction's frame was written
// up to the first 0xF7, which ends it and is not part of it. Input that arrived before a frame is
// written is discarded.
//
// A reply longer than kMaxReplyBytes is not kept: the bytes are discarded as they come, the
// transaction fails at once (-1) and the host shows kReplyTooLongText.
//
// When the port reports its far end gone (a hang-up, an I/O error on the line), the link shows
// that one failure in the warning box, ends the transaction that waits at once with -1, and from
// then on PeerGone() is true and Send, SendAndWait and SendAndPoll fail at once, without a
// message and without waiting, until the next Open. Interrupt() (from any thread) ends the
// waiting transaction and every later one the same way, without a message.
//
// Every frame written and every frame read goes to the link's tap (DeviceLink.h) while the tap has
// an observer, posted by the monitor thread: a frame as it is written, the input cut at each
// 0xF7 (kept), input that no transaction took marked discarded.
//
// Threads: every member function is called by the one thread that runs the engine. The monitor
// thread reports failing port calls through IHost::ShowMessage with the warning text below,
// captioned "Application Error", and carries on; the waiting transaction then ends by its time-out.
// Transaction state belongs to each link object, so two links never disturb each other.

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/DeviceLink.h"
#include "link/Host.h"
#include "link/ManualResetEvent.h"
#include "settings/SerialSettings.h"

class ISerialPort;

class CSerialLink : public CDeviceLink {
public:
    // Loads the serial settings. When any of the five line values was missing, shows the
    // first-run message and notes it for SettingsWereMissing(). Sets firstWaitMs to 5000.
    explicit CSerialLink(IHost& host);
    // A link over the given values for a while (a connection check): it neither loads nor saves
    // the settings and never asks for a setup.
    CSerialLink(IHost& host, const CSerialSettings& line);
    // Closes the port if open; the settings record then saves itself.
    ~CSerialLink() override;
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;

    // The most bytes a reply may hold (2 MiB): enough for any listing the unit sends, and a
    // bound on what a peer that never ends its reply can make the program hold.
    static constexpr std::size_t kMaxReplyBytes = std::size_t{2} << 20;

    // Opens Settings().PortPath() exclusively, configures it from the settings and starts the
    // monitor. 0: open; -2: the port cannot be taken (after the message "Error opening serial
    // port PATH - REASON.", the reason being "not a terminal device", "held by another
    // program" or the system's text, such as "No such file or directory"), or the monitor could
    // not be started. Anything that is not a terminal device is refused before a byte is
    // written to it. Line settings the port cannot take are reported in the warning box; the
    // link still opens. A link that is already open is closed first.
    int Open(int bufferSize) override;
    // Lets a write in progress finish (up to Timings().closeWaitMs), ends the monitor thread and
    // releases the port with the terminal settings it had before Open. Harmless when closed.
    void Close() override;
    // Hands one frame to the monitor after waiting up to Timings().sendWaitMs for the previous
    // write, then waits (again up to Timings().sendWaitMs) until the monitor has written it and
    // the port has transmitted it, so that a pause the caller makes next counts from the moment
    // the frame left. Frames are written in order and never overwrite one another. Refused, with
    // nothing sent, when the link is not open or the frame is longer than the size given to Open.
    void Send(const std::uint8_t* data, int length) override;
    // Waits firstWaitMs for a reply to begin, then up to timeoutMs in total once bytes came.
    // 0 with the reply; -1 with `reply` unchanged when none completed in time, or (at once) when
    // the frame was refused, the reply grew too long or the far end has gone.
    int SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                    std::string& reply) override;
    // The poll loop of CDeviceLink over this link's poll set; -1 at once for a refused frame.
    int SendAndPoll(ICompletionProbe& engine, const std::string& name, const std::uint8_t* data,
                    int length, std::string& reply) override;

    bool PeerGone() const override { return m_bPeerGone.load(); }
    void Interrupt() override;
    std::uint64_t BytesReceived() const override { return m_nBytesReceived.load(); }
    bool SettingsWereMissing() const override { return m_bSettingsMissing.load(); }
    void ClearSettingsMissing() override { m_bSettingsMissing = false; }

    CSerialSettings& Settings() { return m_settings; }
    bool IsOpen() const { return m_bMonitorAlive.load(); }

    // "baud=%d parity=%c data=%d stop=%d" for `line`.
    static std::string LineDefinition(const CSerialSettings& line);
    // The warning for a failing port call: the call's name, the system's text for the error and
    // the port's device path, composed at whatever length they have.
    static std::string WarningText(const std::string& call, const std::string& systemText,
                                   const std::string& portPath);
    // "Error opening serial port PATH - REASON."
    static std::string OpenFailedText(const std::string& portPath, const std::string& reason);

private:
    enum class SetState { Idle, Armed, Active };
    enum class SetKind { None, Wait, Poll };

    // One transaction's reply state. Armed: the transaction runs but its frame is not written
    // yet, so nothing received belongs to it; Active: from the write on.
    struct ReplySet {
        std::atomic<SetState> state{SetState::Idle};
        std::uint64_t generation = 0;  // guarded by m_replyMutex, like buffer and bComplete
        std::string buffer;
        bool bComplete = false;   // no more bytes are taken; the event is set
        bool bDiscarded = false;  // ended because the reply grew beyond kMaxReplyBytes
        bool bPeerGone = false;   // ended because the far end has gone
        bool bInterrupted = false;  // ended by Interrupt
        CManualResetEvent event;
    };

    struct Frame {
        std::string bytes;
        SetKind opens = SetKind::None;
        std::uint64_t generation = 0;
    };

    bool Enqueue(const std::uint8_t* data, int length, SetKind opens, std::uint64_t generation);
    std::uint64_t Arm(ReplySet& set);
    void Disarm(ReplySet& set);
    bool BufferEmpty(ReplySet& set);
    std::string TakeBuffer(ReplySet& set);
    // Why `set`'s transaction ended without a reply: 0 it did not, else -1 (after showing the
    // message for a discarded reply).
    int Failed(ReplySet& set);

    void Monitor();
    void ReadRoutine();
    void WriteRoutine();
    void Route(const std::uint8_t* bytes, int count);
    // The tap's view of the input (monitor thread only): bytes gathered into frames ending with
    // 0xF7, marked dropped when any of them went to no transaction.
    void TapInput(std::uint8_t byte, bool taken);
    void FlushTapInput();
    // Before a frame is written: reads what is waiting (which the purge would drop unseen) into
    // the tap and posts whatever piece of input is left, as discarded.
    void TapStaleInput();
    void ReportFailure(const std::string& call, int errorNumber);
    // Once per Open: shows the failure that showed the far end gone and ends both transactions.
    void PeerHasGone(const std::string& call, int errorNumber);

    IHost& m_host;
    CSerialSettings m_settings;
    std::unique_ptr<ISerialPort> m_pPort;
    std::thread m_monitor;
    std::atomic<bool> m_bMonitorAlive{false};
    std::atomic<bool> m_bShutdown{false};
    std::atomic<bool> m_bPeerGone{false};
    std::atomic<bool> m_bInterrupted{false};  // raised by Interrupt, lowered by Open
    std::atomic<std::uint64_t> m_nBytesReceived{0};  // since Open, counted by the monitor
    // Raised when the settings were incomplete at creation (see SettingsWereMissing).
    std::atomic<bool> m_bSettingsMissing{false};
    std::string m_strPortPath;  // copied at setup; shown in the warning box
    int m_nBufferSize = 0;

    std::mutex m_writeMutex;  // guards m_writeQueue; write-done changes happen under it
    std::deque<Frame> m_writeQueue;
    CManualResetEvent m_writeDone{true};

    std::string m_tapInput;          // monitor thread only, like the flag below
    bool m_bTapInputDropped = false;

    std::mutex m_replyMutex;
    ReplySet m_wait;
    ReplySet m_poll;
};
