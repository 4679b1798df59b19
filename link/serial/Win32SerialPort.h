#pragma once
// A serial port on Windows: a COM device opened for overlapped I/O (exclusively, as Windows opens
// every COM port), configured with SetCommState and SetCommTimeouts, and watched by WaitCommEvent
// together with a wake-up event that Wake sets. The driver's own time-outs are not used for any
// deadline (they differ between drivers, and between Windows and Wine): reads return at once with
// what has arrived, and every wait for the device is a wait on events with a time-out of our own,
// after which the operation is cancelled with CancelIoEx and waited for until it has completed
// (the driver writes its result into the OVERLAPPED until then, so an OVERLAPPED is never used
// again before that). A completed operation's result is taken with GetOverlappedResult(..., TRUE),
// which waits for it where the event came first (ERROR_IO_INCOMPLETE is no failure). The monitor
// ends its own event wait before it goes (StopWatching): an operation left to a thread that has
// ended may never complete under Wine. The DCB and time-outs found at Open are
// put back by Close. Thread rules as in ISerialPort.
//
// Names: "COM1" to "COM256" (any case) and "\\.\COMn" open the port of that number; any other
// text is opened as the device path it is. Errors are GetLastError() numbers; SerialErrorText
// gives FormatMessage's text for them.

#include <windows.h>

#include <atomic>

#include "link/serial/ISerialPort.h"

class CWin32SerialPort final : public ISerialPort {
public:
    CWin32SerialPort();
    ~CWin32SerialPort() override;
    CWin32SerialPort(const CWin32SerialPort&) = delete;
    CWin32SerialPort& operator=(const CWin32SerialPort&) = delete;

    bool Open(const std::string& path, std::string& whyNot) override;
    void Configure(const CSerialSettings& line, const std::string& definition,
                   const Report& report) override;
    void PurgeInput() override;
    void AbandonOutput() override;
    void Close() override;
    bool IsOpen() const override { return m_hPort != INVALID_HANDLE_VALUE; }

    unsigned WaitForEvent(const Report& report) override;
    void Wake() override;
    void StopWatching() override;
    int Read(std::uint8_t* buffer, int size, const Report& report) override;
    bool Write(const std::uint8_t* data, int length, const std::function<bool()>& abandon,
               const Report& report) override;
    bool PortGone() const override { return m_bPortGone.load(); }

    // The device name CreateFile is given for `path`: "\\.\COMn" for a COM name (so that ports
    // above COM9 open too), `path` itself otherwise. Pure.
    static std::string DeviceName(const std::string& path);

private:
    // Monitor thread: the far end has gone; stop watching the port, then report once.
    void Gone(const char* call, unsigned long error, const Report& report);
    // Ends the event wait that is still outstanding and waits (up to kEventEndMs) until it has
    // completed. One the driver has not ended by then keeps its EventWait for good, and the next
    // wait gets a new one: an OVERLAPPED is never used again while its operation may complete.
    void EndEventWait();
    // Waits up to `ms` for the overlapped operation `ov` (and, when `wake` is true, the wake-up
    // event too). WAIT_OBJECT_0: done; WAIT_OBJECT_0 + 1: woken; WAIT_TIMEOUT; WAIT_FAILED.
    DWORD WaitFor(OVERLAPPED& ov, DWORD ms, bool wake);

    HANDLE m_hPort = INVALID_HANDLE_VALUE;
    HANDLE m_hWake = nullptr;  // auto-reset: Wake sets it, the monitor's wait takes it
    // What a WaitCommEvent writes into until it completes (monitor thread).
    struct EventWait {
        OVERLAPPED ov{};
        DWORD mask = 0;
    };
    static EventWait* NewEventWait();
    EventWait* m_pEventWait = nullptr;
    OVERLAPPED m_ovRead{};
    OVERLAPPED m_ovWrite{};
    bool m_bEventPending = false;
    bool m_bWatchPort = false;
    std::atomic<bool> m_bPortGone{false};
    DCB m_savedState{};
    COMMTIMEOUTS m_savedTimeouts{};
    bool m_bSaved = false;
};
