// A signal that arrives while a temporary file of the run exists: the program removes exactly
// that file and ends by the signal. The child is a fork of this test that takes the signals as
// quorlin-cli does (StartSignalHandling), creates a temporary file, half writes it, tells the
// test, and waits to be ended.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "archive/FileWriter.h"
#include "cli/CliSignals.h"
#include "tests/cli/CliSandbox.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(TemporaryFileSignalTest, ASignalRemovesTheRunsOwnTemporaryFileAndEndsTheProgram) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        CCliSandbox sandbox;
        const fs::path folder = sandbox.Dir() / "out";
        fs::create_directories(folder);
        // Someone else's file with a name like ours: not the run's, so it stays.
        CCliSandbox::WriteFile(folder / ".quorlin-someoneelse.tmp", "theirs");

        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(ready[0]);
            StartSignalHandling();
            filewriter::CTemporaryFile file;
            std::string error;
            if (!file.Create(folder.string(), error)) ::_exit(3);
            if (::write(file.Fd(), "half a pro", 10) != 10) ::_exit(4);
            if (::write(ready[1], "r", 1) != 1) ::_exit(5);
            for (;;) ::pause();  // the signals are blocked here: the signal thread ends us
        }
        ::close(ready[1]);
        char byte = 0;
        const bool started = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
        if (started) {
            EXPECT_EQ(Names(folder).size(), 2u) << "the temporary file is there";
            ::kill(pid, signal);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(started) << "the child ended with " << status;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "status " << status;
        EXPECT_EQ(Names(folder), std::vector<std::string>{".quorlin-someoneelse.tmp"});
    }
}

TEST(TemporaryFileSignalTest, ATemporaryFileIsRemovedWhenNotCommittedAndLeftWhenRenamed) {
    CCliSandbox sandbox;
    const fs::path folder = sandbox.Dir();
    std::string error;
    {
        filewriter::CTemporaryFile file;
        ASSERT_TRUE(file.Create(folder.string(), error)) << error;
        EXPECT_EQ(filewriter::TemporaryFileCount(), 1);
    }
    EXPECT_EQ(filewriter::TemporaryFileCount(), 0);
    EXPECT_EQ(Names(folder), std::vector<std::string>{"config"});

    filewriter::CTemporaryFile file;
    ASSERT_TRUE(file.Create(folder.string(), error)) << error;
    ASSERT_EQ(::write(file.Fd(), "whole", 5), 5);
    ASSERT_TRUE(file.Finish(error)) << error;
    ASSERT_TRUE(file.Commit((folder / "whole.sig").string(), error)) << error;
    EXPECT_EQ(filewriter::TemporaryFileCount(), 0);
    file.Discard();
    EXPECT_EQ(CCliSandbox::ReadFile(folder / "whole.sig"), "whole");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"config", "whole.sig"}));
}

}  // namespace
