// Every command's results on a standard output that cannot take them (/dev/full): the failure is
// said once and the run ends with status 1. A reader that has gone after the first line (`| head
// -1`) still ends a run quietly. quorlin-cli as a child process; the demo unit fills the library.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"

namespace {

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class CliOutputTest : public ::testing::Test {
protected:
    // quorlin-cli `args` under bash, as `shellLine` runs it ("$0" is quorlin-cli).
    CliResult RunWith(const std::string& shellLine, const std::vector<std::string>& args) {
        CliLaunch launch;
        launch.wrapper = {"bash", "-c", shellLine};
        return RunCli(args, m_sandbox.ConfigHome(), launch);
    }
    std::string Path(const std::string& name) const { return (m_sandbox.Dir() / name).string(); }

    CCliSandbox m_sandbox;
};

TEST_F(CliOutputTest, AnOutputThatCannotBeWrittenIsSaidOnceAndEndsWithOne) {
    // Two backups of one bank, imported (the demo unit keeps its own library): every program is
    // in the library, each seen in two places.
    for (const char* folder : {"one", "two"}) {
        std::filesystem::create_directories(Path(folder));
        const CliResult r = RunCli({"--demo", "backup", "10", Path(folder)}, m_sandbox.ConfigHome());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const CliResult i = RunCli({"import", Path(folder)}, m_sandbox.ConfigHome());
        ASSERT_EQ(i.exitCode, 0) << i.err;
    }
    const CliResult found = RunCli({"library", "search", "Vocal"}, m_sandbox.ConfigHome());
    ASSERT_EQ(found.exitCode, 0) << found.err;
    const std::string sha = found.out.substr(0, 12);

    const std::vector<std::vector<std::string>> commands = {
        {"library", "search", "Vocal"}, {"library", "show", sha}, {"library", "duplicates"},
        {"--demo", "doctor"},           {"--help"},                {"--version"},
        {"--demo", "banks"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0] + " " + command.back());
        const CliResult r = RunWith("exec \"$0\" \"$@\" >/dev/full", command);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(Occurrences(r.err, "Cannot write to standard output: No space left on device"),
                  1)
            << r.err;
    }
}

TEST_F(CliOutputTest, AReaderThatHasGoneAfterTheFirstLineEndsTheRunQuietly) {
    // The status is quorlin-cli's own, not head's.
    const std::string pipe = "\"$0\" \"$@\" | head -1; exit \"${PIPESTATUS[0]}\"";
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"--demo", "doctor"}, std::vector<std::string>{"--help"}}) {
        SCOPED_TRACE(command.back());
        const CliResult r = RunWith(pipe, command);
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    }
}

}  // namespace
