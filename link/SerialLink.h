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

#include "DeviceLink.h"
#include "Host.h"
#include "ManualResetEvent.h"
#include "SerialSettings.h"

class ISerialPort;

// Raised to 1 by a serial link that found its settings incomplete when it was created; the view
// clears it once it has offered the Communications Setup dialog.
extern std::atomic<int> settingsMissing;

class CSerialLink : public CDeviceLink {
public:
    // Loads the serial settings. When any of the five line values was missing, shows the
    // first-run message and raises settingsMissing. Sets firstWaitMs to 5000.
    explicit CSerialLink(IHost& host);
    // Closes the port if open; the settings record then saves itself.
    ~CSerialLink() override;
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;

    // Opens Settings().PortPath() exclusively, configures it from the settings and starts the
    // monitor. 0: open; -2: the port is absent or held by another program (after the message
    // "Error opening serial port - already in use?"), or the monitor could not be started.
    // Line settings the port cannot take are reported in the warning box; the link still opens.
    // A link that is already open is closed first.
    int Open(int bufferSize) override;
    // Lets a write in progress finish (up to Timings().closeWaitMs), ends the monitor thread and
    // releases the port. Harmless when closed.
    void Close() override;
    // Hands one frame to the monitor after waiting up to Timings().sendWaitMs for the previous
    // write. Frames are written in order and never overwrite one another. Refused, with nothing
    // sent, when the link is not open or the frame is longer than the size given to Open.
    void Send(const std::uint8_t* data, int length) override;
    // Waits firstWaitMs for a reply to begin, then up to timeoutMs in total once bytes came.
    // 0 with the reply; -1 with `reply` unchanged when none completed in time or the frame was
    // refused (then at once).
    int SendAndWait(const std::uint8_t* data, int length, int timeoutMs,
                    std::string& reply) override;
    // The poll loop of CDeviceLink over this link's poll set; -1 at once for a refused frame.
    int SendAndPoll(ICompletionProbe& engine, const std::string& name, const std::uint8_t* data,
                    int length, std::string& reply) override;

    CSerialSettings& Settings() { return m_settings; }
    bool IsOpen() const { return m_bMonitorAlive.load(); }

    // "baud=%d parity=%c data=%d stop=%d" for `line`.
    static std::string LineDefinition(const CSerialSettings& line);
    // The warning for a failing port call: the call's name, the system's text for the error and
    // the port number, composed at whatever length they have.
    static std::string WarningText(const std::string& call, const std::string& systemText,
                                   int portNumber);

private:
    enum class SetState { Idle, Armed, Active };
    enum class SetKind { None, Wait, Poll };

    // One transaction's reply state. Armed: the transaction runs but its frame is not written
    // yet, so nothing received belongs to it; Active: from the write on.
    struct ReplySet {
        std::atomic<SetState> state{SetState::Idle};
        std::uint64_t generation = 0;  // guarded by m_replyMutex, like buffer and bComplete
        std::string buffer;
        bool bComplete = false;
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

    void Monitor();
    void ReadRoutine();
    void WriteRoutine();
    void Route(const std::uint8_t* bytes, int count);
    void ReportFailure(const std::string& call, int errorNumber);

    IHost& m_host;
    CSerialSettings m_settings;
    std::unique_ptr<ISerialPort> m_pPort;
    std::thread m_monitor;
    std::atomic<bool> m_bMonitorAlive{false};
    std::atomic<bool> m_bShutdown{false};
    int m_nPortNumber = 0;  // copied at setup; shown in the warning box
    int m_nBufferSize = 0;

    std::mutex m_writeMutex;  // guards m_writeQueue; write-done changes happen under it
    std::deque<Frame> m_writeQueue;
    CManualResetEvent m_writeDone{true};

    std::mutex m_replyMutex;
    ReplySet m_wait;
    ReplySet m_poll;
};
