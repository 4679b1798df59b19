#include "link/serial/Win32SerialPort.h"

#include <cctype>
#include <string>

#include "settings/SerialSettings.h"
#include "settings/WinText.h"

namespace {

using wintext::Wide;

// Time a write may wait for the port to take its bytes, and a read for the driver to hand over
// what has arrived, before the operation is cancelled.
constexpr DWORD kWriteStallMs = 1000;
constexpr DWORD kReadStallMs = 1000;
// Time the driver is given to end an event wait when the monitor stops watching the port.
constexpr DWORD kEventEndMs = 1000;

// "COMn" with n from 1 to 256: the number, else 0.
int ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    if (std::toupper(static_cast<unsigned char>(name[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(name[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(name[2])) != 'M' || name[3] == '0') {
        return 0;
    }
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number >= 1 && number <= 256 ? number : 0;
}

// Errors of a read or write that mean the device is no longer there.
bool MeansGone(DWORD error) {
    return error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_BAD_COMMAND ||
           error == ERROR_GEN_FAILURE || error == ERROR_INVALID_HANDLE ||
           error == ERROR_ACCESS_DENIED || error == ERROR_DEV_NOT_EXIST ||
           error == ERROR_BROKEN_PIPE;
}

int AsErrorNumber(DWORD error) {
    return static_cast<int>(error);
}

bool ApplyLine(const CSerialSettings& line, DCB& dcb) {
    BYTE parity = NOPARITY;
    switch (line.m_cParity) {
        case 'n':
        case 'N':
            parity = NOPARITY;
            break;
        case 'e':
        case 'E':
            parity = EVENPARITY;
            break;
        case 'o':
        case 'O':
            parity = ODDPARITY;
            break;
        case 'm':
        case 'M':
            parity = MARKPARITY;
            break;
        case 's':
        case 'S':
            parity = SPACEPARITY;
            break;
        default:
            return false;
    }
    if (line.m_nDataBits < 5 || line.m_nDataBits > 8) return false;
    if (line.m_nStopBits != 1 && line.m_nStopBits != 2) return false;
    if (line.m_nBaudRate <= 0) return false;
    dcb.BaudRate = static_cast<DWORD>(line.m_nBaudRate);
    dcb.Parity = parity;
    dcb.fParity = parity != NOPARITY;
    dcb.ByteSize = static_cast<BYTE>(line.m_nDataBits);
    dcb.StopBits = line.m_nStopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    return true;
}

}  // namespace

CWin32SerialPort::EventWait* CWin32SerialPort::NewEventWait() {
    auto* wait = new EventWait;
    wait->ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return wait;
}

std::unique_ptr<ISerialPort> MakeSerialPort() {
    return std::make_unique<CWin32SerialPort>();
}

std::string SerialErrorText(int errorNumber) {
    return wintext::SystemText(static_cast<DWORD>(errorNumber));
}

std::string CWin32SerialPort::DeviceName(const std::string& path) {
    const std::string prefix = "\\\\.\\";
    const std::string bare = path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
    const int number = ComNumber(bare);
    return number != 0 ? prefix + "COM" + std::to_string(number) : path;
}

CWin32SerialPort::CWin32SerialPort() {
    m_hWake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_pEventWait = NewEventWait();
    for (OVERLAPPED* ov : {&m_ovRead, &m_ovWrite}) {
        ov->hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
}

CWin32SerialPort::~CWin32SerialPort() {
    Close();
    for (OVERLAPPED* ov : {&m_pEventWait->ov, &m_ovRead, &m_ovWrite}) {
        if (ov->hEvent) ::CloseHandle(ov->hEvent);
    }
    delete m_pEventWait;
    if (m_hWake) ::CloseHandle(m_hWake);
}

bool CWin32SerialPort::Open(const std::string& path, std::string& whyNot) {
    Close();
    if (!m_hWake || !m_pEventWait->ov.hEvent || !m_ovRead.hEvent || !m_ovWrite.hEvent) {
        whyNot = SerialErrorText(AsErrorNumber(ERROR_NOT_ENOUGH_MEMORY));
        return false;
    }
    // What the path names is looked at first: a file or a folder is never opened.
    const std::wstring device = Wide(DeviceName(path));
    const DWORD attributes = ::GetFileAttributesW(device.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL |
                       FILE_ATTRIBUTE_READONLY)) != 0) {
        whyNot = kNotATerminal;
        return false;
    }
    // No sharing: a COM port is always exclusive, and a second open fails with access denied.
    m_hPort = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
    if (m_hPort == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        whyNot = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                     ? kHeldByAnother
                     : SerialErrorText(AsErrorNumber(error));
        return false;
    }
    // Anything that is no communications device (a file, a pipe, the console) has no DCB.
    m_savedState.DCBlength = sizeof m_savedState;
    if (::GetFileType(m_hPort) != FILE_TYPE_CHAR || !::GetCommState(m_hPort, &m_savedState) ||
        !::GetCommTimeouts(m_hPort, &m_savedTimeouts)) {
        ::CloseHandle(m_hPort);
        m_hPort = INVALID_HANDLE_VALUE;
        whyNot = kNotATerminal;
        return false;
    }
    m_bSaved = true;
    ::ResetEvent(m_hWake);
    m_bWatchPort = true;
    m_bPortGone = false;
    return true;
}

void CWin32SerialPort::Configure(const CSerialSettings& line, const std::string& definition,
                                 const Report& report) {
    (void)::SetupComm(m_hPort, 4096, 4096);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(m_hPort, &dcb)) {
        report("GetCommState()", AsErrorNumber(::GetLastError()));
        return;
    }
    // Raw bytes in both directions whatever the line settings, no flow control, DTR and RTS up.
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    const bool lineBuilt = ApplyLine(line, dcb);
    if (!lineBuilt) report(definition, AsErrorNumber(ERROR_INVALID_PARAMETER));
    if (!::SetCommState(m_hPort, &dcb)) {
        report("SetCommState()", AsErrorNumber(::GetLastError()));
    }
    // A read returns at once with what has arrived; writes have no driver time-out. Every
    // deadline is kept by waiting on the operation's event (WaitFor).
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!::SetCommTimeouts(m_hPort, &timeouts)) {
        report("SetCommTimeouts()", AsErrorNumber(::GetLastError()));
    }
    if (!::SetCommMask(m_hPort, EV_RXCHAR | EV_ERR)) {
        report("SetCommMask()", AsErrorNumber(::GetLastError()));
    }
}

void CWin32SerialPort::PurgeInput() {
    if (IsOpen()) (void)::PurgeComm(m_hPort, PURGE_RXCLEAR);
}

void CWin32SerialPort::AbandonOutput() {
    if (IsOpen()) (void)::PurgeComm(m_hPort, PURGE_TXABORT | PURGE_TXCLEAR);
}

void CWin32SerialPort::StopWatching() {
    EndEventWait();
}

void CWin32SerialPort::EndEventWait() {
    if (!m_bEventPending) return;
    // A new event mask ends an outstanding WaitCommEvent on every driver (Wine does not act on
    // CancelIoEx for it). Until the wait has completed its OVERLAPPED is the driver's, so it is
    // waited for; one that the driver has not ended in time is left to the driver for good (never
    // used again, never freed) and the next wait gets a new one.
    (void)::SetCommMask(m_hPort, 0);
    (void)::CancelIoEx(m_hPort, &m_pEventWait->ov);
    DWORD ignored = 0;
    if (!::GetOverlappedResultEx(m_hPort, &m_pEventWait->ov, &ignored, kEventEndMs, FALSE) &&
        ::GetLastError() == WAIT_TIMEOUT) {
        m_pEventWait = NewEventWait();  // Open refuses to go on without its event
    }
    m_bEventPending = false;
}

void CWin32SerialPort::Close() {
    if (IsOpen()) {
        // The monitor has ended its wait already (StopWatching); this is for one that has not.
        EndEventWait();
        if (m_bSaved) {
            (void)::SetCommTimeouts(m_hPort, &m_savedTimeouts);
            (void)::SetCommState(m_hPort, &m_savedState);
        }
        ::CloseHandle(m_hPort);
        m_hPort = INVALID_HANDLE_VALUE;
    }
    m_bWatchPort = false;
    m_bSaved = false;
}

DWORD CWin32SerialPort::WaitFor(OVERLAPPED& ov, DWORD ms, bool wake) {
    const HANDLE handles[2] = {ov.hEvent, m_hWake};
    return ::WaitForMultipleObjects(wake ? 2 : 1, handles, FALSE, ms);
}

unsigned CWin32SerialPort::WaitForEvent(const Report& report) {
    if (!m_bWatchPort) {
        return ::WaitForSingleObject(m_hWake, INFINITE) == WAIT_OBJECT_0 ? kWoken : kFailed;
    }
    // Input that came before the wait was asked for raises no event: look first.
    COMSTAT status{};
    DWORD errors = 0;
    if (!m_bEventPending && ::ClearCommError(m_hPort, &errors, &status) && status.cbInQue > 0) {
        return kReadable | (::WaitForSingleObject(m_hWake, 0) == WAIT_OBJECT_0 ? kWoken : 0);
    }
    if (!m_bEventPending) {
        ::ResetEvent(m_pEventWait->ov.hEvent);
        if (::WaitCommEvent(m_hPort, &m_pEventWait->mask, &m_pEventWait->ov)) return kReadable;
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) {
            if (MeansGone(error)) {
                Gone("WaitCommEvent()", error, report);
                return kReadable;
            }
            report("WaitCommEvent()", AsErrorNumber(error));
            return kFailed;
        }
        m_bEventPending = true;
    }
    switch (WaitFor(m_pEventWait->ov, INFINITE, true)) {
        case WAIT_OBJECT_0: {
            // The event says that the wait has completed, but the OVERLAPPED may not say so yet
            // (under Wine it can still say pending, for longer than a moment on a busy
            // machine): GetOverlappedResult(..., FALSE) would then say ERROR_IO_INCOMPLETE,
            // which is no failure. TRUE waits on for the result.
            DWORD ignored = 0;
            const BOOL done = ::GetOverlappedResult(m_hPort, &m_pEventWait->ov, &ignored, TRUE);
            m_bEventPending = false;
            if (done) return kReadable;
            const DWORD error = ::GetLastError();
            if (MeansGone(error)) {
                Gone("WaitCommEvent()", error, report);
                return kReadable;
            }
            report("WaitCommEvent()", AsErrorNumber(error));
            return kFailed;
        }
        case WAIT_OBJECT_0 + 1:
            // The event wait stays outstanding for the next call.
            return kWoken;
        default:
            report("WaitForMultipleObjects()", AsErrorNumber(::GetLastError()));
            return kFailed;
    }
}

void CWin32SerialPort::Wake() {
    (void)::SetEvent(m_hWake);
}

void CWin32SerialPort::Gone(const char* call, unsigned long error, const Report& report) {
    m_bWatchPort = false;
    if (m_bPortGone.exchange(true)) return;
    report(call, AsErrorNumber(error));
}

int CWin32SerialPort::Read(std::uint8_t* buffer, int size, const Report& report) {
    if (!m_bWatchPort) return kPortGone;
    ::ResetEvent(m_ovRead.hEvent);
    DWORD got = 0;
    if (!::ReadFile(m_hPort, buffer, static_cast<DWORD>(size), &got, &m_ovRead)) {
        DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            if (WaitFor(m_ovRead, kReadStallMs, false) != WAIT_OBJECT_0) {
                (void)::CancelIoEx(m_hPort, &m_ovRead);
            }
            if (::GetOverlappedResult(m_hPort, &m_ovRead, &got, TRUE)) {
                return got > 0 ? static_cast<int>(got) : kNothingToRead;
            }
            error = ::GetLastError();
            if (error == ERROR_OPERATION_ABORTED) return kNothingToRead;
        }
        if (MeansGone(error)) {
            Gone("ReadFile()", error, report);
            return kPortGone;
        }
        report("ReadFile()", AsErrorNumber(error));
        return kNothingToRead;
    }
    return got > 0 ? static_cast<int>(got) : kNothingToRead;
}

bool CWin32SerialPort::Write(const std::uint8_t* data, int length,
                             const std::function<bool()>& abandon, const Report& report) {
    ::ResetEvent(m_ovWrite.hEvent);
    DWORD put = 0;
    if (::WriteFile(m_hPort, data, static_cast<DWORD>(length), &put, &m_ovWrite)) {
        return put == static_cast<DWORD>(length);
    }
    DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
        for (;;) {
            const DWORD woke = WaitFor(m_ovWrite, kWriteStallMs, true);
            if (woke == WAIT_OBJECT_0) break;
            if (woke == WAIT_OBJECT_0 + 1 && !abandon()) continue;
            // Abandoned, or the port took nothing in time (or the wait failed): the write is
            // cancelled here, whatever time-outs the driver has, and waited for until it has
            // ended. It may have completed all the same.
            const DWORD why = woke == WAIT_OBJECT_0 + 1 ? 0
                              : woke == WAIT_TIMEOUT    ? WAIT_TIMEOUT
                                                        : ::GetLastError();
            (void)::CancelIoEx(m_hPort, &m_ovWrite);
            if (::GetOverlappedResult(m_hPort, &m_ovWrite, &put, TRUE) &&
                put == static_cast<DWORD>(length)) {
                return true;
            }
            if (why != 0) report("WriteFile()", AsErrorNumber(why));
            return false;
        }
        // Done: the result is there once the operation has completed, which TRUE waits for.
        if (::GetOverlappedResult(m_hPort, &m_ovWrite, &put, TRUE)) {
            return put == static_cast<DWORD>(length);
        }
        error = ::GetLastError();
    }
    if (MeansGone(error)) {
        Gone("WriteFile()", error, report);
    } else {
        report("WriteFile()", AsErrorNumber(error));
    }
    return false;
}
