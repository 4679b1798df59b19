// Measures quorlin-cli end to end against quorlin-sim at 38400 baud over a pseudo-terminal:
// `banks`, `programs 3` and a `find` that finds nothing and so goes through every bank. Each
// operation's time is that of the whole program run, from start to exit, the median of a few
// runs. Its limit is
//     1.05 x (wire time of every byte sent and received + the prescribed pauses) + 20 ms,
// where the wire time counts 11 bits per byte (8N2) at the line rate and the pauses are 300 ms
// after every bank select and every program change the unit received. Bytes, bank selects and
// program changes are taken from the simulated unit's log of that run (--verbose).
// Prints each operation's time, its limit and their ratio; exits 1 when one is over its limit.
//
//   bench_cli [--runs N]

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CliRun.h"
#include "CliSandbox.h"

namespace {

constexpr int kLineRate = 38400;
constexpr int kBitsPerByte = 11;
constexpr int kPauseMs = 300;

// quorlin-sim with its log on a pipe, which a thread of ours keeps reading.
class CLoggingSim {
public:
    CLoggingSim() {
        int out[2];
        int err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        std::vector<std::string> args = {QUORLIN_SIM_PATH, "--line-rate", std::to_string(kLineRate),
                                         "--verbose"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, QUORLIN_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        char c;
        while (m_pid > 0 && (m_path.empty() || m_path.back() != '\n')) {
            pollfd p{out[0], POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0 || ::read(out[0], &c, 1) != 1) break;
            m_path += c;
        }
        if (!m_path.empty() && m_path.back() == '\n') m_path.pop_back();
        ::close(out[0]);
        m_reader = std::thread([this, fd = err[0]] {
            char buffer[4096];
            for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
                std::lock_guard lock(m_mutex);
                m_log.append(buffer, static_cast<std::size_t>(n));
            }
            ::close(fd);
        });
    }
    ~CLoggingSim() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_reader.joinable()) m_reader.join();
    }
    const std::string& Path() const { return m_path; }
    std::size_t LogSize() {
        std::lock_guard lock(m_mutex);
        return m_log.size();
    }
    std::string LogSince(std::size_t offset) {
        std::lock_guard lock(m_mutex);
        return m_log.substr(std::min(offset, m_log.size()));
    }

private:
    pid_t m_pid = -1;
    std::string m_path;
    std::thread m_reader;
    std::mutex m_mutex;
    std::string m_log;
};

struct Traffic {
    long bytes = 0;
    int bankSelects = 0;
    int programChanges = 0;
};

// Reads lines such as "1234 ms <- F0 1C 70 00 03 ... (12 bytes): bank select ..." and
// "1240 ms -> F0 1C 70 00 ... (300 bytes)".
Traffic Count(const std::string& log) {
    Traffic t;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        const auto in = line.find(" ms <- ");
        const auto out = line.find(" ms -> ");
        if (in == std::string::npos && out == std::string::npos) continue;
        const auto open = line.find(" bytes)");
        const auto start = line.rfind('(', open);
        if (open == std::string::npos || start == std::string::npos) continue;
        t.bytes += std::atol(line.c_str() + start + 1);
        if (in != std::string::npos) {
            const std::string frame = line.substr(in + 7);
            if (frame.rfind("F0 1C 70 00 03 ", 0) == 0) ++t.bankSelects;
            if (frame.size() > 2 && frame[0] == 'C' && frame[2] == ' ') ++t.programChanges;
        }
    }
    return t;
}

struct Outcome {
    double ms = 0;
    double limitMs = 0;
    Traffic traffic;
    int exitCode = -1;
};

Outcome Measure(CLoggingSim& sim, const std::string& configHome,
                const std::vector<std::string>& command) {
    std::vector<std::string> args = {"--serial", sim.Path()};
    args.insert(args.end(), command.begin(), command.end());
    const std::size_t mark = sim.LogSize();
    const auto start = std::chrono::steady_clock::now();
    const CliResult result = RunCli(args, configHome);
    const auto end = std::chrono::steady_clock::now();
    // Every frame was logged before the program could have its reply; give the reader a moment.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Outcome o;
    o.exitCode = result.exitCode;
    o.ms = std::chrono::duration<double, std::milli>(end - start).count();
    o.traffic = Count(sim.LogSince(mark));
    const double wireMs = 1000.0 * o.traffic.bytes * kBitsPerByte / kLineRate;
    const double pausesMs = kPauseMs * (o.traffic.bankSelects + o.traffic.programChanges);
    o.limitMs = 1.05 * (wireMs + pausesMs) + 20.0;
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    if (argc == 3 && std::string(argv[1]) == "--runs") runs = std::max(1, std::atoi(argv[2]));

    CCliSandbox sandbox;
    CLoggingSim sim;
    if (sim.Path().empty()) {
        std::fprintf(stderr, "quorlin-sim did not start\n");
        return 2;
    }

    struct Operation {
        const char* label;
        std::vector<std::string> command;
    };
    const Operation operations[] = {
        {"banks", {"banks"}},
        {"programs 3", {"programs", "3"}},
        {"find (all banks)", {"find", "no such program"}},
    };

    std::printf("quorlin-cli against quorlin-sim at %d baud, 8N2; median of %d runs\n", kLineRate,
                runs);
    std::printf("%-18s %8s %6s %7s %5s %10s %10s %7s\n", "operation", "bytes", "selects", "changes",
                "exit", "time ms", "limit ms", "ratio");
    bool over = false;
    for (const auto& op : operations) {
        std::vector<Outcome> outcomes;
        for (int i = 0; i < runs; ++i)
            outcomes.push_back(Measure(sim, sandbox.ConfigHome(), op.command));
        std::sort(outcomes.begin(), outcomes.end(), [](const Outcome& a, const Outcome& b) {
            return a.ms / a.limitMs < b.ms / b.limitMs;
        });
        const Outcome& m = outcomes[outcomes.size() / 2];
        const double ratio = m.ms / m.limitMs;
        std::printf("%-18s %8ld %6d %7d %5d %10.1f %10.1f %7.3f\n", op.label, m.traffic.bytes,
                    m.traffic.bankSelects, m.traffic.programChanges, m.exitCode, m.ms, m.limitMs,
                    ratio);
        if (ratio > 1.0) over = true;
    }
    return over ? 1 : 0;
}
