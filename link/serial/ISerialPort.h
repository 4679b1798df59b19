#pragma once
// The serial link's private view of one serial port: one implementation per operating system
// (PosixSerialPort on POSIX systems, Win32SerialPort on Windows). Only CSerialLink uses it.
//
// Threads: Open, Configure, PurgeInput, AbandonOutput and Close are called by the link's owner
// thread while no monitor thread runs (before it starts, after it has been joined), except that
// PurgeInput is also called by the monitor thread before every write. WaitForEvent, Read,
// Write and StopWatching are called by the monitor thread only. Wake may be called from any
// thread at any time while the port is open.
//
// Failing system calls are passed to the `Report` callback with the name of the call as this
// program made it (for example "tcsetattr()") and the error number; the port then carries on.
// When the failure means that the far end has gone (a hang-up, an I/O error on the line), the
// port says so through PortGone() before it reports, and reports that once.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CSerialSettings;

class ISerialPort {
public:
    using Report = std::function<void(const std::string& call, int errorNumber)>;

    // WaitForEvent's result bits.
    static constexpr unsigned kWoken = 1;     // Wake was called
    static constexpr unsigned kReadable = 2;  // the port has input, or news about its end
    static constexpr unsigned kFailed = 4;    // waiting itself failed; the monitor must end

    // Read's results other than a byte count.
    static constexpr int kNothingToRead = 0;
    static constexpr int kPortGone = -1;  // the far end hung up or the port failed; stop reading

    // Open's reasons that are not the system's text for an error number.
    static constexpr const char* kNotATerminal = "not a terminal device";
    static constexpr const char* kHeldByAnother = "held by another program";

    virtual ~ISerialPort() = default;

    // Opens the device `path` for reading and writing, held exclusively: a second open by this
    // or another program fails until Close. Only a terminal device is taken: anything else (a
    // file, a folder, a pipe, a device that is no terminal) is refused before a byte is read or
    // written and before its settings are touched. False when the device cannot be opened,
    // with `whyNot` set to the reason: kNotATerminal, kHeldByAnother, or the system's text for
    // the error (no such file, permission denied ...). The settings the terminal had are kept
    // and given back by Close.
    virtual bool Open(const std::string& path, std::string& whyNot) = 0;
    // Puts the port into raw byte mode and applies the line settings. `definition` is the line
    // definition text built from them; it names the failure when a setting cannot be applied.
    // Every failing step is reported; the port stays open with what took effect.
    virtual void Configure(const CSerialSettings& line, const std::string& definition,
                           const Report& report) = 0;
    // Discards input received but not yet read.
    virtual void PurgeInput() = 0;
    // Discards output not yet transmitted (used only when a write is stuck).
    virtual void AbandonOutput() = 0;
    // Gives the terminal back with the settings it had when Open found it, then releases it.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Blocks, with no time limit, until the port has input or Wake is called.
    virtual unsigned WaitForEvent(const Report& report) = 0;
    // Ends the current or the next WaitForEvent, and a Write waiting for the port.
    virtual void Wake() = 0;
    // The monitor thread's last call: ends a wait for events that WaitForEvent left outstanding
    // and waits until it has ended, so that nothing the thread started is still running when it
    // is gone (an operation that the system would complete on that thread might never end).
    virtual void StopWatching() = 0;
    // Reads what is waiting, up to `size` bytes: the byte count, kNothingToRead or kPortGone.
    // The first kPortGone is reported ("read()" with the error number, 0 for a plain hang-up);
    // from then on the port is no longer watched or read.
    virtual int Read(std::uint8_t* buffer, int size, const Report& report) = 0;
    // Writes all `length` bytes; true when the device has taken them and, where the system can
    // tell (tcdrain), transmitted them. Gives up (false) when the port takes nothing for a
    // second, fails, or `abandon` returns true after a wake.
    virtual bool Write(const std::uint8_t* data, int length, const std::function<bool()>& abandon,
                       const Report& report) = 0;
    // True once a read or write has found the far end gone (set before that is reported);
    // false again after the next Open.
    virtual bool PortGone() const = 0;
};

// The port implementation for the system the program was built for.
std::unique_ptr<ISerialPort> MakeSerialPort();

// The system's text for an error number that a port of this system reports (errno values on
// POSIX, GetLastError() values on Windows), without a line break or a closing full stop, so that
// it reads the same inside the link's messages on every system.
std::string SerialErrorText(int errorNumber);
