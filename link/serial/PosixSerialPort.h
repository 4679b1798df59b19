#pragma once
// A serial port on a POSIX system: a tty device configured with termios, held exclusively with
// TIOCEXCL and an flock, and watched with poll together with a self-pipe that Wake writes to.
// Pseudo-terminals work like real ports; modem-line ioctls, which they refuse, are never fatal.
// The termios settings found at Open are put back by Close, so a terminal that was in use (echo,
// line editing) is left as it was; from Open to Close they are also kept in SavedTermios.h, where
// a program ending by a signal puts them back. Thread rules as in ISerialPort.

#include <termios.h>

#include <atomic>

#include "link/serial/ISerialPort.h"

class CPosixSerialPort final : public ISerialPort {
public:
    CPosixSerialPort() = default;
    ~CPosixSerialPort() override;
    CPosixSerialPort(const CPosixSerialPort&) = delete;
    CPosixSerialPort& operator=(const CPosixSerialPort&) = delete;

    bool Open(const std::string& path, std::string& whyNot) override;
    void Configure(const CSerialSettings& line, const std::string& definition,
                   const Report& report) override;
    void PurgeInput() override;
    void AbandonOutput() override;
    void Close() override;
    bool IsOpen() const override { return m_fd >= 0; }

    unsigned WaitForEvent(const Report& report) override;
    void Wake() override;
    void StopWatching() override {}  // poll() leaves nothing outstanding
    int Read(std::uint8_t* buffer, int size, const Report& report) override;
    bool Write(const std::uint8_t* data, int length, const std::function<bool()>& abandon,
               const Report& report) override;
    bool PortGone() const override { return m_bPortGone.load(); }

private:
    void DrainWakePipe();
    // Monitor thread (or Configure, before the monitor starts): the far end has gone; stop
    // watching the port, then report once.
    void Gone(const char* call, int errorNumber, const Report& report);

    int m_fd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    // Monitor thread only: the port stops being watched once its far end has gone, so that a
    // hung-up tty, which polls as ready for ever, cannot keep the monitor spinning.
    bool m_bWatchPort = false;
    bool m_bHangupSeen = false;
    std::atomic<bool> m_bPortGone{false};
    // The terminal's settings as Open found them; put back by Close.
    termios m_saved{};
    bool m_bSaved = false;
    int m_nSavedEntry = -1;  // m_saved's entry in SavedTermios.h
    bool m_bOutputAbandoned = false;
};
