#pragma once
// A program run as a child process by tests and benchmarks: its standard output is read line by
// line; its standard error, when asked for, is collected on a thread of its own. The child gets
// SIGTERM and is waited for when the object goes, unless Terminate() ended it already.
//
// One thread uses an object, except that the standard-error collector runs beside it.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

class CChildProcess {
public:
    CChildProcess(const std::string& path, std::vector<std::string> args,
                  bool collectStderr = false) {
        int out[2];
        int err[2] = {-1, -1};
        if (::pipe(out) != 0) return;
        if (collectStderr && ::pipe(err) != 0) {
            ::close(out[0]);
            ::close(out[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (collectStderr) {
            posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
            posix_spawn_file_actions_addclose(&actions, err[0]);
        }
        args.insert(args.begin(), path);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
        if (collectStderr) {
            ::close(err[1]);
            m_errReader = std::thread([this, fd = err[0]] {
                char buffer[4096];
                for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
                    std::lock_guard lock(m_mutex);
                    m_stderr.append(buffer, static_cast<std::size_t>(n));
                }
                ::close(fd);
            });
        }
    }
    ~CChildProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_errReader.joinable()) m_errReader.join();
        if (m_out >= 0) ::close(m_out);
    }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }

    // The next line of standard output without its newline; empty when none came in time.
    std::string ReadLine(int timeoutMs = 10000) {
        std::string line;
        char c;
        while (line.empty() || line.back() != '\n') {
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0 || ::read(m_out, &c, 1) != 1) return {};
            line += c;
        }
        line.pop_back();
        return line;
    }

    // SIGTERM, then the exit status (-1 when it did not exit normally within 10 s).
    int Terminate() {
        if (m_pid <= 0) return -1;
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

    // What the child wrote to standard error so far (collectStderr only).
    std::size_t StderrSize() {
        std::lock_guard lock(m_mutex);
        return m_stderr.size();
    }
    std::string StderrSince(std::size_t offset) {
        std::lock_guard lock(m_mutex);
        return m_stderr.substr(std::min(offset, m_stderr.size()));
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::thread m_errReader;
    std::mutex m_mutex;
    std::string m_stderr;
};
