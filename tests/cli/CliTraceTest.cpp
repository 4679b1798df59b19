// What quorlin-cli records of the traffic, end to end against the simulated unit over the real
// serial link (quorlin-sim on a pseudo-terminal) and the real MIDI link (a JACK route): the
// --trace lines of a run are the frames the unit took and the replies it sent, in order, none
// lost, each with its description and every byte; --verbose keeps them in the log file. A trace
// file that is a link is refused, one that cannot be written fails the run once, and each line is
// in the file as soon as its frame has passed.

#include <gmock/gmock.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/cli/CliFixture.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

struct TraceLine {
    double ms = 0;
    std::string direction;
    std::string description;
    std::string bytes;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines of a trace; a line of any other shape fails the test.
std::vector<TraceLine> ParseTrace(const std::string& text) {
    static const std::regex kLine(
        R"(^(\d+\.\d{3})\t(->|<-)\t([^\t]+)\t((?:[0-9A-F]{2})(?: [0-9A-F]{2})*)$)");
    std::vector<TraceLine> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, kLine)) {
            ADD_FAILURE() << "not a trace line: " << line;
            continue;
        }
        TraceLine t;
        t.ms = std::stod(m[1]);
        t.direction = m[2];
        t.description = m[3];
        std::istringstream hex(m[4].str());
        for (std::string byte; hex >> byte;)
            t.bytes.push_back(static_cast<char>(std::stoi(byte, nullptr, 16)));
        lines.push_back(t);
    }
    return lines;
}

}  // namespace

class CliTraceTest : public CliEndToEndTest {
protected:
    // The unit's record of the traffic, once it holds `count` frames (its log may lag the run a
    // little), bounded.
    IUnitTransport::Traffic UnitTrafficOf(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        IUnitTransport::Traffic traffic = m_pTransport->UnitTraffic();
        while (traffic.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            traffic = m_pTransport->UnitTraffic();
        }
        return traffic;
    }
};

TEST_P(CliTraceTest, TheTraceOfBanksIsTheTrafficTheUnitSawInOrder) {
    const std::string tracePath = Path("banks.trace");
    const CliResult r = Run({"--trace", tracePath, "banks"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("0 Halls\n"));

    const std::vector<TraceLine> trace = ParseTrace(ReadFile(tracePath));
    ASSERT_GE(trace.size(), 4u);  // the root, then the key chain to the bank list, each answered
    const IUnitTransport::Traffic unit = UnitTrafficOf(trace.size());
    ASSERT_EQ(unit.size(), trace.size());
    for (std::size_t i = 0; i < trace.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i) + ": " + trace[i].description);
        EXPECT_EQ(trace[i].direction, unit[i].direction == '>' ? "->" : "<-");
        EXPECT_EQ(trace[i].bytes.size(), unit[i].length);
        EXPECT_EQ(trace[i].bytes.substr(0, unit[i].bytes.size()), unit[i].bytes);
        if (i > 0) {
            EXPECT_GE(trace[i].ms, trace[i - 1].ms);
        }
        // The unit's reply keeps its end byte in the trace, on either link.
        EXPECT_EQ(static_cast<unsigned char>(trace[i].bytes.back()), 0xF7);
        if (trace[i].direction == "<-") {
            EXPECT_EQ(trace[i].description,
                      "REPLY " + std::to_string(trace[i].bytes.size()) + " bytes");
        } else {
            EXPECT_THAT(trace[i].description, ::testing::StartsWith("QUERY "));
        }
    }
    EXPECT_EQ(trace.front().description, "QUERY 0 flags 0");
}

INSTANTIATE_TEST_SUITE_P(Transports, CliTraceTest,
                         ::testing::Values(TransportKind::Serial, TransportKind::MIDI),
                         TransportName);

class CliTraceSerialTest : public CliTraceTest {};

TEST_P(CliTraceSerialTest, TraceToStderrAndTheLogFile) {
    // "-": the lines go to stderr, among the messages.
    CliResult r = Run({"--trace", "-", "programs", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.err,
                HasSubstr("\t->\tBANK SELECT bank 0 DSP A\tF0 1C 70 00 03 00 00 00 00 00 01 F7\n"));
    EXPECT_THAT(r.err, HasSubstr("\t->\tQUERY 0 flags 0\tF0 1C 70 00 31 30 20 30 F7\n"));

    // A trace file that cannot be written ends the run before it talks to the unit.
    const std::size_t before = m_pTransport->UnitTraffic().size();
    r = Run({"--trace", Path("no/such/folder/trace.txt"), "banks"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr("cannot write the trace file"));
    EXPECT_EQ(m_pTransport->UnitTraffic().size(), before);

    // --verbose: the frames and the messages go to the log file in the user's data folder (the
    // child's XDG_DATA_HOME is the folder "data" of its configuration folder: CliRun.h).
    const fs::path data = fs::path(m_sandbox.ConfigHome()) / "data";
    r = Run({"--verbose", "programs", "7"});
    EXPECT_EQ(r.exitCode, 1);
    const fs::path log = data / "Brisca" / "Quorlin" / "log" / "quorlin-cli.log";
    EXPECT_THAT(r.err, HasSubstr("logging to " + log.string()));
    const std::string logged = ReadFile(log.string());
    EXPECT_THAT(logged, HasSubstr("\t->\tQUERY 0 flags 0\t"));
    EXPECT_THAT(logged, HasSubstr("\t<-\tREPLY "));
    EXPECT_THAT(logged, HasSubstr("message: The unit has no bank 7."));
}

TEST_P(CliTraceSerialTest, ATraceThatIsALinkOrCannotBeWrittenFailsTheRun) {
    // A link is refused, as fetch refuses one, before the unit is asked anything; what it
    // points to is left alone.
    CCliSandbox::WriteFile(Path("elsewhere.txt"), "kept");
    fs::create_symlink(Path("elsewhere.txt"), Path("link.trace"));
    const std::size_t before = m_pTransport->UnitTraffic().size();
    CliResult r = Run({"--trace", Path("link.trace"), "banks"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "quorlin-cli: cannot write the trace file " + Path("link.trace") +
                         ": it is a symbolic link; links are not followed\n");
    EXPECT_EQ(CCliSandbox::ReadFile(Path("elsewhere.txt")), "kept");
    EXPECT_EQ(m_pTransport->UnitTraffic().size(), before);

    // A trace that cannot be written is said once; the command does its work and ends with 1.
    r = Run({"--trace", "/dev/full", "banks"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.out, HasSubstr("0 Halls\n"));
    EXPECT_EQ(r.err,
              "quorlin-cli: cannot write the trace file /dev/full: No space left on device\n");
}

INSTANTIATE_TEST_SUITE_P(Transports, CliTraceSerialTest, ::testing::Values(TransportKind::Serial),
                         TransportName);

TEST(CliTraceFileTest, EachLineIsInTheFileOnceItsFrameHasPassed) {
    // A unit that never answers: the run waits for its first reply while the test looks at the
    // trace file, then ends it as a second Ctrl-C during a backup would.
    CCliSandbox sandbox;
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const std::string tracePath = (sandbox.Dir() / "run.trace").string();
    CCliChild cli({"--serial", name, "--trace", tracePath, "banks"}, sandbox.ConfigHome());
    pollfd ready = {master, POLLIN, 0};
    char sink[64];
    const bool asked = ::poll(&ready, 1, 20000) == 1 && ::read(master, sink, sizeof sink) > 0;
    // The query's line shows while the run still waits (well within the five seconds it waits).
    std::string trace;
    for (int i = 0; asked && i < 150 && trace.find('\n') == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        trace = ReadFile(tracePath);
    }
    cli.Signal(SIGINT);
    const CliResult r = cli.Finish();
    ::close(master);
    ::close(slave);
    ASSERT_TRUE(asked) << r.err;
    EXPECT_EQ(r.signal, SIGINT) << r.err;
    EXPECT_THAT(trace, HasSubstr("\t->\tQUERY 0 flags 0\tF0 1C 70 00 31 30 20 30 F7\n"));
    EXPECT_EQ(ReadFile(tracePath), trace) << "a line written before the signal was lost";
}
