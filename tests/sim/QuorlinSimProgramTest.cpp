// quorlin-sim end to end: the program serves the unit on a pseudo-terminal that a raw termios
// client opens, closes and opens again, as the serial link does around every operation.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/sim/ListingReader.h"
#include "tests/support/ChildProcess.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

// The program under test, started with arguments; its first output line is the terminal's path.
class SimProcess : public CChildProcess {
public:
    explicit SimProcess(std::vector<std::string> args, bool collectStderr = false)
        : CChildProcess(QUORLIN_SIM_PATH, std::move(args), collectStderr) {}
    std::string FirstLine() { return ReadLine(); }
};

// A serial client as the link opens the port: raw, 38400 baud (or `speed`), 8 data bits, 2 stop
// bits.
int OpenPort(const std::string& path, speed_t speed = B38400) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    t.c_cflag |= CS8 | CSTOPB | CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

void Write(int fd, const std::string& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Everything up to and including the first F7; empty when nothing came within 5 s.
std::string ReadFrame(int fd) {
    std::string bytes;
    char c;
    while (bytes.empty() || bytes.back() != '\xF7') {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0 || ::read(fd, &c, 1) != 1) return {};
        bytes += c;
    }
    return bytes;
}

std::string Query(const std::string& text) {
    return std::string("\xF0\x1C\x70\x00\x31", 5) + text + "\xF7";
}

class QuorlinSimProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("quorlin-sim-e2e-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "seed" / "33 Seeded");
        std::ofstream(m_dir / "seed" / "33 Seeded" / "a.sig") << "preset \"From Disk\"\n";
    }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

TEST_F(QuorlinSimProgramTest, ServesQueriesAcrossReopeningsOfThePort) {
    const std::string link = (m_dir / "unit").string();
    // Verbose: the log says when the program has seen the port closed.
    SimProcess sim({"--link", link, "--seed", (m_dir / "seed").string(), "--verbose"}, true);
    const std::string path = sim.FirstLine();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::read_symlink(link).string(), path);

    int fd = OpenPort(link);
    ASSERT_GE(fd, 0);
    Write(fd, Query("0 0"));
    const std::string root = ReadFrame(fd);
    ::close(fd);
    ASSERT_GT(root.size(), 5u);
    EXPECT_EQ(root.substr(0, 4), std::string("\xF0\x1C\x70\x00", 4));
    EXPECT_GT(listing::FindChildKey(root.substr(4), "program functions"), 0);

    fd = OpenPort(path);
    ASSERT_GE(fd, 0);
    Write(fd, Query("2B 0"));
    const auto banks = listing::ParseListReply(ReadFrame(fd).substr(4));
    EXPECT_NE(std::find(banks.begin(), banks.end(), "33 Seeded"), banks.end());
    // Bank select and program change are not answered; the program request is.
    Write(fd, std::string("\xF0\x1C\x70\x00\x03\x00\x00\x02\x01\x00\x01\xF7", 12));
    Write(fd, std::string("\xC0\x00", 2));
    Write(fd, std::string("\xF0\x1C\x70\x00\x0B\xF7", 6));
    EXPECT_EQ(ReadFrame(fd), std::string("\xF0\x1C\x70\x00", 4) + "preset \"From Disk\"\n\xF7");
    ::close(fd);

    // A reply left unread when the port closes is not handed to the next client. The port is
    // closed once the reply has begun to arrive, and opened again once the program has seen it
    // closed (it handles its port in one thread: the query first, then the hang-up).
    fd = OpenPort(path);
    ASSERT_GE(fd, 0);
    Write(fd, Query("0 0"));
    pollfd arriving{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&arriving, 1, 10000), 1) << "no reply began to arrive";
    ::close(fd);
    // The log's second "0 0" query is this one (the first opened the test), and the hang-up it
    // notes after it is this close.
    const auto closeSeen = [&sim] {
        const std::string log = sim.StderrSince(0);
        const std::string query = "<- F0 1C 70 00 31 30 20 30 F7 ";
        const auto first = log.find(query);
        const auto second = first == std::string::npos ? first : log.find(query, first + 1);
        return second != std::string::npos &&
               log.find("port closed by the client", second) != std::string::npos;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!closeSeen()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline)
            << "the program did not see the port closed:\n" << sim.StderrSince(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    fd = OpenPort(path);
    ASSERT_GE(fd, 0);
    Write(fd, Query("1A0 0"));
    EXPECT_EQ(ReadFrame(fd).substr(4, 20), "10 0 1A0 0 'program ");
    ::close(fd);

    EXPECT_EQ(sim.Terminate(), 0);
    EXPECT_FALSE(fs::is_symlink(link));
}

TEST_F(QuorlinSimProgramTest, PacesRepliesAtTheLineRate) {
    SimProcess sim({"--line-rate", "9600"});
    const std::string path = sim.FirstLine();
    ASSERT_FALSE(path.empty());
    const int fd = OpenPort(path);
    ASSERT_GE(fd, 0);
    const auto start = std::chrono::steady_clock::now();
    Write(fd, Query("0 0"));
    const std::string root = ReadFrame(fd);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ::close(fd);
    ASSERT_GT(root.size(), 100u);
    // 11 bits a byte at 9600 bits a second: the reply cannot arrive sooner than its wire time.
    const auto wire = std::chrono::microseconds(root.size() * 11 * 1000000 / 9600);
    EXPECT_GE(elapsed, wire - std::chrono::milliseconds(20));
    EXPECT_EQ(sim.Terminate(), 0);
}

TEST_F(QuorlinSimProgramTest, AnswersOnlyAtItsOwnSpeedWhenAskedTo) {
    SimProcess sim({"--line-rate", "9600", "--own-speed-only", "--verbose"}, true);
    const std::string path = sim.FirstLine();
    ASSERT_FALSE(path.empty());

    // At another speed the query is noise to the unit: it is logged as ignored and never
    // answered, not even once the client has come back at the right speed.
    int fd = OpenPort(path, B38400);
    ASSERT_GE(fd, 0);
    Write(fd, Query("0 0"));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sim.StderrSince(0).find("ignored 9 bytes sent at 38400 baud") == std::string::npos) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << sim.StderrSince(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(fd);

    fd = OpenPort(path, B9600);
    ASSERT_GE(fd, 0);
    Write(fd, Query("1A0 0"));
    EXPECT_EQ(ReadFrame(fd).substr(4, 20), "10 0 1A0 0 'program ");
    ::close(fd);
    EXPECT_EQ(sim.StderrSince(0).find("<- F0 1C 70 00 31 30 20 30 F7"), std::string::npos)
        << "the query sent at the wrong speed reached the unit";
    EXPECT_EQ(sim.Terminate(), 0);
}

TEST(QuorlinSimOptionsTest, RejectsUnknownOptionsAndShowsHelp) {
    for (const auto& [args, status] :
         std::vector<std::pair<std::vector<std::string>, int>>{{{"--bogus"}, 2},
                                                               {{"--line-rate", "fast"}, 2},
                                                               {{"--stop-bits", "3"}, 2},
                                                               {{"--own-speed-only",
                                                                 "--line-rate", "0"},
                                                                2},
                                                               {{"--seed", "/nonexistent/dir"}, 1},
                                                               {{"--help"}, 0}}) {
        std::vector<std::string> argv = {QUORLIN_SIM_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, QUORLIN_SIM_PATH, &actions, nullptr, raw.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        int wstatus = 0;
        ::waitpid(pid, &wstatus, 0);
        ASSERT_TRUE(WIFEXITED(wstatus));
        EXPECT_EQ(WEXITSTATUS(wstatus), status) << args.front();
    }
}

}  // namespace
