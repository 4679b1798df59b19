#pragma once
// Runs quorlin-cli (QUORLIN_CLI_PATH) as a child process and collects what it printed and how it
// ended. `configHome` becomes the child's XDG_CONFIG_HOME, so its saved settings are a test's
// own file (Brisca/Quorlin.conf below it), never the user's; the rest of the environment is
// inherited (a test's JACK server included).

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

extern char** environ;

struct CliResult {
    int exitCode = -1;  // -1: did not exit normally
    std::string out;
    std::string err;
};

inline CliResult RunCli(std::vector<std::string> args, const std::string& configHome) {
    CliResult result;
    int out[2];
    int err[2];
    if (::pipe(out) != 0) return result;
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return result;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0) env.emplace_back(*e);
    }
    env.push_back("XDG_CONFIG_HOME=" + configHome);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    args.insert(args.begin(), QUORLIN_CLI_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, QUORLIN_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ::close(out[0]);
        ::close(err[0]);
        return result;
    }

    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}
