// quorlin-cli end to end: the program as a child process against the simulated unit, over the
// real serial link (a pseudo-terminal served by quorlin-sim) and over the real MIDI link (a JACK
// route with the unit behind a peer). Each flow runs on both; every run also checks that the
// saved settings are left as they were.

#include <gmock/gmock.h>

#include <filesystem>

#include "tests/cli/CliFixture.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr const char* kBanks =
    "0 Halls\n1 Rooms\n2 Delays\n3 Pitch\n4 Modulation\n5 Dynamics\n6 Multi\n10 Mine\n12 Live\n"
    "20 Jo's Scratch\n";
constexpr const char* kBank0 =
    "F 0 Big Hall\nF 1 Small Hall\nF 2 Church\nF 3 Plate Hall\nU 5 Mike's Plate\nU 6 My Hall\n";
constexpr const char* kMikesPlateInfo =
    "Short bright plate for lead vocals. Mix: 20% wet, algorithm Plate. Knob 1 sets the time, "
    "knob 2 the tone.\n";
constexpr const char* kNoCommunication =
    "Unable to communicate with the unit.  Check your communication settings.";

}  // namespace

TEST_P(CliEndToEndTest, BanksAndProgramsAreListed) {
    CliResult r = Run({"banks"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kBanks);
    EXPECT_THAT(r.err, Not(HasSubstr(kNoCommunication)));

    r = Run({"programs", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kBank0);

    r = Run({"programs", "12"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "U 0 Stage Verb\nU 1 Monitor Slap\n");

    // A number the unit has no bank for.
    r = Run({"programs", "7"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("The unit has no bank 7."));
}

TEST_P(CliEndToEndTest, InfoLoadsTheProgramAndPrintsItsText) {
    CliResult r = Run({"info", "0", "5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kMikesPlateInfo);

    r = Run({"info", "12", "1"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "There is no information available for the selected program\n");

    // DSP B: the bank select, the program and the information all go to the second processor.
    r = Run({"--dsp", "B", "info", "1", "2"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::StartsWith("An echo chamber under the studio floor. "));

    r = Run({"info", "0", "4"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("The unit has no program 4 in bank 0."));
}

TEST_P(CliEndToEndTest, LoadStoresTheFileAsANewProgramAndFetchGivesItBack) {
    const std::string patch = "preset \"Test Lead\"\nalgorithm \"Delay\"\n";
    CCliSandbox::WriteFile(Path("lead.sig"), patch);

    CliResult r = Run({"load", "10", Path("lead.sig")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "2 Test Lead\n");

    r = Run({"programs", "10"});
    EXPECT_EQ(r.out, "U 0 Vocal Plate\nU 1 Guitar Wash\nU 2 Test Lead\nU 3 Snare Room\n");

    r = Run({"fetch", "10", "2", Path("back.sig")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    // Over MIDI the unit's closing 0xF7 is part of the program text.
    EXPECT_EQ(CCliSandbox::ReadFile(Path("back.sig")),
              GetParam() == TransportKind::MIDI ? patch + "\xF7" : patch);

    CCliSandbox::WriteFile(Path("lead.txt"), patch);
    r = Run({"load", "10", Path("lead.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("Only .sig files are currently supported"));
}

TEST_P(CliEndToEndTest, BackupWritesEveryUserProgramOfTheBank) {
    fs::create_directories(Path("backup"));
    CliResult r = Run({"backup", "10", Path("backup")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Path("backup") + "/Vocal Plate.sig\n" + Path("backup") + "/Guitar Wash.sig\n" +
                         Path("backup") + "/Snare Room.sig\n");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Path("backup")))
        names.push_back(entry.path().filename().string());
    EXPECT_THAT(names, ::testing::UnorderedElementsAre("Vocal Plate.sig", "Guitar Wash.sig",
                                                       "Snare Room.sig"));
    EXPECT_THAT(CCliSandbox::ReadFile(Path("backup") + "/Guitar Wash.sig"),
                HasSubstr("\"Guitar Wash\""));

    // The same program fetched on its own gives the same bytes.
    r = Run({"fetch", "10", "0", Path("vocal.sig")});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(CCliSandbox::ReadFile(Path("vocal.sig")),
              CCliSandbox::ReadFile(Path("backup") + "/Vocal Plate.sig"));
}

TEST_P(CliEndToEndTest, BackupReportsAProgramItCannotWriteAndGoesOn) {
    // A folder where the first file belongs: that program is skipped, the next one is written.
    fs::create_directories(Path("backup") + "/Mike's Plate.sig");
    CliResult r = Run({"backup", "0", Path("backup")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, Path("backup") + "/My Hall.sig\n");
    EXPECT_THAT(r.err, HasSubstr("Skipped 5 Mike's Plate: cannot write"));
    EXPECT_TRUE(fs::is_directory(Path("backup") + "/Mike's Plate.sig"));
    EXPECT_FALSE(fs::exists(Path("backup") + "/Mike's Plate.sig.part"));

    r = Run({"backup", "0", Path("no such folder")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("it is not a folder"));
}

TEST_P(CliEndToEndTest, DeleteRemovesAUserProgramAndRefusesAFactoryOne) {
    CliResult r = Run({"delete", "0", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Program 1 of bank 0 is a factory program"));

    r = Run({"delete", "0", "5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");

    r = Run({"programs", "0"});
    EXPECT_EQ(r.out, "F 0 Big Hall\nF 1 Small Hall\nF 2 Church\nF 3 Plate Hall\nU 6 My Hall\n");

    r = Run({"delete", "0", "5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("The unit has no program 5 in bank 0."));
}

TEST_P(CliEndToEndTest, BanksAreCreatedRenamedAndDeleted) {
    CliResult r = Run({"name-bank", "7", "Ab"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    r = Run({"banks"});
    EXPECT_THAT(r.out, HasSubstr("6 Multi\n7 Ab\n10 Mine\n"));

    // Renaming erases the old name on the unit before typing the new one.
    r = Run({"name-bank", "7", "Ba"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Run({"banks"});
    EXPECT_THAT(r.out, HasSubstr("6 Multi\n7 Ba\n10 Mine\n"));

    r = Run({"delete-bank", "7"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Run({"banks"});
    EXPECT_EQ(r.out, kBanks);

    r = Run({"delete-bank", "10"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Cannot delete bank.  This bank is not empty!"));
    r = Run({"delete-bank", "8"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("The unit has no bank 8."));
}

TEST_P(CliEndToEndTest, FindPrintsTheFirstMatchOrSaysItFoundNone) {
    CliResult r = Run({"find", "snare"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "10 Mine\t3 Snare Room\n");

    r = Run({"find", "HALL"});
    EXPECT_EQ(r.out, "0 Halls\t0 Big Hall\n");

    r = Run({"find", "no such name"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("Cannot find no such name"));
}

TEST_P(CliEndToEndTest, WithoutConnectionOptionsTheSavedConnectionIsUsed) {
    m_sandbox.WriteSettings(m_pTransport->SavedConnection("Channel=0\nBankChangeDevice=1\n"));
    CliResult r = RunSaved({"banks"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kBanks);
    EXPECT_EQ(r.err.find("Serial port properties"), std::string::npos) << r.err;

    r = RunSaved({"programs", "0"});
    EXPECT_EQ(r.out, kBank0);
}

INSTANTIATE_TEST_SUITE_P(Transports, CliEndToEndTest,
                         ::testing::Values(TransportKind::Serial, TransportKind::MIDI),
                         TransportName);

// The unit takes program changes on channel 6 only (5 counted from 0).
class CliChannelTest : public CliEndToEndTest {
protected:
    int ReceiveChannel() const override { return 5; }
};

TEST_P(CliChannelTest, ProgramChangesGoOutOnTheChosenOrSavedChannel) {
    // On channel 1 (the saved one) the unit ignores the change and keeps the program it runs:
    // its information is not passed off as the program's.
    CliResult r = Run({"info", "0", "5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Cannot show the information of program 5 of bank 0: the unit sent \"Big "
                     "Hall\" instead of \"Mike's Plate\".\n");

    r = Run({"--channel", "6", "info", "0", "5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kMikesPlateInfo);

    // The saved channel (stored counted from 0) stands when --channel is not given.
    m_sandbox.WriteSettings(m_pTransport->SavedConnection("Channel=5\nBankChangeDevice=1\n"));
    r = RunSaved({"info", "0", "6"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::StartsWith("Big Hall with the low end rolled off. "));
}

INSTANTIATE_TEST_SUITE_P(Transports, CliChannelTest,
                         ::testing::Values(TransportKind::Serial, TransportKind::MIDI),
                         TransportName);
