// quorlin-cli doctor end to end: the program as a child process against the simulated unit
// (quorlin-sim over a pseudo-terminal, and a JACK route), against ports that do not lead to a
// unit, one that another process holds and one this user may not open.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "link/midi/MIDIPortNames.h"
#include "sim/SimUnit.h"
#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"
#include "tests/cli/SimServerProcess.h"
#include "tests/link/midi/JackPeer.h"
#include "tests/link/midi/JackServer.h"
#include "tests/support/PtyPeer.h"

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A pseudo-terminal whose far side this test holds and never answers on.
struct SilentPort {
    SilentPort() {
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
    }
    ~SilentPort() {
        for (int fd : {master, slave})
            if (fd >= 0) ::close(fd);
    }
    int master = -1;
    int slave = -1;
    std::string path;
};

class CliDoctorTest : public ::testing::Test {
protected:
    CliResult Doctor(std::vector<std::string> args, const CliLaunch& launch = {}) {
        args.push_back("doctor");
        const auto before = m_sandbox.ReadSettings();
        CliResult r = RunCli(args, m_sandbox.ConfigHome(), launch);
        EXPECT_EQ(m_sandbox.ReadSettings(), before) << "the saved settings changed";
        return r;
    }
    CCliSandbox m_sandbox;
};

TEST_F(CliDoctorTest, AHealthyUnitPassesEveryCheck) {
    CSimServerProcess sim({});
    ASSERT_FALSE(sim.Path().empty());
    const CliResult r = Doctor({"--serial", sim.Path()});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_THAT(Lines(r.out),
                ElementsAre("ok port " + sim.Path() + " - exists and is a terminal device",
                            StartsWith("ok open " + sim.Path() + " - "),
                            "ok line settings - 38400 baud, parity n, 8 data bits, 2 stop bits "
                            "accepted",
                            AllOf(StartsWith("ok unit answers - root query answered in "),
                                  HasSubstr(" at 38400 baud"))));
    EXPECT_EQ(r.err, "");
}

TEST_F(CliDoctorTest, APathThatIsNoPortFailsTheFirstCheck) {
    const std::string file = (m_sandbox.Dir() / "file").string();
    CCliSandbox::WriteFile(file, "not a port");
    const std::string missing = (m_sandbox.Dir() / "no-such-tty").string();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {missing, "FAIL port " + missing + " - No such file or directory"},
        {file, "FAIL port " + file + " - a regular file, not a terminal device"},
        {m_sandbox.Dir().string(),
         "FAIL port " + m_sandbox.Dir().string() + " - a folder, not a terminal device"},
        {"/dev/null", "FAIL port /dev/null - a device that is not a terminal"},
    };
    for (const auto& [path, line] : cases) {
        SCOPED_TRACE(path);
        const CliResult r = Doctor({"--serial", path});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_THAT(Lines(r.out), ElementsAre(line));
    }
    EXPECT_EQ(CCliSandbox::ReadFile(file), "not a port");
}

TEST_F(CliDoctorTest, APortHeldByAnotherProgramNamesThatProcess) {
    SilentPort port;
    ASSERT_FALSE(port.path.empty());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        // The other program: takes the port's lock as the serial link would, then waits.
        const int fd = ::open(port.path.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) ::_exit(1);
        (void)!::write(ready[1], "x", 1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char byte = 0;
    const bool holds = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    CliResult r;
    if (holds) r = Doctor({"--serial", port.path});
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_TRUE(holds) << "the holding process could not lock the port";

    EXPECT_EQ(r.exitCode, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_THAT(lines[1], AllOf(StartsWith("FAIL open " + port.path +
                                           " - another program holds the port: "),
                                HasSubstr("(process " + std::to_string(holder) + ")")));
}

TEST_F(CliDoctorTest, APortThisUserMayNotOpenNamesItsGroupAndTheRemedy) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand the port to another group";
    SilentPort port;
    ASSERT_FALSE(port.path.empty());
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr) GTEST_SKIP() << "no group dialout";
    ASSERT_EQ(::fchown(port.slave, 0, dialout->gr_gid), 0);
    ASSERT_EQ(::fchmod(port.slave, 0660), 0);
    // The sandbox must be reachable by nobody (its settings file is not there: that is fine).
    std::filesystem::permissions(m_sandbox.Dir(), std::filesystem::perms::owner_all |
                                                      std::filesystem::perms::others_exec);
    CliLaunch nobody;
    nobody.wrapper = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const CliResult r = Doctor({"--serial", port.path}, nobody);
    if (r.exitCode != 0 && r.out.empty() && r.err.find("setpriv") != std::string::npos)
        GTEST_SKIP() << "cannot run as nobody: " << r.err;
    EXPECT_EQ(r.exitCode, 1);
    const std::string user = "nobody";
    EXPECT_THAT(Lines(r.out),
                ElementsAre("ok port " + port.path + " - exists and is a terminal device",
                            "FAIL open " + port.path +
                                " - Permission denied: the port belongs to group dialout; add " +
                                user + " to that group (sudo usermod -aG dialout " + user +
                                ") and log in again"))
        << r.err;
}

TEST_F(CliDoctorTest, ASilentPeerFailsAtEverySpeed) {
    SilentPort port;
    ASSERT_FALSE(port.path.empty());
    const CliResult r = Doctor({"--serial", port.path});
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[3], "FAIL unit answers - no answer to the root query within 5000 ms at "
                        "38400 baud");
    EXPECT_THAT(lines[4], StartsWith("FAIL other speeds - no answer at 2400, 4800, 9600, 19200, "
                                     "57600, 115200 baud either"));
}

TEST_F(CliDoctorTest, ALineThatEchoesOrFloodsIsNamedNotTakenForTheUnit) {
    struct Case {
        const char* name;
        CPtyPeer::Mode mode;
        const char* line;
    };
    const Case cases[] = {
        {"loopback", CPtyPeer::Mode::Echo,
         "FAIL unit answers - the line echoes what is sent (a loopback or a mis-wired cable)"},
        {"flood", CPtyPeer::Mode::Flood,
         "FAIL unit answers - the line sends a flood of data that is not the unit's ("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPtyPeer peer(c.mode);
        ASSERT_FALSE(peer.Path().empty());
        const CliResult r = Doctor({"--serial", peer.Path()});
        EXPECT_EQ(r.exitCode, 1);
        // No other speed is tried: it would not help.
        const auto lines = Lines(r.out);
        ASSERT_EQ(lines.size(), 4u) << r.out;
        EXPECT_THAT(lines[3], StartsWith(c.line));
    }
}

TEST_F(CliDoctorTest, AUnitAtAnotherLineSpeedIsFoundThere) {
    CSimServerProcess sim({"--line-rate", "9600", "--own-speed-only"});
    ASSERT_FALSE(sim.Path().empty());
    CliResult r = Doctor({"--serial", sim.Path()});
    EXPECT_EQ(r.exitCode, 1);
    auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[3], "FAIL unit answers - no answer to the root query within 5000 ms at "
                        "38400 baud");
    EXPECT_EQ(lines[4], "FAIL other speeds - the unit answers at 9600 baud: set the speed to "
                        "9600 (or the unit's to 38400)");

    r = Doctor({"--serial", sim.Path(), "--baud", "9600"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_THAT(lines[3], AllOf(StartsWith("ok unit answers - "), HasSubstr("at 9600 baud")));
}

TEST_F(CliDoctorTest, TheDemoUnitAnswers) {
    const CliResult r = Doctor({"--demo"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_THAT(Lines(r.out), ElementsAre("ok open - the demo unit",
                                          StartsWith("ok unit answers - root query answered")));
}

// The unit behind a JACK route, its current program a long one.
class CliDoctorMidiTest : public CliDoctorTest {
protected:
    void SetUp() override {
        if (!m_server.Start()) GTEST_SKIP() << "no JACK server: " << m_server.Why();
        m_peer.Start();
        m_peer.SetResponder([this](const CJackPeer::Bytes& frame) {
            std::lock_guard lock(m_mutex);
            std::vector<CJackPeer::Bytes> replies;
            for (const std::string& r :
                 m_unit.HandleFrame(std::string(frame.begin(), frame.end()), ++m_nClockMs))
                replies.emplace_back(r.begin(), r.end());
            return replies;
        });
        // A program of 4 KiB, loaded into the unit, where it becomes the current one.
        std::string text = "preset \"Long One\"\n";
        while (text.size() < 4096) text += "info a line of the long program's information\n";
        m_unit.HandleFrame(std::string("\xF0\x1C\x70\x00\x0A", 5) + text + "\xF7", 0);
        m_nIn = Index(midi::InputPortNames(), CJackPeer::kOutputPort);
        m_nOut = Index(midi::OutputPortNames(), CJackPeer::kInputPort);
        ASSERT_GE(m_nIn, 0);
        ASSERT_GE(m_nOut, 0);
    }
    void TearDown() override {
        m_peer.Stop();
        m_server.Stop();
    }
    static int Index(const std::vector<std::string>& names, const std::string& name) {
        const auto it = std::find(names.begin(), names.end(), name);
        return it == names.end() ? -1 : static_cast<int>(it - names.begin());
    }

    CJackServer m_server;
    CJackPeer m_peer;
    std::mutex m_mutex;
    CSimUnit m_unit;
    std::int64_t m_nClockMs = 0;
    int m_nIn = -1;
    int m_nOut = -1;
};

TEST_F(CliDoctorMidiTest, AHealthyRouteCarriesTheLongReplyWhole) {
    const CliResult r = Doctor({"--midi-in", std::to_string(m_nIn), "--midi-out",
                                std::to_string(m_nOut)});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    EXPECT_EQ(lines[0], "ok MIDI input " + std::to_string(m_nIn) + " - exists: " +
                            CJackPeer::kOutputPort);
    EXPECT_EQ(lines[1], "ok MIDI output " + std::to_string(m_nOut) + " - exists: " +
                            CJackPeer::kInputPort);
    EXPECT_EQ(lines[2], "ok open MIDI devices - input and output opened");
    EXPECT_THAT(lines[3], StartsWith("ok unit answers - root query answered in "));
    EXPECT_THAT(lines[4], AllOf(StartsWith("ok long sysex - the current program's reply of "),
                                ::testing::ContainsRegex("reply of 4[0-9][0-9][0-9] bytes arrived whole"),
                                HasSubstr("the route carries frames of up to 16379 bytes")));
}

TEST_F(CliDoctorMidiTest, ARouteThatEchoesIsNamedNotTakenForTheUnit) {
    // A MIDI thru or a loopback: every frame comes back as it was sent.
    m_peer.SetResponder(
        [](const CJackPeer::Bytes& frame) { return std::vector<CJackPeer::Bytes>{frame}; });
    const CliResult r = Doctor({"--midi-in", std::to_string(m_nIn), "--midi-out",
                                std::to_string(m_nOut)});
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_THAT(lines[3], StartsWith("FAIL unit answers - the line echoes what is sent (a "
                                     "loopback or a mis-wired cable)"));
}

TEST_F(CliDoctorMidiTest, MissingDevicesAreNamedWithTheOnesThatExist) {
    const CliResult r = Doctor({"--midi-in", "99", "--midi-out", std::to_string(m_nOut)});
    EXPECT_EQ(r.exitCode, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_THAT(lines[0], AllOf(StartsWith("FAIL MIDI input 99 - no such device; the inputs are"),
                                HasSubstr(std::to_string(m_nIn) + ": " + CJackPeer::kOutputPort)));
    EXPECT_THAT(lines[1], StartsWith("ok MIDI output "));
}

}  // namespace
