#pragma once
// Keeps every core of the machine busy while the object lives: one child process per core that
// does nothing but spin, so that a test sees the program as a loaded machine runs it (threads
// woken late, readers that find several frames at once). The children are ended by their PIDs
// when the object goes, and die with the test process should it end first.

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#include <vector>

class CCpuBurners {
public:
    CCpuBurners() {
        const unsigned cores = std::thread::hardware_concurrency();
        for (unsigned i = 0; i < (cores > 0 ? cores : 2); ++i) {
            const pid_t parent = ::getpid();
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                if (::getppid() != parent) ::_exit(0);
                volatile unsigned long spin = 0;
                for (;;) spin = spin + 1;
            }
            if (pid > 0) m_pids.push_back(pid);
        }
    }
    ~CCpuBurners() {
        for (pid_t pid : m_pids) ::kill(pid, SIGKILL);
        for (pid_t pid : m_pids) ::waitpid(pid, nullptr, 0);
    }
    CCpuBurners(const CCpuBurners&) = delete;
    CCpuBurners& operator=(const CCpuBurners&) = delete;

    std::size_t Count() const { return m_pids.size(); }

private:
    std::vector<pid_t> m_pids;
};
