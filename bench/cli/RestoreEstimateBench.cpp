// Checks the time a restore plan announces ("About 21 s", the estimate of quorlin-cli restore
// --dry-run and of the desktop program's plan) against the time the restore takes, quorlin-cli
// against quorlin-sim at 38400 baud over a pseudo-terminal.
//
// A small unit is seeded: bank 60 "AB" with three user programs and bank 61 "BA" with two. Its
// backup is restored into a second unit that lacks bank 60 and holds one of bank 61's programs:
// the plan creates bank 60 (its name typed on the front panel), loads three programs into it,
// finds one of bank 61's present and loads the other. The restore's own time is the run with
// the restore less the dry run (both start the program, read the unit's lists and make the same
// plan). The estimate must lie within 15 % of it.
// Prints both and their ratio; exits 1 when they are further apart, 2 when a step fails.
//
//   bench_restore_estimate

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "sim/ProgramText.h"
#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;

constexpr int kLineRate = 38400;
constexpr double kTolerance = 0.15;

// quorlin-sim over a pseudo-terminal at the line rate, seeded from `seed`.
class CSim {
public:
    explicit CSim(const fs::path& seed)
        : m_process(QUORLIN_SIM_PATH,
                    {"--line-rate", std::to_string(kLineRate), "--seed", seed.string()}),
          m_path(m_process.ReadLine()) {}
    const std::string& Path() const { return m_path; }

private:
    CChildProcess m_process;
    std::string m_path;
};

void WriteProgram(const fs::path& bank, const std::string& name) {
    fs::create_directories(bank);
    std::ofstream(bank / (name + ".sig"), std::ios::binary)
        << sim::MakeProgramText(name, "Hall", 40, {"seeded for the restore estimate"});
}

struct Timed {
    CliResult result;
    double ms = 0;
};

Timed Run(const CSim& sim, const std::string& configHome, std::vector<std::string> command) {
    command.insert(command.begin(), {"--serial", sim.Path()});
    const auto start = std::chrono::steady_clock::now();
    Timed t;
    t.result = RunCli(command, configHome);
    t.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return t;
}

// The announced time of "... About 21 s." / "About 3 min." in milliseconds; -1 without one.
double AnnouncedMs(const std::string& err) {
    std::smatch match;
    static const std::regex about(R"(About (\d+) (s|min)\.)");
    if (!std::regex_search(err, match, about)) return -1;
    return std::stod(match[1]) * (match[2] == "s" ? 1000.0 : 60000.0);
}

}  // namespace

int main() {
    CCliSandbox sandbox;
    const fs::path before = sandbox.Dir() / "seed-before";
    const fs::path after = sandbox.Dir() / "seed-after";
    for (const char* name : {"Tour Hall", "Tour Plate", "Tour Room"})
        WriteProgram(before / "60 AB", name);
    for (const char* name : {"Echo", "Gate"}) WriteProgram(before / "61 BA", name);
    WriteProgram(after / "61 BA", "Echo");
    const std::string backup = (sandbox.Dir() / "backup").string();
    {
        CSim unit(before);
        if (unit.Path().empty()) {
            std::fprintf(stderr, "quorlin-sim did not start\n");
            return 2;
        }
        const Timed made = Run(unit, sandbox.ConfigHome(), {"backup-unit", backup});
        if (made.result.exitCode != 0) {
            std::fprintf(stderr, "the backup failed:\n%s", made.result.err.c_str());
            return 2;
        }
    }
    CSim unit(after);
    const std::vector<std::string> restore = {"restore", backup, "--bank", "60", "--bank", "61"};
    std::vector<std::string> dryRun = restore;
    dryRun.push_back("--dry-run");
    const Timed dry = Run(unit, sandbox.ConfigHome(), dryRun);
    const double announcedMs = AnnouncedMs(dry.result.err);
    if (dry.result.exitCode != 0 || announcedMs < 0) {
        std::fprintf(stderr, "the dry run failed or announced no time:\n%s%s",
                     dry.result.out.c_str(), dry.result.err.c_str());
        return 2;
    }
    const Timed done = Run(unit, sandbox.ConfigHome(), restore);
    if (done.result.exitCode != 0) {
        std::fprintf(stderr, "the restore failed:\n%s", done.result.err.c_str());
        return 2;
    }
    const double restoreMs = done.ms - dry.ms;
    const double ratio = announcedMs / restoreMs;
    std::printf("restore estimate against quorlin-sim at %d baud, 8N2\n", kLineRate);
    std::printf("plan:\n%s", dry.result.out.c_str());
    std::printf("announced: %s", dry.result.err.c_str());
    std::printf("%-40s %10.0f ms\n", "dry run (start, lists, plan)", dry.ms);
    std::printf("%-40s %10.0f ms\n", "restore run", done.ms);
    std::printf("%-40s %10.0f ms\n", "restore itself (difference)", restoreMs);
    std::printf("%-40s %10.0f ms\n", "announced", announcedMs);
    const bool pass = std::abs(ratio - 1.0) <= kTolerance;
    std::printf("%-40s %10.3f (limit 1 +/- %.2f)  %s\n", "announced / measured", ratio, kTolerance,
                pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
