// Measures quorlin-cli end to end against quorlin-sim at 38400 baud over a pseudo-terminal:
// `banks`, `programs 3` and a `find` that finds nothing and so goes through every bank; then a
// `backup-unit` of the whole demo unit and a `restore` of that backup into the same unit after its
// user programs were deleted. Each operation's time is that of the whole program run, from start
// to exit (the median of a few runs; the restore runs once). Its limit is
//     1.05 x (wire time of every byte sent and received + the prescribed pauses) + margin,
// where the wire time counts 11 bits per byte (8N2) at the line rate, and the pauses are 300 ms
// after every bank select and program change the unit received, 500 ms after each key press that
// confirms a load, and the 2000 ms a load waits in silence before it asks whether the program
// arrived (the unit answers nothing to a good load). The margin is 20 ms for the listings and
// 100 ms for the whole-unit commands. Bytes and frames are taken from the simulated unit's log of
// that run (--verbose).
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
constexpr int kKeyPauseMs = 500;
constexpr int kLoadWaitMs = 2000;

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
    int loads = 0;
    int keys = 0;
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
            if (frame.rfind("F0 1C 70 00 0A ", 0) == 0) ++t.loads;
            if (frame.rfind("F0 1C 70 00 01 ", 0) == 0) ++t.keys;
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
                const std::vector<std::string>& command, double marginMs = 20.0) {
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
    const double pausesMs = kPauseMs * (o.traffic.bankSelects + o.traffic.programChanges) +
                            kKeyPauseMs * o.traffic.keys + kLoadWaitMs * o.traffic.loads;
    o.limitMs = 1.05 * (wireMs + pausesMs) + marginMs;
    return o;
}

// The lines of `text`.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Deletes every user program of the unit ("U <number> <name>" in `programs BANK`).
bool DeleteUserPrograms(CLoggingSim& sim, const std::string& configHome) {
    const CliResult banks = RunCli({"--serial", sim.Path(), "banks"}, configHome);
    if (banks.exitCode != 0) return false;
    for (const std::string& bank : Lines(banks.out)) {
        const std::string number = bank.substr(0, bank.find(' '));
        const CliResult programs =
            RunCli({"--serial", sim.Path(), "programs", number}, configHome);
        if (programs.exitCode != 0) return false;
        for (const std::string& entry : Lines(programs.out)) {
            if (entry.rfind("U ", 0) != 0) continue;
            const std::string program = entry.substr(2, entry.find(' ', 2) - 2);
            if (RunCli({"--serial", sim.Path(), "delete", number, program}, configHome)
                    .exitCode != 0)
                return false;
        }
    }
    return true;
}

void PrintHeader() {
    std::printf("%-24s %8s %6s %7s %5s %4s %5s %10s %10s %7s\n", "operation", "bytes", "selects",
                "changes", "loads", "keys", "exit", "time ms", "limit ms", "ratio");
}

// Prints one operation's figures; true when it kept within its limit.
bool Report(const char* label, const Outcome& m) {
    const double ratio = m.ms / m.limitMs;
    std::printf("%-24s %8ld %6d %7d %5d %4d %5d %10.1f %10.1f %7.3f\n", label, m.traffic.bytes,
                m.traffic.bankSelects, m.traffic.programChanges, m.traffic.loads, m.traffic.keys,
                m.exitCode, m.ms, m.limitMs, ratio);
    return ratio <= 1.0;
}

Outcome Median(std::vector<Outcome> outcomes) {
    std::sort(outcomes.begin(), outcomes.end(), [](const Outcome& a, const Outcome& b) {
        return a.ms / a.limitMs < b.ms / b.limitMs;
    });
    return outcomes[outcomes.size() / 2];
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
    PrintHeader();
    bool over = false;
    for (const auto& op : operations) {
        std::vector<Outcome> outcomes;
        for (int i = 0; i < runs; ++i)
            outcomes.push_back(Measure(sim, sandbox.ConfigHome(), op.command));
        over = !Report(op.label, Median(outcomes)) || over;
    }

    // The whole unit: backed up (each run into a folder of its own), then the last backup restored
    // into the unit once its user programs are gone.
    std::vector<Outcome> backups;
    std::string folder;
    for (int i = 0; i < runs; ++i) {
        folder = (sandbox.Dir() / ("backup-" + std::to_string(i))).string();
        backups.push_back(
            Measure(sim, sandbox.ConfigHome(), {"backup-unit", folder}, /*marginMs=*/100.0));
    }
    over = !Report("backup-unit (demo unit)", Median(backups)) || over;
    if (!DeleteUserPrograms(sim, sandbox.ConfigHome())) {
        std::fprintf(stderr, "could not delete the user programs before the restore\n");
        return 2;
    }
    const Outcome restore =
        Measure(sim, sandbox.ConfigHome(), {"restore", folder}, /*marginMs=*/100.0);
    over = !Report("restore (no user programs)", restore) || over;
    if (restore.traffic.keys != 4 * restore.traffic.loads)
        std::fprintf(stderr, "note: %d key presses for %d loads; only load keys are counted as "
                             "500 ms pauses\n", restore.traffic.keys, restore.traffic.loads);
    return over ? 1 : 0;
}
