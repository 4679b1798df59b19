#include "link/serial/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <system_error>

#if defined(__linux__)
#include <sys/sysmacros.h>

#include <fstream>
#include <sstream>
#endif

#include "link/serial/SavedTermios.h"
#include "link/serial/TermiosLine.h"

namespace {

// Time a write may wait for the port to take more bytes before it gives up.
constexpr int kWriteStallMs = 1000;

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::string SystemText(int errorNumber) {
    return std::system_category().message(errorNumber);
}

enum class TtyDevice { Yes, No, Unknown };

// Whether the character device `device` is a terminal, told without opening it: opening some
// devices does something by itself (a watchdog starts counting, a tape rewinds when closed).
// Linux lists the device numbers of every terminal driver in /proc/tty/drivers; elsewhere, or
// when the list cannot be read, it is not known until the device is opened.
TtyDevice IsTtyDevice([[maybe_unused]] dev_t device) {
#if defined(__linux__)
    std::ifstream drivers("/proc/tty/drivers");
    bool listed = false;
    for (std::string line; std::getline(drivers, line);) {
        // "name  /dev/path  major  minor[-minor]  type"
        std::istringstream fields(line);
        std::string name, path, minors;
        unsigned int majorNumber = 0;
        if (!(fields >> name >> path >> majorNumber >> minors)) continue;
        listed = true;
        std::istringstream range(minors);
        unsigned int first = 0;
        if (!(range >> first)) continue;
        unsigned int last = first;
        if (range.get() == '-' && !(range >> last)) continue;
        if (majorNumber == major(device) && minor(device) >= first && minor(device) <= last) {
            return TtyDevice::Yes;
        }
    }
    return listed ? TtyDevice::No : TtyDevice::Unknown;
#else
    return TtyDevice::Unknown;
#endif
}

// Errors of a read or write that mean the line's far end is no longer there.
bool MeansGone(int errorNumber) {
    return errorNumber == EIO || errorNumber == ENXIO || errorNumber == ENODEV ||
           errorNumber == EPIPE || errorNumber == EBADF;
}

}  // namespace

std::unique_ptr<ISerialPort> MakeSerialPort() {
    return std::make_unique<CPosixSerialPort>();
}

std::string SerialErrorText(int errorNumber) {
    return SystemText(errorNumber);
}

CPosixSerialPort::~CPosixSerialPort() {
    Close();
}

bool CPosixSerialPort::Open(const std::string& path, std::string& whyNot) {
    Close();
    // What the path names is looked at first: a file, a folder or a pipe is never opened, so
    // that nothing is read from it or written into it.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        whyNot = SystemText(errno);
        return false;
    }
    if (!S_ISCHR(info.st_mode) || IsTtyDevice(info.st_rdev) == TtyDevice::No) {
        whyNot = kNotATerminal;
        return false;
    }
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        // A tty that another program holds with TIOCEXCL refuses everyone but root.
        whyNot = errno == EBUSY ? kHeldByAnother : SystemText(errno);
        return false;
    }
    // A character device that is no terminal (/dev/null, a sound device ...): tcgetattr only
    // reads, and the settings it reads are the ones Close puts back.
    if (::fstat(m_fd, &info) != 0 || !S_ISCHR(info.st_mode) || ::tcgetattr(m_fd, &m_saved) != 0) {
        CloseFd(m_fd);
        whyNot = kNotATerminal;
        return false;
    }
    // The flock keeps out every program that locks (TIOCEXCL does not stop a privileged one);
    // it is taken before anything is changed so that a port held by someone else is left
    // exactly as it was.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        CloseFd(m_fd);
        whyNot = error == EWOULDBLOCK ? kHeldByAnother : SystemText(error);
        return false;
    }
    m_bSaved = true;
    m_nSavedEntry = savedtermios::Keep(m_fd, m_saved);
    m_bOutputAbandoned = false;
    (void)::ioctl(m_fd, TIOCEXCL);

    int fds[2];
    if (::pipe(fds) != 0) {
        whyNot = SystemText(errno);
        Close();
        return false;
    }
    m_wakeRead = fds[0];
    m_wakeWrite = fds[1];
    for (int fd : fds) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    m_bWatchPort = true;
    m_bHangupSeen = false;
    m_bPortGone = false;
    return true;
}

void CPosixSerialPort::Configure(const CSerialSettings& line, const std::string& definition,
                                 const Report& report) {
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) {
        // The far end may go between Open and here: that is reported as its going, once.
        if (MeansGone(errno)) {
            Gone("tcgetattr()", errno, report);
        } else {
            report("tcgetattr()", errno);
        }
        return;
    }
    // Raw bytes in both directions whatever the line settings: without this no frame would
    // pass unchanged, so it is applied even when the line definition cannot be.
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    const bool lineBuilt = ApplyLine(line, tio);
    if (!lineBuilt) report(definition, EINVAL);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        if (MeansGone(errno)) {
            Gone("tcsetattr()", errno, report);
        } else {
            report("tcsetattr()", errno);
        }
    } else if (lineBuilt) {
        // tcsetattr succeeds when any part of the change took; a port may drop the rest
        // (a pseudo-terminal keeps 8 data bits and no parity whatever it is given).
        termios taken{};
        if (::tcgetattr(m_fd, &taken) == 0 && !LineMatches(tio, taken)) {
            report(definition, ENOTSUP);
        }
    }

    // Raise RTS; pseudo-terminals have no modem lines and refuse, which is harmless.
    int rts = TIOCM_RTS;
    (void)::ioctl(m_fd, TIOCMBIS, &rts);
}

void CPosixSerialPort::PurgeInput() {
    if (m_fd >= 0) (void)::tcflush(m_fd, TCIFLUSH);
}

void CPosixSerialPort::AbandonOutput() {
    if (m_fd >= 0) (void)::tcflush(m_fd, TCOFLUSH);
    m_bOutputAbandoned = true;
}

void CPosixSerialPort::Close() {
    if (m_fd >= 0) {
        // The terminal gets its own settings back, after what was written has gone out (the
        // line speed must not change under the last frame) unless the output was abandoned.
        // A port whose far end has gone may refuse; there is nothing more to do then.
        if (m_bSaved) (void)::tcsetattr(m_fd, m_bOutputAbandoned ? TCSANOW : TCSADRAIN, &m_saved);
        // TIOCEXCL outlives our descriptor while anyone else keeps the tty open.
        (void)::ioctl(m_fd, TIOCNXCL);
        savedtermios::Forget(m_nSavedEntry);
        m_nSavedEntry = -1;
        CloseFd(m_fd);  // also releases the flock
    }
    CloseFd(m_wakeRead);
    CloseFd(m_wakeWrite);
    m_bWatchPort = false;
    m_bSaved = false;
}

unsigned CPosixSerialPort::WaitForEvent(const Report& report) {
    pollfd fds[2] = {{m_wakeRead, POLLIN, 0}, {m_bWatchPort ? m_fd : -1, POLLIN, 0}};
    int ready = ::poll(fds, std::size(fds), -1);
    if (ready < 0) {
        if (errno == EINTR) return 0;
        report("poll()", errno);
        return kFailed;
    }
    unsigned events = 0;
    if (fds[0].revents != 0) {
        DrainWakePipe();
        events |= kWoken;
    }
    if (fds[1].revents != 0) {
        if ((fds[1].revents & (POLLHUP | POLLNVAL)) != 0) m_bHangupSeen = true;
        events |= kReadable;
    }
    return events;
}

void CPosixSerialPort::Wake() {
    const char byte = 1;
    // A full pipe already wakes the monitor, so a failed write loses nothing.
    (void)!::write(m_wakeWrite, &byte, 1);
}

void CPosixSerialPort::DrainWakePipe() {
    char sink[64];
    while (::read(m_wakeRead, sink, sizeof sink) > 0) {
    }
}

void CPosixSerialPort::Gone(const char* call, int errorNumber, const Report& report) {
    m_bWatchPort = false;
    if (m_bPortGone.exchange(true)) return;
    report(call, errorNumber);
}

int CPosixSerialPort::Read(std::uint8_t* buffer, int size, const Report& report) {
    if (!m_bWatchPort) return kPortGone;
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, static_cast<std::size_t>(size));
        if (got > 0) return static_cast<int>(got);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !m_bHangupSeen) {
            return kNothingToRead;
        }
        // End of file, a hang-up or a failing line: the far end has gone. Error number 0 stands
        // for a hang-up that came without one.
        const int error = got < 0 && errno != EAGAIN && errno != EWOULDBLOCK ? errno : 0;
        Gone("read()", error, report);
        return kPortGone;
    }
}

bool CPosixSerialPort::Write(const std::uint8_t* data, int length,
                             const std::function<bool()>& abandon, const Report& report) {
    std::size_t done = 0;
    const auto total = static_cast<std::size_t>(length);
    while (done < total) {
        const ssize_t put = ::write(m_fd, data + done, total - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (MeansGone(errno)) {
                Gone("write()", errno, report);
            } else {
                report("write()", errno);
            }
            return false;
        }
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wakeRead, POLLIN, 0}};
        const int ready = ::poll(fds, std::size(fds), kWriteStallMs);
        if (ready < 0 && errno != EINTR) {
            report("poll()", errno);
            return false;
        }
        if (ready == 0) {
            report("write()", ETIMEDOUT);
            return false;
        }
        if (fds[1].revents != 0) {
            DrainWakePipe();
            if (abandon()) return false;
        }
    }
    // The bytes are in the terminal's output queue; they have left only once the line has
    // transmitted them (at most a few milliseconds for a frame at the line's speed, and
    // immediate on a pseudo-terminal).
    while (::tcdrain(m_fd) != 0) {
        if (errno == EINTR) continue;
        if (MeansGone(errno)) {
            Gone("tcdrain()", errno, report);
        } else {
            report("tcdrain()", errno);
        }
        return false;
    }
    return true;
}
