// Measures the serial link over a pseudo-terminal against a peer that answers at once:
//  1. latency: from the moment the peer has written a reply's last byte to SendAndWait
//     returning, median over many transactions (limit 1 ms);
//  2. idle cost: the processor time the whole process uses while a SendAndWait waits 5 s for a
//     reply that never comes (limit 1% of one core).
// Prints both figures with their limits; exits nonzero if either is missed.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "link/Host.h"
#include "link/SerialLink.h"
#include "settings/MemorySettingsStore.h"
#include "settings/SettingsStore.h"

namespace {

using Clock = std::chrono::steady_clock;

class CConsoleHost : public IHost {
public:
    void ShowMessage(const std::string& text, const std::string&, Icon) override {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void Pause(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

double CpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Answers every frame ending in 0xF7 with `reply` as soon as it is complete, and notes when the
// reply's last byte was written. With `silent` set it reads and answers nothing.
class CEchoPeer {
public:
    CEchoPeer(int master, std::string reply) : m_master(master), m_strReply(std::move(reply)) {
        m_thread = std::thread([this] { Run(); });
    }
    ~CEchoPeer() {
        m_bStop = true;
        m_thread.join();
    }
    void SetSilent(bool silent) { m_bSilent = silent; }
    // When the `count`-th reply's last byte was written (the peer may note it a moment after
    // the link has already returned).
    Clock::time_point ReplyWritten(int count) const {
        while (m_nReplies.load() < count) std::this_thread::yield();
        return m_lastWritten.load();
    }

private:
    void Run() {
        std::string pending;
        while (!m_bStop) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 200) <= 0) continue;
            char chunk[4096];
            const ssize_t got = ::read(m_master, chunk, sizeof chunk);
            if (got <= 0 || m_bSilent) continue;
            pending.append(chunk, static_cast<std::size_t>(got));
            while (pending.find('\xF7') != std::string::npos) {
                pending.erase(0, pending.find('\xF7') + 1);
                std::size_t done = 0;
                while (done < m_strReply.size()) {
                    const ssize_t put =
                        ::write(m_master, m_strReply.data() + done, m_strReply.size() - done);
                    if (put > 0) done += static_cast<std::size_t>(put);
                }
                m_lastWritten = Clock::now();
                ++m_nReplies;
            }
        }
    }

    int m_master;
    std::string m_strReply;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bSilent{false};
    std::atomic<Clock::time_point> m_lastWritten{};
    std::atomic<int> m_nReplies{0};
    std::thread m_thread;
};

bool Report(const char* what, double value, const char* unit, double limit) {
    const bool pass = value <= limit;
    std::printf("%-58s %10.3f %s (limit %.3f %s)  %s\n", what, value, unit, limit, unit,
                pass ? "PASS" : "FAIL");
    return pass;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;

    CMemorySettingsStore store;
    SetSettingsStore(&store);
    store.Seed(kSectionSerial, "PortNumber", std::int64_t{1});
    store.Seed(kSectionSerial, "BaudRate", std::int64_t{38400});
    store.Seed(kSectionSerial, "Parity", std::int64_t{'n'});
    store.Seed(kSectionSerial, "DataBits", std::int64_t{8});
    store.Seed(kSectionSerial, "StopBits", std::int64_t{2});

    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 2;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    CConsoleHost host;
    bool pass = true;
    {
        CSerialLink link(host);
        link.Settings().m_strPortName = name;
        if (link.Open(512) != 0) return 2;

        const std::string query = {'\xF0', '\x1C', '\x70', '\x00', '\x0A', '0', '\xF7'};
        std::string reply(64, '\x41');
        reply.front() = '\xF0';
        reply.back() = '\xF7';
        CEchoPeer peer(master, reply);

        std::vector<double> latencies;
        latencies.reserve(static_cast<std::size_t>(rounds));
        std::string got;
        for (int i = 0; i < rounds; ++i) {
            const int result = link.SendAndWait(reinterpret_cast<const std::uint8_t*>(query.data()),
                                                static_cast<int>(query.size()), 10000, got);
            const auto returned = Clock::now();
            if (result != 0) {
                std::fprintf(stderr, "transaction %d failed\n", i);
                return 2;
            }
            latencies.push_back(
                std::chrono::duration<double, std::milli>(returned - peer.ReplyWritten(i + 1))
                    .count());
        }
        std::sort(latencies.begin(), latencies.end());
        const double median = latencies[latencies.size() / 2];
        std::printf("serial link over a pseudo-terminal, %d transactions of a %zu-byte reply\n",
                    rounds, reply.size());
        std::printf("latency p90 %.3f ms, max %.3f ms\n", latencies[latencies.size() * 9 / 10],
                    latencies.back());
        pass &= Report("median latency, last reply byte written -> SendAndWait returns", median,
                       "ms", 1.0);

        peer.SetSilent(true);
        link.firstWaitMs = 5000;
        const double cpuBefore = CpuMs();
        const auto start = Clock::now();
        link.SendAndWait(reinterpret_cast<const std::uint8_t*>(query.data()),
                         static_cast<int>(query.size()), 10000, got);
        const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const double cpu = CpuMs() - cpuBefore;
        std::printf("unanswered SendAndWait: %.0f ms waited, %.3f ms processor time\n", wall, cpu);
        pass &= Report("processor use while SendAndWait waits 5 s", 100.0 * cpu / wall,
                       "% of one core", 1.0);
        link.Close();
    }
    ::close(slave);
    ::close(master);
    SetSettingsStore(nullptr);
    return pass ? 0 : 1;
}
