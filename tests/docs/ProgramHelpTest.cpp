// Each program's --help is its manual page's text (the header generated from the same source),
// answered without a display; --version is the project's version; and the README's
// command-line block for the program names exactly the options --help names.

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "quorlin/Version.h"
#include "quorlin/help/QuorlinCliHelp.h"
#include "quorlin/help/QuorlinHelp.h"
#include "quorlin/help/QuorlinSimHelp.h"

extern char** environ;

namespace {

struct Program {
    const char* name;
    const char* path;
    const char* help;  // the text generated from docs/man/<name>.1.scd
};

const std::vector<Program>& Programs() {
    static const std::vector<Program> programs = {
        {"quorlin-cli", QUORLIN_CLI_PATH, kQuorlinCliHelp},
        {"quorlin-sim", QUORLIN_SIM_PATH, kQuorlinSimHelp},
#ifdef QUORLIN_GUI_PATH
        {"quorlin", QUORLIN_GUI_PATH, kQuorlinHelp},
#endif
    };
    return programs;
}

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program to its end with the environment of a shell without a display: no DISPLAY,
// WAYLAND_DISPLAY or QT_QPA_PLATFORM, so a Qt application object would abort.
RunResult RunWithoutDisplay(const std::string& path, const std::vector<std::string>& args) {
    RunResult r;
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "QT_QPA_PLATFORM")
            env.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv = {path};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);

    int out[2];
    int err[2];
    if (::pipe(out) != 0) return r;
    if (::pipe(err) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return r;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, raw.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err[1]);
    // Both pipes together, so that neither fills up while the other is read.
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open = spawned == 0 ? 2 : 0;
    while (open > 0 && ::poll(fds, 2, 30000) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                fds[i].fd = -1;
                --open;
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    if (spawned == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    }
    return r;
}

// The long options a text names ("--serial", "--dry-run").
std::set<std::string> LongOptions(const std::string& text) {
    std::set<std::string> options;
    static const std::regex option(R"((^|[^A-Za-z0-9-])(--[a-z][a-z0-9-]*))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it)
        options.insert((*it)[2].str());
    return options;
}

std::string Join(const std::set<std::string>& items) {
    std::string joined;
    for (const auto& i : items) joined += i + " ";
    return joined;
}

// The fenced block of the README's "### Command line" section whose first line starts with the
// program's name; empty when there is none.
std::string ReadmeBlock(const std::string& program) {
    std::ifstream in(QUORLIN_README_PATH);
    bool inSection = false;
    bool inBlock = false;
    bool wanted = false;
    std::string block;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("#", 0) == 0 && !inBlock) {
            if (inSection) break;
            inSection = line == "### Command line";
            continue;
        }
        if (!inSection) continue;
        if (line.rfind("```", 0) == 0) {
            if (inBlock && wanted) return block;
            inBlock = !inBlock;
            block.clear();
            wanted = false;
            continue;
        }
        if (!inBlock) continue;
        if (block.empty()) wanted = line.rfind(program + " ", 0) == 0 || line == program;
        block += line + "\n";
    }
    return {};
}

// Columns of a UTF-8 line, one per character.
std::size_t Columns(const std::string& line) {
    std::size_t columns = 0;
    for (unsigned char c : line)
        if ((c & 0xC0) != 0x80) ++columns;
    return columns;
}

TEST(ProgramHelpTest, HelpIsTheManualsTextAndNeedsNoDisplay) {
    for (const Program& p : Programs()) {
        SCOPED_TRACE(p.name);
        for (const char* option : {"--help", "-h"}) {
            const RunResult r = RunWithoutDisplay(p.path, {option});
            EXPECT_EQ(r.exitCode, 0) << option << ": " << r.err;
            EXPECT_EQ(r.out, p.help) << option;
            EXPECT_EQ(r.err, "") << option;
        }
        const std::string help = p.help;
        EXPECT_EQ(help.rfind(std::string("Usage: ") + p.name + " ", 0), 0u) << help;
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);)
            EXPECT_LE(Columns(line), 79u) << "too wide for a terminal: " << line;
    }
}

TEST(ProgramHelpTest, VersionIsTheProjectsVersionAndNeedsNoDisplay) {
    for (const Program& p : Programs()) {
        SCOPED_TRACE(p.name);
        const RunResult r = RunWithoutDisplay(p.path, {"--version"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, std::string(p.name) + " " + kQuorlinVersion + "\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST(ProgramHelpTest, ReadmeShowsTheOptionsOfHelp) {
    for (const Program& p : Programs()) {
        SCOPED_TRACE(p.name);
        const std::string block = ReadmeBlock(p.name);
        ASSERT_FALSE(block.empty()) << "README.md, section \"Command line\", has no block "
                                       "starting with "
                                    << p.name;
        EXPECT_EQ(Join(LongOptions(block)), Join(LongOptions(p.help)));
    }
}

}  // namespace
