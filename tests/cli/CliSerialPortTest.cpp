// quorlin-cli on serial ports that do not lead to a unit, the first run without saved settings,
// the demo unit, a usage error, and the signals that end a run while it waits on the unit, each
// as a child process with its own config home.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"
#include "tests/cli/SimServerProcess.h"

using ::testing::HasSubstr;

namespace {

constexpr const char* kNoCommunication =
    "Unable to communicate with the unit.  Check your communication settings.";
std::string OpenFailed(const std::string& path) {
    return "Error opening serial port " + path + " - No such file or directory.";
}
// What a run over the saved connection says when no unit was chosen: how to choose one, and
// where the desktop program keeps the choice.
std::string NoUnitChosen(const std::string& settingsFile, const std::string& device) {
    return "No unit has been chosen: no serial line settings are saved.\n"
           "Choose one with --serial DEVICE (and --baud, --parity, --data, --stop), with "
           "--midi-in N --midi-out N, or try the simulated unit with --demo.\n"
           "The desktop program (quorlin) saves the unit chosen in Options | Communications "
           "Setup in " +
           settingsFile +
           "; quorlin-cli uses that choice when given none.\n"
           "This run tries the serial port " +
           device + " at 38400 baud.";
}

class CliSerialPortTest : public ::testing::Test {
protected:
    CliResult Run(const std::vector<std::string>& args) {
        const auto before = m_sandbox.ReadSettings();
        CliResult result = RunCli(args, m_sandbox.ConfigHome());
        EXPECT_EQ(m_sandbox.ReadSettings(), before) << "the saved settings changed";
        return result;
    }
    CCliSandbox m_sandbox;
};

TEST_F(CliSerialPortTest, AUnitThatNeverAnswersFailsWithTheEnginesMessage) {
    // A terminal nobody answers on: the first query waits out the link's 5 s and gives up.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    const CliResult r = Run({"--serial", name, "banks"});
    ::close(master);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr(kNoCommunication));
}

TEST_F(CliSerialPortTest, APortThatCannotBeOpenedFails) {
    const CliResult r =
        Run({"--serial", (m_sandbox.Dir() / "no-such-tty").string(), "programs", "0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, OpenFailed((m_sandbox.Dir() / "no-such-tty").string()) + "\n");
}

TEST_F(CliSerialPortTest, MissingSavedSerialSettingsAreReportedAndTheRunGoesOn) {
    // The device is saved, the line settings are not: how to choose a unit (not the desktop's
    // first-run request, which names a menu the command line does not have), then the saved
    // (absent) device is tried.
    const std::string device = (m_sandbox.Dir() / "no-such-tty").string();
    m_sandbox.WriteSettings("[SerialSetup]\nPortName=" + device + "\n");
    const CliResult r = Run({"banks"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, NoUnitChosen(m_sandbox.SettingsFile().string(), device) + "\n" +
                         OpenFailed(device) + "\n");
    EXPECT_THAT(r.err, ::testing::Not(HasSubstr("Serial port properties")));
}

TEST_F(CliSerialPortTest, TheConnectionCheckSaysHowToChooseAUnitAndTheDemoNeedsNoWord) {
    // The connection check over the saved connection says it too, once; a unit chosen on the
    // command line needs no explanation.
    const std::string device = (m_sandbox.Dir() / "no-such-tty").string();
    m_sandbox.WriteSettings("[SerialSetup]\nPortName=" + device + "\n");
    const CliResult doctor = Run({"doctor"});
    EXPECT_EQ(doctor.exitCode, 1);
    EXPECT_EQ(doctor.err, NoUnitChosen(m_sandbox.SettingsFile().string(), device) + "\n");
    EXPECT_THAT(doctor.out, HasSubstr("FAIL"));

    const CliResult demo = Run({"--demo", "banks"});
    EXPECT_EQ(demo.exitCode, 0) << demo.err;
    EXPECT_EQ(demo.err, "");
}

TEST_F(CliSerialPortTest, ARunOverTheSavedMIDIConnectionDoesNotAskForSerialSettings) {
    // MIDI is saved, the serial line is not: the serial link is not used, so its first-run
    // request is no business of this run. (No such MIDI devices: the run then fails.)
    m_sandbox.WriteSettings(
        "[Options]\nDeviceType=1\n[MIDISetup]\nInputDevice=9999\nOutputDevice=9999\n");
    const CliResult r = Run({"banks"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, ::testing::Not(HasSubstr("Serial port properties")));
}

TEST_F(CliSerialPortTest, ARunCreatesNoSettingsFile) {
    CliResult r = Run({"--demo", "banks"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(m_sandbox.ReadSettings().has_value());

    r = Run({"--serial", (m_sandbox.Dir() / "no-such-tty").string(), "banks"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(m_sandbox.ReadSettings().has_value());
}

TEST_F(CliSerialPortTest, TheDemoUnitAnswersEveryCommand) {
    CliResult r = Run({"--demo", "programs", "10"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "U 0 Vocal Plate\nU 1 Guitar Wash\nU 3 Snare Room\n");

    // Its pauses pass on the simulated clock, so even a bank name is quick; the unit still
    // checks that the keys come as far apart as the engine spaces them.
    r = Run({"--demo", "name-bank", "7", "Ab"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Run({"--demo", "delete", "10", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Run({"--demo", "find", "wash"});
    EXPECT_EQ(r.out, "10 Mine\t1 Guitar Wash\n");
}

// Whether two sets of terminal settings are the same in everything a port's user relies on.
bool SameLineSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b) && a.c_cc[VMIN] == b.c_cc[VMIN] &&
           a.c_cc[VTIME] == b.c_cc[VTIME];
}

// Reads from `fd` until something arrives; false when nothing did within a generous bound.
bool AwaitInput(int fd) {
    pollfd ready = {fd, POLLIN, 0};
    char sink[256];
    return ::poll(&ready, 1, 20000) == 1 && ::read(fd, sink, sizeof sink) > 0;
}

TEST_F(CliSerialPortTest, ASignalWhileTheUnitIsAwaitedPutsTheLineSettingsBack) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        int master = -1;
        int slave = -1;
        char name[256] = {};
        ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
        // A terminal as a user left it: another speed, line editing, echo.
        termios known{};
        ASSERT_EQ(::tcgetattr(slave, &known), 0);
        cfsetispeed(&known, B9600);
        cfsetospeed(&known, B9600);
        known.c_iflag |= ICRNL;
        known.c_lflag |= ECHO | ICANON | ISIG;
        ASSERT_EQ(::tcsetattr(slave, TCSANOW, &known), 0);
        termios before{};
        ASSERT_EQ(::tcgetattr(slave, &before), 0);

        // Nobody answers: the run waits for its first reply, with the port in raw mode.
        CCliChild cli({"--serial", name, "banks"}, m_sandbox.ConfigHome());
        ASSERT_TRUE(cli.Started());
        const bool asked = AwaitInput(master);
        termios during{};
        ::tcgetattr(slave, &during);
        cli.Signal(signal);
        const CliResult r = cli.Finish();
        termios after{};
        ::tcgetattr(slave, &after);
        ::close(master);
        ::close(slave);

        ASSERT_TRUE(asked) << "the run sent nothing: " << r.err;
        EXPECT_FALSE(SameLineSettings(before, during)) << "the run did not set the line up";
        EXPECT_EQ(r.signal, signal) << "exit " << r.exitCode << ": " << r.err;
        EXPECT_TRUE(SameLineSettings(before, after)) << "the line settings were not put back";
    }
}

int Occurrences(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(CliSerialPortTest, AHangUpInTheMiddleOfACommandIsReportedOnce) {
    // Commands that make many calls on the unit, each opening the port afresh; the unit goes away
    // after the first file.
    const std::string folder = (m_sandbox.Dir() / "out").string();
    const std::vector<std::vector<std::string>> commands = {
        {"backup", "10", folder},
        {"backup-unit", folder},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0]);
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        auto sim = std::make_unique<CSimServerProcess>(std::vector<std::string>{});
        ASSERT_FALSE(sim->Path().empty());
        std::vector<std::string> args = {"--serial", sim->Path()};
        args.insert(args.end(), command.begin(), command.end());
        CCliChild cli(args, m_sandbox.ConfigHome());
        const bool started = cli.WaitForLines(1);
        sim.reset();  // the unit's side of the line closes
        const CliResult r = cli.Finish();
        ASSERT_TRUE(started) << r.err;
        EXPECT_EQ(r.exitCode, 1);
        // Gone in a call (the warning) or between two (the port cannot be opened): said once.
        EXPECT_EQ(Occurrences(r.err, "WARNING:") + Occurrences(r.err, "Error opening serial port"),
                  1)
            << r.err;
    }
}

TEST_F(CliSerialPortTest, AUsageErrorPrintsTheUsageAndExitsWithTwo) {
    const CliResult r =
        Run({"--serial", "/dev/null", "--midi-in", "0", "--midi-out", "0", "banks"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, ::testing::StartsWith("quorlin-cli: "));
    EXPECT_THAT(r.err, HasSubstr("Usage: quorlin-cli"));
}

}  // namespace
