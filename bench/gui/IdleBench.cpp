// bench_idle [--settle S] [--idle S]
//
// Wake-ups of `quorlin --demo` at rest: the program is started against its demo unit (served on
// a pseudo-terminal in the same process), left `--settle` seconds (default 5) to show its bank
// list, then left alone for `--idle` seconds (default 10). A wake-up is a voluntary context switch
// (a thread that slept in a wait and was woken), counted by the kernel per thread in
// /proc/PID/task/TID/status. Prints the count of every thread that woke during the idle time (by
// its name; the demo unit's server is "demo unit") and the total.
// Target: 0. Limit: the demo unit's thread does not wake at all (exit 1 otherwise); Qt's own
// threads are reported, not judged.
//
// The program runs on the platform QT_QPA_PLATFORM names (offscreen when unset; run it under
// xvfb-run with QT_QPA_PLATFORM=xcb for a display), with its settings, library and temporary
// folder in a temporary home, so nothing of the user's is read or changed.

#include <dirent.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

struct ThreadCount {
    std::string name;
    long long wakeUps = 0;
};

// Every thread of `pid` by its id: its name and its voluntary context switches so far.
std::map<int, ThreadCount> Threads(pid_t pid) {
    std::map<int, ThreadCount> threads;
    const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
    std::error_code ec;
    for (const auto& task : fs::directory_iterator(tasks, ec)) {
        std::ifstream status(task.path() / "status");
        ThreadCount count;
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Name:", 0) == 0) {
                count.name = line.substr(line.find_first_not_of(" \t", 5));
            } else if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                count.wakeUps = std::atoll(line.c_str() + 24);
            }
        }
        threads[std::atoi(task.path().filename().c_str())] = count;
    }
    return threads;
}

}  // namespace

int main(int argc, char** argv) {
    int settleSeconds = 5;
    int idleSeconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--settle") {
            settleSeconds = std::atoi(argv[i + 1]);
        } else if (option == "--idle") {
            idleSeconds = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "usage: bench_idle [--settle S] [--idle S]\n");
            return 2;
        }
    }

    char home[] = "/tmp/quorlin-idle-XXXXXX";
    if (::mkdtemp(home) == nullptr) {
        std::perror("bench_idle: mkdtemp");
        return 1;
    }
    ::setenv("HOME", home, 1);
    ::setenv("XDG_CONFIG_HOME", (std::string(home) + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (std::string(home) + "/data").c_str(), 1);
    // The demo's library folder too: the program is ended by a signal, which leaves it.
    fs::create_directories(std::string(home) + "/tmp");
    ::setenv("TMPDIR", (std::string(home) + "/tmp").c_str(), 1);
    ::unsetenv("QUORLIN_LIBRARY");
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    std::string program = QUORLIN_PATH;
    std::string demo = "--demo";
    char* args[] = {program.data(), demo.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, args, environ) != 0) {
        std::fprintf(stderr, "bench_idle: cannot start %s\n", program.c_str());
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(settleSeconds));
    const auto before = Threads(pid);
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const auto after = Threads(pid);
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    fs::remove_all(home);

    if (after.empty()) {
        std::fprintf(stderr, "bench_idle: quorlin --demo ended before the idle time was over\n");
        return 1;
    }
    long long total = 0;
    long long demoUnit = -1;
    std::printf("quorlin --demo idle for %d s (after %d s to settle), %zu threads (%s):\n",
                idleSeconds, settleSeconds, after.size(), std::getenv("QT_QPA_PLATFORM"));
    for (const auto& [tid, count] : after) {
        const auto was = before.find(tid);
        const long long woke = count.wakeUps - (was == before.end() ? 0 : was->second.wakeUps);
        total += woke;
        if (count.name == "demo unit") demoUnit = woke;
        if (woke > 0) std::printf("  %-16s %lld wake-ups\n", count.name.c_str(), woke);
    }
    std::printf("total: %lld wake-ups in %d s (%.1f per second); the demo unit's thread: %lld\n",
                total, idleSeconds, static_cast<double>(total) / idleSeconds, demoUnit);
    if (demoUnit < 0) {
        std::fprintf(stderr, "bench_idle: no thread named \"demo unit\" was found\n");
        return 1;
    }
    return demoUnit == 0 ? 0 : 1;
}
