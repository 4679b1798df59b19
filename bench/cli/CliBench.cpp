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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"
#include "tests/support/ChildProcess.h"

namespace {

constexpr int kLineRate = 38400;
constexpr int kBitsPerByte = 11;
constexpr int kPauseMs = 300;

// quorlin-sim with its log on a pipe, which a thread of ours keeps reading.
class CLoggingSim {
public:
    CLoggingSim()
        : m_process(QUORLIN_SIM_PATH, {"--line-rate", std::to_string(kLineRate), "--verbose"},
                    true),
          m_path(m_process.ReadLine()) {}
    const std::string& Path() const { return m_path; }
    std::size_t LogSize() { return m_process.StderrSize(); }
    std::string LogSince(std::size_t offset) { return m_process.StderrSince(offset); }

private:
    CChildProcess m_process;
    std::string m_path;
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
