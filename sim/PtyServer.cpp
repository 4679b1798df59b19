#include "sim/PtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <thread>

#include "sim/SimUnit.h"

namespace {

constexpr std::size_t kPaceChunk = 16;
constexpr std::int64_t kStuckWriteNs = 2000000000;  // a client that reads nothing for 2 s

std::string Hex(const std::string& bytes, std::size_t limit = 48) {
    std::string text;
    char b[4];
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(bytes[i]));
        text += b;
    }
    if (bytes.size() > limit) text += "... ";
    return text + "(" + std::to_string(bytes.size()) + " bytes)";
}

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The calling thread's own account of its time, from the kernel: how long it has run and how long
// it has waited for a processor while it could have run (nanoseconds each). Unknown where the
// system does not keep it.
class CThreadTimes {
public:
    CThreadTimes() : m_fd(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}
    ~CThreadTimes() {
        if (m_fd >= 0) ::close(m_fd);
    }
    CThreadTimes(const CThreadTimes&) = delete;
    CThreadTimes& operator=(const CThreadTimes&) = delete;

    // Running plus waiting to run, or -1 when unknown.
    std::int64_t Busy() const {
        char text[128];
        if (m_fd < 0) return -1;
        const ssize_t n = ::pread(m_fd, text, sizeof text - 1, 0);
        if (n <= 0) return -1;
        text[n] = '\0';
        long long running = 0;
        long long waiting = 0;
        if (std::sscanf(text, "%lld %lld", &running, &waiting) != 2) return -1;
        return running + waiting;
    }

private:
    int m_fd;
};

// A moment of the reader's: the steady clock, and its busy time then (-1: unknown).
struct Look {
    std::int64_t ns = 0;
    std::int64_t busyNs = -1;
};

Look LookNow(const CThreadTimes& times) {
    Look look;
    look.busyNs = times.Busy();
    look.ns = SteadyNs();
    return look;
}

int SpeedOf(speed_t code) {
    struct Entry {
        speed_t code;
        int rate;
    };
    static constexpr Entry kSpeeds[] = {{B50, 50},       {B75, 75},       {B110, 110},
                                        {B134, 134},     {B150, 150},     {B200, 200},
                                        {B300, 300},     {B600, 600},     {B1200, 1200},
                                        {B1800, 1800},   {B2400, 2400},   {B4800, 4800},
                                        {B9600, 9600},   {B19200, 19200}, {B38400, 38400},
                                        {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
    for (const auto& e : kSpeeds)
        if (e.code == code) return e.rate;
    return 0;
}

}  // namespace

CPtyServer::CPtyServer(CSimUnit& unit, Pacing pacing, std::ostream* log)
    : m_unit(unit), m_pacing(pacing), m_pLog(log), m_nStartNs(SteadyNs()) {
    m_unit.SetKeyGapTolerance(kKeyGapToleranceMs);
}

CPtyServer::~CPtyServer() {
    for (int fd : {m_nMaster, m_wakeRead, m_wakeWrite, m_nClientWatch})
        if (fd >= 0) ::close(fd);
}

bool CPtyServer::Open(std::string& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_wakeRead = fds[0];
    m_wakeWrite = fds[1];
    int slave = -1;
    char name[256] = {};
    if (::openpty(&m_nMaster, &slave, name, nullptr, nullptr) != 0) {
        error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    // Raw both ways: every byte value passes unchanged, nothing is echoed back.
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B38400);
    ::cfsetospeed(&t, B38400);
    ::tcsetattr(slave, TCSANOW, &t);
    ::close(slave);
    ::fcntl(m_nMaster, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_nMaster, F_SETFL, ::fcntl(m_nMaster, F_GETFL) | O_NONBLOCK);
    m_strSlavePath = name;
    // Without the watch the server looks for a client now and then instead (the header).
    m_nClientWatch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_nClientWatch >= 0 && ::inotify_add_watch(m_nClientWatch, name, IN_OPEN) < 0) {
        ::close(m_nClientWatch);
        m_nClientWatch = -1;
    }
    return true;
}

void CPtyServer::DrainClientWatch() {
    char events[4096];
    while (::read(m_nClientWatch, events, sizeof events) > 0) {
    }
}

void CPtyServer::WaitForClient() {
    if (m_nClientWatch < 0) {
        pollfd wake{m_wakeRead, POLLIN, 0};
        ::poll(&wake, 1, kIdleLookMs);
        return;
    }
    // An opening after the drain leaves an event, so the look that follows cannot miss a client
    // that came meanwhile (this server's own opening in DropUnreadOutput is drained here too).
    DrainClientWatch();
    if (ClientPresent()) return;
    pollfd fds[2] = {{m_wakeRead, POLLIN, 0}, {m_nClientWatch, POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0 && errno == EINTR && !m_bStop) {
    }
}

void CPtyServer::Stop() {
    m_bStop = true;
    if (m_wakeWrite >= 0) {
        const char c = 0;
        [[maybe_unused]] auto n = ::write(m_wakeWrite, &c, 1);
    }
}

std::int64_t CPtyServer::NowMs() const {
    return ToMs(SteadyNs());
}

std::int64_t CPtyServer::ToMs(std::int64_t steadyNs) const {
    return (steadyNs - m_nStartNs) / 1000000;
}

bool CPtyServer::ClientPresent() const {
    pollfd p{m_nMaster, POLLOUT, 0};
    return ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
}

void CPtyServer::DropUnreadOutput() {
    // Bytes written to the master wait in the slave's input queue until someone opens it;
    // only the slave side can flush them.
    const int fd = ::open(m_strSlavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    ::tcflush(fd, TCIFLUSH);
    ::close(fd);
}

int CPtyServer::Run() {
    bool connected = false;
    char buffer[4096];
    const CThreadTimes times;
    // What the next read finds arrived after `since`; when `sinceEmpty`, the master was empty
    // then and this thread has done nothing since but wait in poll() (and run to read).
    Look since = LookNow(times);
    bool sinceEmpty = false;
    while (!m_bStop) {
        m_nLoops.fetch_add(1, std::memory_order_relaxed);
        const Look before = LookNow(times);
        const ssize_t n = ::read(m_nMaster, buffer, sizeof buffer);
        if (n > 0) {
            const Look after = LookNow(times);
            std::int64_t earliestNs = since.ns;
            if (after.busyNs < 0) {
                // Without the kernel's count the server takes itself to have read at once.
                earliestNs = after.ns;
            } else if (sinceEmpty && since.busyNs >= 0) {
                // The bytes woke the poll; since then this thread has only waited for a
                // processor and run.
                earliestNs = std::max(earliestNs, after.ns - (after.busyNs - since.busyNs));
            }
            connected = true;
            Serve(std::string(buffer, static_cast<std::size_t>(n)),
                  FrameArrival::Between(ToMs(earliestNs), ToMs(after.ns)));
            // A full buffer may have left older bytes behind; otherwise whatever comes next
            // arrived after this read began.
            if (static_cast<std::size_t>(n) < sizeof buffer) since = before;
            sinceEmpty = false;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            since = before;
            sinceEmpty = true;
            pollfd fds[2] = {{m_nMaster, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                if (m_pLog) *m_pLog << "poll: " << std::strerror(errno) << "\n";
                return 1;
            }
            if (m_bStop) break;
            if ((fds[0].revents & POLLIN) != 0 || (fds[0].revents & (POLLHUP | POLLERR)) == 0)
                continue;
            // An error without a hang-up may stay while a client holds the port: look again
            // after a while, never in a tight loop.
            if ((fds[0].revents & POLLHUP) == 0) {
                pollfd wake{m_wakeRead, POLLIN, 0};
                ::poll(&wake, 1, kIdleLookMs);
            }
        } else if (n < 0 && errno != EIO) {
            if (m_pLog) *m_pLog << "read: " << std::strerror(errno) << "\n";
            return 1;
        }
        // No one holds the slave.
        if (connected) {
            connected = false;
            DropUnreadOutput();
            if (m_pLog) *m_pLog << "port closed by the client\n";
        }
        // A client that comes back meanwhile can have written before the next look.
        since = LookNow(times);
        sinceEmpty = false;
        WaitForClient();
    }
    return 0;
}

int CPtyServer::ClientSpeed() const {
    // On the master side the terminal calls report the settings of the slave, which the client
    // configured.
    termios t{};
    if (::tcgetattr(m_nMaster, &t) != 0) return 0;
    return SpeedOf(::cfgetospeed(&t));
}

void CPtyServer::Serve(const std::string& bytes, FrameArrival arrival) {
    const std::int64_t now = arrival.latestMs;
    if (m_nOwnRate > 0) {
        const int speed = ClientSpeed();
        if (speed != m_nOwnRate) {
            if (m_pLog)
                *m_pLog << now << " ms ignored " << bytes.size() << " bytes sent at " << speed
                        << " baud (the unit listens at " << m_nOwnRate << ")\n";
            return;
        }
    }
    const std::size_t droppedBefore = m_assembler.DroppedBytes();
    const auto frames = m_assembler.Feed(bytes);
    if (m_pLog && m_assembler.DroppedBytes() != droppedBefore)
        *m_pLog << "dropped " << (m_assembler.DroppedBytes() - droppedBefore)
                << " bytes outside frames\n";
    for (const auto& frame : frames) {
        const auto replies = m_unit.HandleFrame(frame, arrival);
        if (m_pLog) *m_pLog << now << " ms <- " << Hex(frame) << ": " << m_unit.LastNote() << "\n";
        for (const auto& reply : replies) {
            if (!ClientPresent()) {
                if (m_pLog) *m_pLog << "reply dropped: port closed\n";
                continue;
            }
            if (m_pLog) *m_pLog << NowMs() << " ms -> " << Hex(reply) << "\n";
            WritePaced(reply);
        }
    }
}

void CPtyServer::WritePaced(const std::string& frame) {
    const std::int64_t startNs = SteadyNs();
    std::int64_t progressNs = startNs;
    std::size_t sent = 0;
    while (sent < frame.size() && !m_bStop) {
        const std::size_t chunk =
            m_pacing.lineRate > 0 ? std::min(kPaceChunk, frame.size() - sent) : frame.size() - sent;
        const ssize_t n = ::write(m_nMaster, frame.data() + sent, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN && SteadyNs() - progressNs < kStuckWriteNs) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            return;  // the client went away; the rest of the reply is lost on the line
        }
        sent += static_cast<std::size_t>(n);
        progressNs = SteadyNs();
        if (m_pacing.lineRate > 0) {
            // The bytes are on the wire only when their bits have been clocked out.
            const std::int64_t dueNs = startNs + static_cast<std::int64_t>(sent) *
                                                     m_pacing.bitsPerByte * 1000000000LL /
                                                     m_pacing.lineRate;
            const std::int64_t waitNs = dueNs - SteadyNs();
            if (waitNs > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(waitNs));
        }
    }
}
