#pragma once
// Serves a CSimUnit on a pseudo-terminal: the client (the program's serial link) opens the slave
// side like a serial port; this server reads the master side, cuts the bytes into frames, hands
// them to the unit with the time they arrived (steady clock, milliseconds) and writes the replies
// back, paced at the line rate when one is set.
//
// When they arrived: a unit on a real line sees each byte as it comes, but this server sees them
// only when it gets round to reading them, and a busy machine can keep it from running for a
// long while. All it can truly know is that bytes arrived after it last found the master empty
// and before it read them. While it waits in poll() it does not run at all, so bytes that came
// then woke it, and the time from then until the read is time it spent waiting for a processor
// or running, which the kernel counts for each thread (Linux: /proc/thread-self/schedstat); that
// narrows the arrival down to the moment of reading on an idle machine (where the kernel does not
// count it, the server takes itself to have read every frame as it came). Each frame goes to the
// unit with that window (FrameArrival.h), and the unit refuses a key press as too soon only when
// no moment in the window is far enough from the previous press (SimFrontPanel.h). Frames the
// server reads together after a delay are therefore not taken as bunched unless the delay was
// too short for them to have come properly spaced.
//
// The client opens and closes the port around every operation. While no one holds the slave, the
// master reports a hang-up at every look, so it cannot be waited on; the server then waits, with
// no time-out, for the slave to be opened (Linux: inotify on the slave's device file) or for Stop,
// and throws away replies that no one could receive (written while the slave was closed, or left
// unread when it was closed), as a serial line with nobody listening would. Where the opening
// cannot be watched, it looks for a returning client every kIdleLookMs instead. Idle, with or
// without a client, the server's thread does not run at all.
//
// Threads: Run blocks the calling thread; Stop may be called from any thread or a signal handler.

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "sim/FrameArrival.h"
#include "sim/FrameAssembler.h"

class CSimUnit;

class CPtyServer {
public:
    struct Pacing {
        int lineRate = 0;  // bits per second; 0: no pacing
        int bitsPerByte = 11;
    };

    // Frames reach the unit in real time here, so the unit allows kKeyGapToleranceMs of jitter
    // in the gaps between key presses (a missing pause is still refused): the terminal itself
    // hands bytes from one side to the other through a kernel worker, which a busy machine runs
    // a little late, and the kernel's count of a thread's running time lags by up to a tick.
    static constexpr int kKeyGapToleranceMs = 20;

    CPtyServer(CSimUnit& unit, Pacing pacing, std::ostream* log);
    ~CPtyServer();
    CPtyServer(const CPtyServer&) = delete;
    CPtyServer& operator=(const CPtyServer&) = delete;

    // Creates the pseudo-terminal in raw mode. False with a reason in `error`.
    bool Open(std::string& error);
    const std::string& SlavePath() const { return m_strSlavePath; }
    // From now on, bytes are taken only while the client's port is set to `lineRate` bits per
    // second (the speed the client set on the terminal, read at the moment the bytes arrive);
    // what arrives at another speed is ignored, as a unit hears only noise then. 0: any speed.
    void AnswerOnlyAt(int lineRate) { m_nOwnRate = lineRate; }

    // Serves until Stop. Returns 0, or 1 when the terminal failed.
    int Run();
    // Async-signal-safe.
    void Stop();

    // How often Run has gone round its loop (once per wake-up, read or look for a client); any
    // thread may read it. For tests that check an idle server stays asleep.
    std::int64_t LoopCount() const { return m_nLoops.load(std::memory_order_relaxed); }
    // Between looks for a returning client where the opening of the slave cannot be watched.
    static constexpr int kIdleLookMs = 20;

private:
    bool ClientPresent() const;
    // The speed the client set on its side of the terminal; 0 when it cannot be told.
    int ClientSpeed() const;
    void DropUnreadOutput();
    // Waits until the slave may have been opened, or Stop.
    void WaitForClient();
    // Reads and forgets the pending events of the slave's watch.
    void DrainClientWatch();
    void Serve(const std::string& bytes, FrameArrival arrival);
    void WritePaced(const std::string& frame);
    std::int64_t NowMs() const;
    std::int64_t ToMs(std::int64_t steadyNs) const;

    CSimUnit& m_unit;
    const Pacing m_pacing;
    std::ostream* m_pLog;
    CFrameAssembler m_assembler;
    int m_nMaster = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    int m_nClientWatch = -1;  // inotify descriptor watching the slave's opening, or -1
    std::string m_strSlavePath;
    std::atomic<bool> m_bStop{false};
    std::int64_t m_nStartNs = 0;
    int m_nOwnRate = 0;
    std::atomic<std::int64_t> m_nLoops{0};
};
