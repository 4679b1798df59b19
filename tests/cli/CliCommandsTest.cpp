// The commands of quorlin-cli in-process, against the simulated unit behind a link that can lose
// replies and key presses or lose the unit altogether: what each command prints and the exit
// status it returns when the unit's answer cannot be trusted.

#include <gmock/gmock.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "engine/NameTable.h"
#include "sim/ProgramText.h"
#include "sim/SimUnit.h"
#include "tests/cli/InProcessCliTest.h"
#include "tests/support/FaultLink.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

constexpr const char* kNoCommunication =
    "Unable to communicate with the unit.  Check your communication settings.";

using Outcome = CliOutcome;

class CliCommandsTest : public CInProcessCliTest {
protected:
    CliCommandsTest() {
        m_dir = fs::temp_directory_path() /
                ("quorlin-cli-commands-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    ~CliCommandsTest() override { fs::remove_all(m_dir); }

    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path m_dir;
};

bool IsQuery(const std::string& frame, const std::string& text) {
    return CFaultLink::QueryText(frame) == text;
}

// The unit's deletable list object, its program list object and its bank list object.
const std::string kDeleteListQuery = "2D 0";
const std::string kProgramListQuery = "2C 0";
const std::string kBankListQuery = "2B 0";

TEST_F(CliCommandsTest, ListingsThatCannotBeReadFailInsteadOfLookingEmpty) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::function<void(CFaultLink&)> arrange;
        std::string message;
    } cases[] = {
        {"programs, deletable list lost",
         {"programs", "10"},
         [](CFaultLink& f) {
             f.loseReply = [](const auto& fr) { return IsQuery(fr, kDeleteListQuery); };
         },
         kNoCommunication},
        {"backup, deletable list lost",
         {"backup", "10", ""},
         [](CFaultLink& f) {
             f.loseReply = [](const auto& fr) { return IsQuery(fr, kDeleteListQuery); };
         },
         kNoCommunication},
        {"programs, program list not a list",
         {"programs", "10"},
         [](CFaultLink& f) {
             f.editReply = [](const auto& fr, std::string& reply) {
                 if (IsQuery(fr, kProgramListQuery))
                     reply = std::string("\xF0\x1C\x70\x00", 4) + "busy";
             };
         },
         "Cannot read the programs of bank 10."},
        {"banks, bank list not a list",
         {"banks"},
         [](CFaultLink& f) {
             f.editReply = [](const auto& fr, std::string& reply) {
                 if (IsQuery(fr, kBankListQuery))
                     reply = std::string("\xF0\x1C\x70\x00", 4) + "busy";
             };
         },
         "Cannot read the bank list of the unit."},
    };
    for (auto& c : cases) {
        if (c.args[0] == "backup") c.args[2] = m_dir.string();
        arrange = c.arrange;
        const Outcome r = Run(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.what;
        EXPECT_EQ(r.out, "") << c.what;
        EXPECT_EQ(r.err, c.message + "\n") << c.what;
        EXPECT_TRUE(Files().empty()) << c.what;
    }

    // A bank without programs is still a list: an empty one.
    arrange = {};
    ASSERT_TRUE(unit.AddBank(30, "Empty"));
    const Outcome r = Run({"programs", "30"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliCommandsTest, ProgramsNumberedOutsideTheMidiRangeAreLeftOutOfListAndBackup) {
    arrange = [](CFaultLink& f) {
        f.editReply = [](const auto& fr, std::string& reply) {
            if (IsQuery(fr, kProgramListQuery) || IsQuery(fr, kDeleteListQuery))
                reply.insert(reply.rfind('\n'), " '200 Stray' '-5 Under'");
        };
    };
    Outcome r = Run({"programs", "10"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "U 0 Vocal Plate\nU 1 Guitar Wash\nU 3 Snare Room\n");
    EXPECT_THAT(r.err, HasSubstr("left out: \"200 Stray\", \"-5 Under\""));

    r = Run({"backup", "10", m_dir.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(Files(), ::testing::UnorderedElementsAre("Vocal Plate.sig", "Guitar Wash.sig",
                                                         "Snare Room.sig"));
}

// The unit's 8-bit names are printed, and name the backup's files, as UTF-8 text, as the desktop
// program shows them; the files hold the unit's bytes unchanged.
TEST_F(CliCommandsTest, TheUnitsEightBitNamesArePrintedAndStoredAsUtf8) {
    const std::string text = sim::MakeProgramText("Caf\xE9", "Plate", 20, {"Bar \xE9t\xE9"});
    ASSERT_TRUE(unit.AddBank(30, "Caf\xE9"));
    ASSERT_TRUE(unit.AddProgram(30, 0, text, true));
    Outcome r = Run({"banks"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\n30 Caf\xC3\xA9\n"));
    r = Run({"programs", "30"});
    EXPECT_EQ(r.out, "U 0 Caf\xC3\xA9\n");
    r = Run({"info", "30", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Bar \xC3\xA9t\xC3\xA9"));
    r = Run({"backup", "30", m_dir.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Files(), std::vector<std::string>{"Caf\xC3\xA9.sig"});
    std::ifstream file(m_dir / "Caf\xC3\xA9.sig", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), text);
}

// 4294967303 is 2^32 + 7: wrapped to 32 bits it would read as bank 7.
TEST_F(CliCommandsTest, AnOverlongBankNumberIsNotTakenForAnotherBank) {
    arrange = [](CFaultLink& f) {
        f.editReply = [](const auto& fr, std::string& reply) {
            if (IsQuery(fr, kBankListQuery)) reply.insert(reply.rfind('\n'), " '4294967303 Wrap'");
        };
    };
    const Outcome r = Run({"programs", "7"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The unit has no bank 7.\n");
}

// "15" (no blank) and "7a Seven" (not a run of digits) have no number: they are listed, and no
// command takes them for bank 15 or 7.
TEST_F(CliCommandsTest, EntriesWithoutANumberAreListedButNeverActedOn) {
    arrange = [](CFaultLink& f) {
        f.editReply = [](const auto& fr, std::string& reply) {
            if (IsQuery(fr, kBankListQuery)) reply.insert(reply.rfind('\n'), " '15' '7a Seven'");
        };
    };
    Outcome r = Run({"banks"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\n15\n7a Seven\n"));
    for (const char* bank : {"15", "7"}) {
        r = Run({"programs", bank});
        EXPECT_EQ(r.exitCode, 1) << bank;
        EXPECT_EQ(r.out, "") << bank;
        EXPECT_EQ(r.err, std::string("The unit has no bank ") + bank + ".\n");
    }
}

// The unit vanishes in the middle of a key sequence: the command stops there (no further key is
// offered to the link) and fails with one message, instead of going on for many seconds and
// reporting success.
TEST_F(CliCommandsTest, KeySequencesStopWhenTheUnitIsGone) {
    ASSERT_TRUE(unit.AddBank(30, "Empty"));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {{{"delete-bank", "30"}, kNoCommunication},
                 {{"name-bank", "30", "Renamed"}, kNoCommunication},
                 // Fetched, keys, the list again: the unit gone in the middle is told as lost.
                 {{"delete", "10", "1"}, "The connection to the unit was lost."}};
    for (const auto& c : cases) {
        arrange = [](CFaultLink& f) {
            auto keys = std::make_shared<int>(0);
            f.goneAfterFrame = [keys](const std::string& frame) {
                return CFaultLink::IsKey(frame) && ++*keys == 2;
            };
        };
        const Outcome r = Run(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.args[0];
        EXPECT_EQ(r.out, "") << c.args[0];
        EXPECT_EQ(r.err, c.message + "\n") << c.args[0];
        EXPECT_EQ(sendsAfterGone, 0) << c.args[0];
    }
    const auto banks = unit.Banks();
    EXPECT_TRUE(std::any_of(banks.begin(), banks.end(),
                            [](const auto& b) { return b.number == 30 && b.name == "Empty"; }));
}

// Key presses are never acknowledged: after the sequence the commands read the bank list (a
// program delete: the bank's program list) again.
TEST_F(CliCommandsTest, BankEditsAreCheckedAgainstTheUnitsList) {
    ASSERT_TRUE(unit.AddBank(30, "Empty"));

    // Key presses that never reach the unit.
    arrange = [](CFaultLink& f) { f.loseSend = &CFaultLink::IsKey; };
    Outcome r = Run({"delete-bank", "30"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "The unit did not delete bank 30: it still lists \"30 Empty\".\n");
    r = Run({"name-bank", "31", "Ab"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "The unit did not name bank 31 \"Ab\": it lists no bank 31.\n");
    r = Run({"name-bank", "30", "Ab"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "The unit did not name bank 30 \"Ab\": it lists \"30 Empty\".\n");
    r = Run({"delete", "10", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "The unit did not delete program 1 of bank 10: it still lists \"1 Guitar "
                     "Wash\".\n");

    // The list read after the sequence is lost: no verdict, so no success.
    arrange = [](CFaultLink& f) {
        auto queries = std::make_shared<int>(0);
        f.loseReply = [queries](const std::string& frame) {
            return IsQuery(frame, kBankListQuery) && ++*queries == 2;
        };
    };
    r = Run({"name-bank", "30", "Ab"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, std::string(kNoCommunication) + "\n");

    // Followed by the unit.
    arrange = {};
    r = Run({"name-bank", "30", "Ab"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = Run({"delete-bank", "30"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = Run({"banks"});
    EXPECT_THAT(r.out, Not(HasSubstr("30 ")));
}

bool IsProgramChange(const std::string& frame) {
    return frame.size() == 2 && (static_cast<unsigned char>(frame[0]) & 0xF0) == 0xC0;
}
bool IsProgramRequest(const std::string& frame) {
    return frame.size() == 6 && static_cast<unsigned char>(frame[4]) == 0x0B;
}

std::string UnitText(const CSimUnit& unit, int bank, int program) {
    for (const auto& p : unit.Programs(bank))
        if (p.number == program) return p.text;
    return {};
}

// A unit that does not follow the program change (here: it listens on another MIDI channel)
// still answers the program request, with the program it runs: "Big Hall" of bank 0. Nothing
// is written or printed as the program asked for; each program is asked for twice.
TEST_F(CliCommandsTest, AProgramTheUnitDidNotChangeToIsNeitherWrittenNorShown) {
    const auto sent = [](const std::string& listed) {
        return "the unit sent \"Big Hall\" instead of \"" + listed + "\".\n";
    };
    struct Case {
        std::vector<std::string> args;
        std::string err;
        int requests;  // program requests: two per program
    };
    const std::string file = (m_dir / "plate.sig").string();
    const Case cases[] = {
        {{"backup", "10", m_dir.string()},
         "Skipped 0 Vocal Plate: " + sent("Vocal Plate") + "Skipped 1 Guitar Wash: " +
             sent("Guitar Wash") + "Skipped 3 Snare Room: " + sent("Snare Room"),
         6},
        {{"fetch", "10", "0", file},
         "Cannot fetch program 0 of bank 10: " + sent("Vocal Plate"),
         2},
        {{"fetch", "10", "3", "-"}, "Cannot fetch program 3 of bank 10: " + sent("Snare Room"), 2},
        {{"info", "10", "1"},
         "Cannot show the information of program 1 of bank 10: " + sent("Guitar Wash"),
         2},
    };
    unit.SetReceiveChannel(5);  // the commands send on channel 1 (0)
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        int requests = 0;
        arrange = [&requests](CFaultLink& f) {
            f.loseReply = [&requests](const std::string& frame) {
                requests += IsProgramRequest(frame) ? 1 : 0;
                return false;
            };
        };
        const Outcome r = Run(c.args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(requests, c.requests);
        EXPECT_TRUE(Files().empty());
    }
}

// A program change lost once: the second ask brings the right program, and the command succeeds.
TEST_F(CliCommandsTest, AProgramChangeLostOnceIsSentAgain) {
    arrange = [](CFaultLink& f) {
        auto seen = std::make_shared<std::set<int>>();
        f.loseSend = [seen](const std::string& frame) {
            return IsProgramChange(frame) && seen->insert(frame[1]).second;
        };
    };
    const auto written = [this](const std::string& name) {
        std::ifstream in(m_dir / name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    Outcome r = Run({"backup", "10", m_dir.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(written("Vocal Plate.sig"), UnitText(unit, 10, 0));
    EXPECT_EQ(written("Guitar Wash.sig"), UnitText(unit, 10, 1));
    EXPECT_EQ(written("Snare Room.sig"), UnitText(unit, 10, 3));

    r = Run({"fetch", "10", "1", (m_dir / "fetched.sig").string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(written("fetched.sig"), UnitText(unit, 10, 1));

    r = Run({"info", "10", "3"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Short room for the snare only."));
    EXPECT_EQ(r.err, "");
}

// load reads and checks the file before it asks the unit anything: a file holding a byte that
// would end its load frame early is refused with no frame sent at all.
TEST_F(CliCommandsTest, LoadRefusesAFileThatWouldBreakItsFrameBeforeTheUnitIsAsked) {
    const fs::path file = m_dir / "broken.sig";
    std::ofstream(file, std::ios::binary) << "preset \"Broken\"\n\xF7\x03\x00\x0A";
    const Outcome r = Run({"load", "10", file.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(sends, 0) << "the unit was asked";
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The patch file \"" + file.string() +
                         "\" cannot be sent to the unit: the byte 0xF7 at offset 16 would end the "
                         "transfer early; the file is damaged or is not a program of the unit.\n");
}

TEST_F(CliCommandsTest, BankNamesLongerThanTheLimitAreAUsageError) {
    ASSERT_EQ(nametable::kMaxNameLength, 79u);
    const Outcome r = Run({"name-bank", "30", std::string(80, 'A')});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "NAME holds at most 79 characters, not 80");
    EXPECT_EQ(inner.OpenCount(), 0);

    std::string error;
    const auto options = CliOptions::Parse({"name-bank", "30", std::string(79, 'A')}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->text, std::string(79, 'A'));
}

TEST_F(CliCommandsTest, ABankNameWithoutACharacterIsAUsageError) {
    for (const std::string name : {"", " ", "   "}) {
        SCOPED_TRACE("\"" + name + "\"");
        const Outcome r = Run({"name-bank", "30", name});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, "NAME must hold at least one character other than a blank");
        EXPECT_EQ(inner.OpenCount(), 0);
    }
    std::string error;
    const auto options = CliOptions::Parse({"name-bank", "30", " A "}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->text, " A ");
}

}  // namespace
