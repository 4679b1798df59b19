#pragma once
// Serves a CSimUnit on a pseudo-terminal: the client (the program's serial link) opens the slave
// side like a serial port; this server reads the master side, cuts the bytes into frames, hands
// them to the unit with the time they arrived (steady clock, milliseconds) and writes the replies
// back, paced at the line rate when one is set.
//
// The client opens and closes the port around every operation. While no one holds the slave, the
// master reports a hang-up; the server then waits on its wake-up pipe for a short while at a time
// until a client is back, and throws away replies that no one could receive (written while the
// slave was closed, or left unread when it was closed), as a serial line with nobody listening
// would.
//
// Threads: Run blocks the calling thread; Stop may be called from any thread or a signal handler.

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "sim/FrameAssembler.h"

class CSimUnit;

class CPtyServer {
public:
    struct Pacing {
        int lineRate = 0;  // bits per second; 0: no pacing
        int bitsPerByte = 11;
    };

    // Frames reach the unit in real time here, so the unit allows kKeyGapToleranceMs of jitter
    // in the gaps between key presses (a missing pause is still refused).
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

private:
    bool ClientPresent() const;
    // The speed the client set on its side of the terminal; 0 when it cannot be told.
    int ClientSpeed() const;
    void DropUnreadOutput();
    void Serve(const std::string& bytes);
    void WritePaced(const std::string& frame);
    std::int64_t NowMs() const;

    CSimUnit& m_unit;
    const Pacing m_pacing;
    std::ostream* m_pLog;
    CFrameAssembler m_assembler;
    int m_nMaster = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    std::string m_strSlavePath;
    std::atomic<bool> m_bStop{false};
    std::int64_t m_nStartNs = 0;
    int m_nOwnRate = 0;
};
