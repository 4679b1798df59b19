#pragma once
// Runs quorlin-cli (QUORLIN_CLI_PATH) as a child process and collects what it printed and how it
// ended. `configHome` becomes the child's XDG_CONFIG_HOME, so its saved settings are a test's
// own file (Brisca/Quorlin.conf below it), never the user's, and XDG_DATA_HOME the folder
// "data" beside it, so that its program library is the test's own too (unless the test sets
// QUORLIN_LIBRARY); the rest of the environment is inherited (a test's JACK server included).
//
// CCliChild runs one child and lets a test watch its output line by line and signal it; RunCli
// runs one to its end. CliLaunch can put a wrapper program before quorlin-cli (setpriv, unshare)
// and can give it a standard output whose reading end is already closed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

struct CliResult {
    int exitCode = -1;  // -1: did not exit normally
    int signal = 0;     // the signal that ended it, 0 when it exited
    std::string out;
    std::string err;
};

struct CliLaunch {
    // Program and arguments to run quorlin-cli under (found on PATH); quorlin-cli's path and
    // arguments follow them.
    std::vector<std::string> wrapper;
    // Standard output is a pipe that nobody reads: its reading end is closed before the start.
    bool closedOutput = false;
};

class CCliChild {
public:
    CCliChild(std::vector<std::string> args, const std::string& configHome,
              const CliLaunch& launch = {}) {
        int out[2];
        int err[2];
        if (::pipe(out) != 0) return;
        if (::pipe(err) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        if (launch.closedOutput) {
            ::close(out[0]);
            out[0] = -1;
        }
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0 &&
                std::strncmp(*e, "XDG_DATA_HOME=", 14) != 0)
                env.emplace_back(*e);
        }
        env.push_back("XDG_CONFIG_HOME=" + configHome);
        env.push_back("XDG_DATA_HOME=" + configHome + "/data");
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);

        args.insert(args.begin(), QUORLIN_CLI_PATH);
        args.insert(args.begin(), launch.wrapper.begin(), launch.wrapper.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        if (out[0] >= 0) posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        const int spawned =
            posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(err[1]);
        m_fds[0] = out[0];
        m_fds[1] = err[0];
        if (spawned != 0) {
            m_pid = -1;
            CloseAll();
        }
    }
    ~CCliChild() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        CloseAll();
    }
    CCliChild(const CCliChild&) = delete;
    CCliChild& operator=(const CCliChild&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // Reads until standard output holds `lines` lines; false when the output ended first.
    bool WaitForLines(std::size_t lines) {
        while (std::count(m_result.out.begin(), m_result.out.end(), '\n') <
               static_cast<long>(lines)) {
            if (!ReadSome()) return false;
        }
        return true;
    }

    void Signal(int signal) const {
        if (m_pid > 0) ::kill(m_pid, signal);
    }

    // Reads both outputs to their end and waits for the child.
    CliResult Finish() {
        while (ReadSome()) {
        }
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
            m_result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            m_result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        }
        return m_result;
    }

private:
    // One poll and read; false when both outputs are closed.
    bool ReadSome() {
        pollfd fds[2] = {{m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
        if (m_fds[0] < 0 && m_fds[1] < 0) return false;
        if (::poll(fds, 2, -1) < 0) return errno == EINTR;
        std::string* sinks[2] = {&m_result.out, &m_result.err};
        for (int i = 0; i < 2; ++i) {
            if (m_fds[i] < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(m_fds[i], buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(m_fds[i]);
                m_fds[i] = -1;
            }
        }
        return true;
    }
    void CloseAll() {
        for (int& fd : m_fds) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }

    pid_t m_pid = -1;
    int m_fds[2] = {-1, -1};
    CliResult m_result;
};

inline CliResult RunCli(std::vector<std::string> args, const std::string& configHome,
                        const CliLaunch& launch = {}) {
    return CCliChild(std::move(args), configHome, launch).Finish();
}
