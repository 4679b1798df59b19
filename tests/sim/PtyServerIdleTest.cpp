// The pseudo-terminal server at rest: with no client, and with a client that holds the port and
// sends nothing, its thread sleeps until there is work (it goes round its loop a handful of times,
// not once per look at a clock); a client that comes after a long rest is served at once.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "sim/PtyServer.h"
#include "sim/SimUnit.h"

namespace {

// How long each rest lasts. A server that looked for a client every CPtyServer::kIdleLookMs
// would go round its loop some 25 times meanwhile; one that sleeps, at most a few.
constexpr auto kRest = std::chrono::milliseconds(500);
constexpr std::int64_t kWakeUpsAllowed = 3;

int OpenPort(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B38400);
    ::cfsetospeed(&t, B38400);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// The reply to the root query, up to its closing F7; empty when none came within 10 s.
std::string AskRoot(int fd) {
    const std::string query("\xF0\x1C\x70\x00\x31\x30\x20\x30\xF7", 9);
    if (::write(fd, query.data(), query.size()) != static_cast<ssize_t>(query.size())) return {};
    std::string bytes;
    char c;
    while (bytes.empty() || bytes.back() != '\xF7') {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) <= 0 || ::read(fd, &c, 1) != 1) return {};
        bytes += c;
    }
    return bytes;
}

class PtyServerIdleTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_server.Open(error)) << error;
        m_thread = std::thread([this] { m_server.Run(); });
    }
    void TearDown() override {
        m_server.Stop();
        m_thread.join();
    }
    // The loops the server went round during one rest.
    std::int64_t LoopsDuringRest() {
        const std::int64_t before = m_server.LoopCount();
        std::this_thread::sleep_for(kRest);
        return m_server.LoopCount() - before;
    }

    CSimUnit m_unit;
    CPtyServer m_server{m_unit, {38400, 11}, nullptr};
    std::thread m_thread;
};

TEST_F(PtyServerIdleTest, SleepsWithoutAClientAndWakesForOne) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // settled into its wait
    EXPECT_LE(LoopsDuringRest(), kWakeUpsAllowed) << "before any client came";

    // The client comes while the server sleeps: it is answered.
    int fd = OpenPort(m_server.SlavePath());
    ASSERT_GE(fd, 0);
    EXPECT_GT(AskRoot(fd).size(), 5u);
    // Holding the port and sending nothing.
    EXPECT_LE(LoopsDuringRest(), kWakeUpsAllowed) << "while a client holds the port";
    ::close(fd);

    // Gone again: asleep again, and the next client after the rest is answered too.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(LoopsDuringRest(), kWakeUpsAllowed) << "after the client closed the port";
    fd = OpenPort(m_server.SlavePath());
    ASSERT_GE(fd, 0);
    EXPECT_GT(AskRoot(fd).size(), 5u);
    ::close(fd);
}

// A client that opens and closes the port many times while the server deals with the last
// hang-up is never missed: each one that asks is answered.
TEST_F(PtyServerIdleTest, AClientThatComesBackAtOnceIsAnswered) {
    for (int i = 0; i < 20; ++i) {
        const int fd = OpenPort(m_server.SlavePath());
        ASSERT_GE(fd, 0);
        EXPECT_GT(AskRoot(fd).size(), 5u) << "round " << i;
        ::close(fd);
    }
}

}  // namespace
