#pragma once
// quorlin-sim (QUORLIN_SIM_PATH) as a child process serving the simulated unit on a
// pseudo-terminal: Path() is the terminal's slave side, read from the program's first output
// line. Ended by its PID when the object goes.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

class CSimServerProcess {
public:
    explicit CSimServerProcess(std::vector<std::string> args) {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), QUORLIN_SIM_PATH);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, QUORLIN_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_path = FirstLine(out[0]);
        ::close(out[0]);
    }
    ~CSimServerProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    CSimServerProcess(const CSimServerProcess&) = delete;
    CSimServerProcess& operator=(const CSimServerProcess&) = delete;

    // Empty when the program did not start.
    const std::string& Path() const { return m_path; }

private:
    static std::string FirstLine(int fd) {
        std::string line;
        char c;
        while (line.empty() || line.back() != '\n') {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0 || ::read(fd, &c, 1) != 1) return {};
            line += c;
        }
        line.pop_back();
        return line;
    }

    pid_t m_pid = -1;
    std::string m_path;
};
