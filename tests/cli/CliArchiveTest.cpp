// The whole-unit commands of quorlin-cli in-process (backup-unit, verify, restore) against a small
// simulated unit behind a link that can lose replies and program changes, and the archive layer's
// cancel between programs.

#include <gmock/gmock.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "archive/BackupManifest.h"
#include "archive/UnitBackup.h"
#include "archive/UnitRestore.h"
#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "sim/ProgramText.h"
#include "sim/SimUnit.h"
#include "tests/cli/InProcessCliTest.h"
#include "tests/support/FaultLink.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

using Outcome = CliOutcome;

std::string ReadFile(const fs::path& path) {
    std::string data;
    std::string why;
    archive::ReadWholeFile(path.string(), data, why);
    return data;
}

void WriteFile(const fs::path& path, const std::string& data) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

QJsonObject Json(const fs::path& path) {
    const std::string text = ReadFile(path);
    return QJsonDocument::fromJson(QByteArray(text.data(), static_cast<qsizetype>(text.size())))
        .object();
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

bool IsProgramRequest(const std::string& frame) {
    return frame.size() == 6 && static_cast<unsigned char>(frame[4]) == 0x0B;
}
bool IsLoad(const std::string& frame) {
    return frame.size() > 5 && static_cast<unsigned char>(frame[4]) == 0x0A;
}
bool IsProgramChange(const std::string& frame, int program) {
    return frame.size() == 2 && (static_cast<unsigned char>(frame[0]) & 0xF0) == 0xC0 &&
           frame[1] == program;
}

// A unit that also lists what a bank select or a program change cannot reach: `banks` is added
// to its bank list, `programs` and `deletable` to the program and deletable lists of bank
// `bank` (each as the unit lists them: " '200 Stray'").
std::function<void(CFaultLink&)> UnitAlsoLists(const std::string& banks, int bank,
                                               const std::string& programs,
                                               const std::string& deletable) {
    auto selected = std::make_shared<int>(-1);
    return [=](CFaultLink& f) {
        f.loseSend = [selected](const std::string& frame) {
            if (frame.size() > 8 && static_cast<unsigned char>(frame[4]) == 0x03)
                *selected = frame[7] * 16 + frame[8];
            return false;
        };
        f.editReply = [=](const std::string& frame, std::string& reply) {
            const std::string query = CFaultLink::QueryText(frame);
            std::string extra;
            if (query == "2B 0") extra = banks;
            if (query == "2C 0" && *selected == bank) extra = programs;
            if (query == "2D 0" && *selected == bank) extra = deletable;
            if (!extra.empty()) reply.insert(reply.rfind('\n'), extra);
        };
    };
}

// The unit of these tests: bank 1 "Live" (a factory program, then "Lead", "lead" and "A/B"),
// bank 3 "Jo's Scratch" (two programs named "Pad"), bank 5 "Factory" (a factory program only).
struct SeedBank {
    int number;
    std::string name;
    std::vector<std::pair<std::string, bool>> programs;  // name, user; numbered from 0
};
const std::vector<SeedBank> kSeed = {
    {1, "Live", {{"Hall", false}, {"Lead", true}, {"lead", true}, {"A/B", true}}},
    {3, "Jo's Scratch", {{"Pad", true}, {"Pad", true}}},
    {5, "Factory", {{"Room", false}}},
};

class CliArchiveTest : public CInProcessCliTest {
protected:
    CliArchiveTest() {
        m_dir = fs::temp_directory_path() /
                ("quorlin-cli-archive-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        Seed(kSeed);
    }
    ~CliArchiveTest() override { fs::remove_all(m_dir); }

    void Seed(const std::vector<SeedBank>& banks) {
        unit.ClearBanks();
        for (const auto& bank : banks) {
            unit.AddBank(bank.number, bank.name);
            for (std::size_t i = 0; i < bank.programs.size(); ++i)
                unit.AddProgram(
                    bank.number, static_cast<int>(i),
                    sim::MakeProgramText(bank.programs[i].first, "Hall", 40, {"seeded"}),
                    bank.programs[i].second);
        }
    }

    // A backup of the seeded unit into Backup(); must succeed.
    void BackUp() {
        const Outcome r = Run({"backup-unit", Backup()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        arrange = nullptr;
    }
    std::string Backup() const { return (m_dir / "backup").string(); }
    fs::path Manifest() const { return m_dir / "backup" / "manifest.json"; }
    std::string TextOf(int bank, int program) const {
        for (const auto& p : unit.Programs(bank))
            if (p.number == program) return p.text;
        return {};
    }

    fs::path m_dir;
};

const char* const kOutOf127 =
    "its number is outside 0 to 127, which a program change cannot choose";
const char* const kOutOf99 = "its number is outside 0 to 99, which a bank select cannot reach";

const std::vector<std::string> kAllWritten = {
    "1\t1\t01 Live/Lead.sig", "1\t2\t01 Live/lead (2).sig", "1\t3\t01 Live/A_B.sig",
    "3\t0\t03 Jo's Scratch/Pad.sig", "3\t1\t03 Jo's Scratch/Pad (2).sig"};

TEST_F(CliArchiveTest, BackupUnitWritesOneFolderPerBankWithUserProgramsAndAManifest) {
    const Outcome r = Run({"backup-unit", Backup()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Lines(kAllWritten));
    EXPECT_THAT(r.err, HasSubstr("Backup finished: 5 programs from 2 banks written, 0 skipped."));

    // Only banks with user programs have a folder; each file is the text the unit holds.
    std::vector<std::string> top;
    for (const auto& entry : fs::directory_iterator(Backup()))
        top.push_back(entry.path().filename().string());
    std::sort(top.begin(), top.end());
    EXPECT_THAT(top, ElementsAre("01 Live", "03 Jo's Scratch", "manifest.json"));
    EXPECT_EQ(ReadFile(fs::path(Backup()) / "01 Live" / "lead (2).sig"), TextOf(1, 2));
    EXPECT_EQ(ReadFile(fs::path(Backup()) / "03 Jo's Scratch" / "Pad (2).sig"), TextOf(3, 1));

    const QJsonObject m = Json(Manifest());
    EXPECT_EQ(m["format"].toInt(), 1);
    EXPECT_TRUE(std::regex_match(m["created"].toString().toStdString(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")))
        << m["created"].toString().toStdString();
    EXPECT_FALSE(m["link"].toString().isEmpty());
    const QJsonArray banks = m["banks"].toArray();
    ASSERT_EQ(banks.size(), 3);
    EXPECT_EQ(banks[2].toObject()["number"].toInt(), 5);
    EXPECT_EQ(banks[1].toObject()["name"].toString(), "Jo's Scratch");
    const QJsonArray live = banks[0].toObject()["programs"].toArray();
    ASSERT_EQ(live.size(), 4);
    // A factory program is listed, without a file.
    const QJsonObject hall = live[0].toObject();
    EXPECT_EQ(hall["name"].toString(), "Hall");
    EXPECT_FALSE(hall["user"].toBool(true));
    EXPECT_FALSE(hall.contains("file") || hall.contains("bytes") || hall.contains("sha256"));
    const QJsonObject ab = live[3].toObject();
    EXPECT_EQ(ab["number"].toInt(), 3);
    EXPECT_EQ(ab["name"].toString(), "A/B");
    EXPECT_TRUE(ab["user"].toBool());
    EXPECT_EQ(ab["file"].toString(), "01 Live/A_B.sig");
    EXPECT_EQ(ab["bytes"].toInt(), static_cast<int>(TextOf(1, 3).size()));
    EXPECT_EQ(ab["sha256"].toString().toStdString(), archive::Sha256Hex(TextOf(1, 3)));
    const QJsonObject result = m["result"].toObject();
    EXPECT_EQ(result["written"].toInt(), 5);
    EXPECT_FALSE(result["cancelled"].toBool(true));
    for (const char* list : {"skipped", "mismatched", "changed_banks", "unread_banks"})
        EXPECT_TRUE(result[list].isArray() && result[list].toArray().isEmpty()) << list;
}

TEST_F(CliArchiveTest, BackupUnitRefusesAFolderThatIsNotEmptyOrNotAFolder) {
    const fs::path full = m_dir / "full";
    fs::create_directories(full);
    WriteFile(full / "notes.txt", "mine");
    WriteFile(m_dir / "file", "mine");
    fs::create_symlink(m_dir / "nowhere", m_dir / "dangling");
    for (const fs::path& target : {full, m_dir / "file", m_dir / "dangling"}) {
        SCOPED_TRACE(target.string());
        const Outcome r = Run({"backup-unit", target.string()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(sends, 0) << "the unit was asked";
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(full), fs::directory_iterator()), 1);
    EXPECT_EQ(ReadFile(m_dir / "file"), "mine");
    EXPECT_FALSE(fs::exists(m_dir / "nowhere"));
}

// What the manifest says when the run did not go through: the unit stopped answering, a program
// change did not take effect, someone changed a bank meanwhile.
TEST_F(CliArchiveTest, BackupUnitRecordsWhatItCouldNotBackUpAndStillWritesTheManifest) {
    int requests = 0;
    struct Case {
        const char* what;
        std::function<void(CFaultLink&)> arrange;
        std::vector<std::string> out;
        std::function<void(const QJsonObject& result, const Outcome&)> check;
    };
    const std::vector<Case> cases = {
        {"the unit stops answering after two programs",
         [&](CFaultLink& f) {
             f.loseReply = [&](const std::string& frame) {
                 return IsProgramRequest(frame) && ++requests > 2;
             };
         },
         {kAllWritten[0], kAllWritten[1]},
         [&](const QJsonObject& result, const Outcome& r) {
             // Two programs asked twice each, then nothing more.
             EXPECT_EQ(requests, 2 + 2 * 2);
             const QJsonArray skipped = result["skipped"].toArray();
             ASSERT_EQ(skipped.size(), 3);
             EXPECT_EQ(skipped[0].toObject()["bank"].toInt(), 1);
             EXPECT_EQ(skipped[0].toObject()["program"].toInt(), 3);
             EXPECT_EQ(skipped[0].toObject()["reason"].toString(), "the unit did not send it");
             EXPECT_EQ(skipped[1].toObject()["bank"].toInt(), 3);
             EXPECT_EQ(skipped[2].toObject()["name"].toString(), "Pad");
             EXPECT_THAT(skipped[2].toObject()["reason"].toString().toStdString(),
                         HasSubstr("stopped answering"));
             // Bank 3 was not listed when the unit stopped (its list was read first), bank 5 was
             // not read at all.
             EXPECT_EQ(result["unread_banks"].toArray(), QJsonArray({5}));
             EXPECT_THAT(r.err, HasSubstr("2 programs from 1 banks written, 3 skipped."));
             EXPECT_THAT(r.err, HasSubstr("Skipped bank 3 program 1 \"Pad\": "));
         }},
        {"a program change that does not take effect",
         [](CFaultLink& f) {
             f.loseSend = [](const std::string& frame) { return IsProgramChange(frame, 2); };
         },
         kAllWritten,
         [&](const QJsonObject& result, const Outcome& r) {
             const QJsonArray mismatched = result["mismatched"].toArray();
             ASSERT_EQ(mismatched.size(), 1);
             EXPECT_EQ(
                 mismatched[0].toObject(),
                 (QJsonObject{{"bank", 1}, {"program", 2}, {"name", "lead"}, {"got", "Lead"}}));
             // The file is kept, with what the unit sent.
             EXPECT_EQ(ReadFile(fs::path(Backup()) / "01 Live" / "lead (2).sig"), TextOf(1, 1));
             EXPECT_THAT(r.err, HasSubstr("the unit sent \"Lead\""));
         }},
        {"a bank whose list cannot be read",
         [&](CFaultLink& f) {
             f.loseReply = [&](const std::string& frame) {
                 return CFaultLink::QueryText(frame) == "2D 0" && ++requests == 1;
             };
         },
         {kAllWritten[3], kAllWritten[4]},
         [&](const QJsonObject& result, const Outcome& r) {
             EXPECT_EQ(result["unread_banks"].toArray(), QJsonArray({1}));
             EXPECT_EQ(result["written"].toInt(), 2);
             EXPECT_THAT(r.err, HasSubstr("Cannot read the programs of bank 1"));
         }},
        {"a user program numbered above 127 (and a factory one)",
         UnitAlsoLists("", 1, " '200 Stray' '300 Old'", " '200 Stray'"),
         kAllWritten,
         [&](const QJsonObject& result, const Outcome& r) {
             EXPECT_EQ(result["skipped"].toArray(),
                       QJsonArray({QJsonObject{{"bank", 1},
                                               {"program", 200},
                                               {"name", "Stray"},
                                               {"reason", QString::fromUtf8(kOutOf127)}}}));
             // Both are in the manifest as the unit listed them, without a file.
             const QJsonArray live = Json(Manifest())["banks"].toArray()[0].toObject()["programs"]
                                         .toArray();
             ASSERT_EQ(live.size(), 6);
             EXPECT_EQ(live[4].toObject(),
                       (QJsonObject{{"number", 200}, {"name", "Stray"}, {"user", true}}));
             EXPECT_EQ(live[5].toObject(),
                       (QJsonObject{{"number", 300}, {"name", "Old"}, {"user", false}}));
             EXPECT_THAT(r.err, HasSubstr("Backup finished: 5 programs from 2 banks written, "
                                          "1 skipped.\nSkipped bank 1 program 200 \"Stray\": " +
                                          std::string(kOutOf127) + "\n"));
             // Its files all match, and still it is not the whole unit.
             const Outcome v = Run({"verify", Backup()});
             EXPECT_EQ(v.exitCode, 1);
             EXPECT_THAT(v.out, HasSubstr("skipped bank 1 program 200 \"Stray\": "));
         }},
        {"a user program numbered below 0",
         UnitAlsoLists("", 3, " '-5 Under'", " '-5 Under'"),
         kAllWritten,
         [&](const QJsonObject& result, const Outcome& r) {
             ASSERT_EQ(result["skipped"].toArray().size(), 1);
             const QJsonObject under = result["skipped"].toArray()[0].toObject();
             EXPECT_EQ(under["program"].toInt(), -5);
             EXPECT_EQ(under["bank"].toInt(), 3);
             EXPECT_THAT(r.err, HasSubstr("Skipped bank 3 program -5 \"Under\": "));
         }},
        {"banks numbered above 99 and below 0",
         UnitAlsoLists(" '150 Far' '-1 Minus'", -1, "", ""),
         kAllWritten,
         [&](const QJsonObject& result, const Outcome& r) {
             EXPECT_EQ(result["skipped"].toArray(),
                       QJsonArray({QJsonObject{{"bank", 150},
                                               {"name", "Far"},
                                               {"reason", QString::fromUtf8(kOutOf99)}},
                                   QJsonObject{{"bank", -1},
                                               {"name", "Minus"},
                                               {"reason", QString::fromUtf8(kOutOf99)}}}));
             EXPECT_EQ(Json(Manifest())["banks"].toArray().size(), 3);
             EXPECT_THAT(r.err, HasSubstr("2 skipped.\nSkipped bank 150 \"Far\": " +
                                          std::string(kOutOf99) + "\nSkipped bank -1 \"Minus\""));
         }},
        {"a bank changed during the backup",
         [&](CFaultLink& f) {
             f.editReply = [&](const std::string& frame, std::string&) {
                 if (IsProgramRequest(frame) && ++requests == 1)
                     unit.AddProgram(1, 9, sim::MakeProgramText("New", "Hall", 40, {}), true);
             };
         },
         kAllWritten,
         [&](const QJsonObject& result, const Outcome& r) {
             EXPECT_EQ(result["changed_banks"].toArray(), QJsonArray({1}));
             EXPECT_THAT(r.err, HasSubstr("Bank 1 changed on the unit during the backup"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Seed(kSeed);
        fs::remove_all(Backup());
        requests = 0;
        arrange = c.arrange;
        const Outcome r = Run({"backup-unit", Backup()});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out, Lines(c.out));
        ASSERT_TRUE(fs::exists(Manifest()));
        c.check(Json(Manifest())["result"].toObject(), r);
    }
}

// Cancel between programs: what was written stays, the manifest says it was cancelled.
TEST_F(CliArchiveTest, ACancelledBackupWritesAManifestThatSaysSo) {
    class CCancelAfter : public IArchiveVisitor {
    public:
        void OnProgram(int, int, const std::string&) override { ++programs; }
        bool ShouldCancel() override { return programs >= 2; }
        int programs = 0;
    } visitor;
    CCliHost host(stderr);
    auto link = std::make_unique<CSimLink>(unit);
    CSimLink* serial = link.get();
    host.SetPauseHook([serial](int ms) { serial->AdvanceClock(ms); });
    CLibrarian engine(host, std::move(link), std::make_unique<CSimLink>(unit));
    const archive::BackupOutcome outcome =
        archive::CUnitBackup(engine, visitor, 1, 0).Run(Backup(), "test");
    EXPECT_EQ(outcome.status, archive::BackupOutcome::Status::Incomplete);
    EXPECT_EQ(visitor.programs, 2);
    const QJsonObject result = Json(Manifest())["result"].toObject();
    EXPECT_TRUE(result["cancelled"].toBool());
    EXPECT_EQ(result["written"].toInt(), 2);
    EXPECT_EQ(result["skipped"].toArray().size(), 1);  // the rest of the bank being read
    EXPECT_EQ(result["unread_banks"].toArray(), QJsonArray({3, 5}));
    EXPECT_TRUE(fs::exists(fs::path(Backup()) / "01 Live" / "lead (2).sig"));
}

// Replaces the first `from` in the backup's manifest by `to`.
void EditManifest(const fs::path& manifest, const std::string& from, const std::string& to) {
    std::string text = ReadFile(manifest);
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    WriteFile(manifest, text);
}

// Points the manifest's entry for A/B at "elsewhere/A_B.sig", where "elsewhere" is a link to a
// folder beside the backup that holds the same file.
void PointOutsideThroughALink(const fs::path& backup) {
    const fs::path outside = backup.parent_path() / "outside";
    fs::create_directories(outside);
    fs::copy_file(backup / "01 Live" / "A_B.sig", outside / "A_B.sig");
    fs::create_directory_symlink(outside, backup / "elsewhere");
    EditManifest(backup / "manifest.json", "\"01 Live/A_B.sig\"", "\"elsewhere/A_B.sig\"");
}

TEST_F(CliArchiveTest, VerifyReportsEveryFileThatDoesNotMatchTheManifest) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& backup)> change;
        int exitCode;
        std::vector<std::string> out;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"as written", [](const fs::path&) {}, 0, {}, "All 5 files of the backup match"},
        {"files gone, changed and added",
         [](const fs::path& b) {
             fs::remove(b / "01 Live" / "Lead.sig");
             WriteFile(b / "03 Jo's Scratch" / "Pad.sig", "preset \"Pad\"\n");
             WriteFile(b / "01 Live" / "Extra.sig", "preset \"Extra\"\n");
             WriteFile(b / "notes.txt", "not a program");
         },
         1,
         {"missing 01 Live/Lead.sig", "changed 03 Jo's Scratch/Pad.sig",
          "unlisted 01 Live/Extra.sig"},
         "3 problems"},
        {"an entry outside the folder through a link",
         PointOutsideThroughALink,
         1,
         {"outside elsewhere/A_B.sig", "unlisted 01 Live/A_B.sig"},
         "2 problems"},
        {"an entry that climbs out",
         [](const fs::path& b) {
             EditManifest(b / "manifest.json", "\"01 Live/A_B.sig\"", "\"../A_B.sig\"");
         },
         1,
         {"outside ../A_B.sig", "unlisted 01 Live/A_B.sig"},
         "2 problems"},
        {"no manifest",
         [](const fs::path& b) { fs::remove(b / "manifest.json"); },
         2,
         {},
         "manifest.json: No such file or directory"},
        {"a manifest that is not JSON",
         [](const fs::path& b) { WriteFile(b / "manifest.json", "{\n  \"format\": 1,\n  [\n}"); },
         2,
         {},
         "manifest.json is not valid JSON: "},
        {"a manifest of another format",
         [](const fs::path& b) {
             EditManifest(b / "manifest.json", "\"format\": 1", "\"format\": 2");
         },
         2,
         {},
         "manifest.json is of format 2; this version reads format 1 backups."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_dir / "outside");
        fs::remove_all(Backup());
        BackUp();
        c.change(Backup());
        const Outcome r = Run({"verify", Backup()});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, Lines(c.out));
        EXPECT_THAT(r.err, HasSubstr(c.err));
        EXPECT_EQ(sends, 0) << "verify asked the unit";
    }
}

// A backup whose files all match is still not the unit's whole content when its manifest
// records programs skipped or mismatched, banks changed or not read, or a cancel.
TEST_F(CliArchiveTest, VerifyCallsABackupIncompleteThoughEveryFileMatches) {
    struct Case {
        const char* what;
        const char* field;
        QJsonValue value;
        std::vector<std::string> out;
    };
    const std::vector<Case> cases = {
        {"a program skipped",
         "skipped",
         QJsonArray({QJsonObject{{"bank", 3},
                                 {"program", 7},
                                 {"name", "Gone"},
                                 {"reason", "the unit did not send it"}}}),
         {"skipped bank 3 program 7 \"Gone\": the unit did not send it"}},
        {"a bank out of reach skipped",
         "skipped",
         QJsonArray({QJsonObject{{"bank", 150}, {"name", "Far"}, {"reason", kOutOf99}}}),
         {"skipped bank 150 \"Far\": " + std::string(kOutOf99)}},
        {"a program mismatched",
         "mismatched",
         QJsonArray({QJsonObject{{"bank", 1}, {"program", 2}, {"name", "lead"}, {"got", "Lead"}}}),
         {"mismatched bank 1 program 2 \"lead\": the unit sent \"Lead\""}},
        {"a bank changed", "changed_banks", QJsonArray({1}), {"changed bank 1"}},
        {"banks not read", "unread_banks", QJsonArray({5, 7}), {"not read bank 5", "not read bank 7"}},
        {"a cancel", "cancelled", true, {"cancelled"}},
    };
    BackUp();
    const std::string complete = ReadFile(Manifest());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(Manifest(), complete);
        QJsonObject m = Json(Manifest());
        QJsonObject result = m["result"].toObject();
        result[QLatin1String(c.field)] = c.value;
        m["result"] = result;
        WriteFile(Manifest(), QJsonDocument(m).toJson().toStdString());
        const Outcome r = Run({"verify", Backup()});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.out, Lines(c.out));
        EXPECT_THAT(r.err, HasSubstr("All 5 files of the backup match its manifest, but the "
                                     "backup is incomplete"));
    }

    // A file changed as well: both are said.
    fs::remove(fs::path(Backup()) / "01 Live" / "Lead.sig");
    const Outcome r = Run({"verify", Backup()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, Lines({"missing 01 Live/Lead.sig", "cancelled"}));
    EXPECT_THAT(r.err, HasSubstr("1 problems found in the backup. Besides, the backup is "
                                 "incomplete"));
}

TEST_F(CliArchiveTest, VerifyNamesTheLineOfAJsonError) {
    BackUp();
    WriteFile(Manifest(), "{\n  \"format\": 1,\n  \"banks\": [ 1, ]\n}\n");
    const Outcome r = Run({"verify", Backup()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_THAT(r.err, HasSubstr(" at line 3, column "));
}

// The unit without bank 3, and bank 1 without A/B.
std::vector<SeedBank> WithoutBank3AndAB() {
    return {{1, "Live", {{"Hall", false}, {"Lead", true}, {"lead", true}}},
            {5, "Factory", {{"Room", false}}}};
}

TEST_F(CliArchiveTest, RestorePlansFromTheManifestAndTheUnitsLists) {
    struct Case {
        const char* what;
        std::vector<SeedBank> backedUp;  // the unit when it was backed up
        std::vector<SeedBank> now;       // the unit when it is restored
        std::function<void(const fs::path& backup)> change;
        std::vector<std::string> options;
        int exitCode;
        std::vector<std::string> out;
        std::string err = {};
    };
    const auto none = [](const fs::path&) {};
    const std::vector<Case> cases = {
        {"the unit as backed up",
         kSeed,
         kSeed,
         none,
         {},
         0,
         {"skip 1 Lead (present)", "skip 1 lead (present)", "skip 1 A/B (present)",
          "skip 3 Pad (present)", "skip 3 Pad (present)"}},
        {"a bank missing, a program missing",
         kSeed,
         WithoutBank3AndAB(),
         none,
         {},
         0,
         {"skip 1 Lead (present)", "skip 1 lead (present)", "load 1 01 Live/A_B.sig",
          "create bank 3 Jo's Scratch", "load 3 03 Jo's Scratch/Pad.sig",
          "load 3 03 Jo's Scratch/Pad (2).sig"}},
        {"a missing bank whose name the unit cannot type, without user programs",
         {{1, "Live", {{"Hall", false}}}, {4, "K\xC3\xA4se", {{"Room", false}}}},
         {{1, "Live", {{"Hall", false}}}},
         none,
         {},
         0,
         {"create bank 4 K se"}},
        {"a missing bank whose name the unit cannot type at all gets a new bank's name",
         {{1, "Live", {{"Hall", false}}}, {4, "\xC3\xA4\xC3\xB6", {{"Room", false}}}},
         {{1, "Live", {{"Hall", false}}}},
         none,
         {},
         0,
         {"create bank 4 Bank 4"}},
        {"a renamed bank, two programs of one name and one on the unit",
         kSeed,
         {{1, "Stage", {{"Hall", false}, {"Lead", true}, {"lead ", true}, {"A/B", true}}},
          {3, "Jo's Scratch", {{"Pad", true}}},
          {5, "Factory", {{"Room", false}}}},
         none,
         {},
         0,
         {"keep bank 1 \"Stage\" (backup: \"Live\")", "skip 1 Lead (present)",
          "skip 1 lead (present)", "skip 1 A/B (present)", "skip 3 Pad (present)",
          "load 3 03 Jo's Scratch/Pad (2).sig"}},
        {"a file changed since the backup",
         kSeed,
         WithoutBank3AndAB(),
         [](const fs::path& b) { WriteFile(b / "01 Live" / "A_B.sig", "preset \"A/B\"\n"); },
         {"--bank", "1"},
         0,
         {"skip 1 Lead (present)", "skip 1 lead (present)",
          "refuse 1 01 Live/A_B.sig (changed since backup)"}},
        {"one bank chosen",
         kSeed,
         WithoutBank3AndAB(),
         none,
         {"--bank", "3"},
         0,
         {"create bank 3 Jo's Scratch", "load 3 03 Jo's Scratch/Pad.sig",
          "load 3 03 Jo's Scratch/Pad (2).sig"}},
        {"a bank the backup does not hold",
         kSeed,
         kSeed,
         none,
         {"--bank", "3", "--bank", "7"},
         2,
         {},
         "The backup holds no bank 7."},
        {"an entry outside the folder through a link",
         kSeed,
         WithoutBank3AndAB(),
         PointOutsideThroughALink,
         {},
         2,
         {},
         "The manifest names a file outside "},
        {"a manifest of another format",
         kSeed,
         kSeed,
         [](const fs::path& b) {
             EditManifest(b / "manifest.json", "\"format\": 1", "\"format\": 3");
         },
         {},
         2,
         {},
         "is of format 3"},
        // Banks the unit cannot have: a bank select carries two digits, a bank name at most 79
        // characters. Bank 5 has no user programs and is the only one numbered 5.
        {"a bank numbered below 0",
         kSeed,
         WithoutBank3AndAB(),
         [](const fs::path& b) {
             EditManifest(b / "manifest.json", "\"number\": 5", "\"number\": -1");
         },
         {},
         2,
         {},
         "The manifest names bank -1, which the unit cannot have (its banks are 0 to 99); "
         "nothing is restored."},
        {"a bank numbered above 99",
         kSeed,
         WithoutBank3AndAB(),
         [](const fs::path& b) {
             EditManifest(b / "manifest.json", "\"number\": 5", "\"number\": 99999");
         },
         {},
         2,
         {},
         "The manifest names bank 99999, which the unit cannot have"},
        {"a bank name of 80 characters",
         kSeed,
         WithoutBank3AndAB(),
         [](const fs::path& b) {
             EditManifest(b / "manifest.json", "\"Factory\"", "\"" + std::string(80, 'F') + "\"");
         },
         {},
         2,
         {},
         "The manifest names bank 5 with a name of 80 characters; a bank name holds at most 79 "
         "characters. Nothing is restored."},
        {"a bank name of 79 characters, four of them two bytes long",
         kSeed,
         kSeed,
         [](const fs::path& b) {
             EditManifest(b / "manifest.json", "\"Factory\"",
                          "\"" + std::string(75, 'F') + "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\"");
         },
         {},
         0,
         {"skip 1 Lead (present)", "skip 1 lead (present)", "skip 1 A/B (present)",
          "skip 3 Pad (present)", "skip 3 Pad (present)",
          "keep bank 5 \"Factory\" (backup: \"" + std::string(75, 'F') +
              "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\")"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        arrange = nullptr;  // the last case's counters are gone
        fs::remove_all(m_dir / "outside");
        fs::remove_all(Backup());
        Seed(c.backedUp);
        BackUp();
        c.change(Backup());
        Seed(c.now);
        std::vector<std::string> args = {"restore", Backup()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("--dry-run");
        int loads = 0;
        int keys = 0;
        arrange = [&](CFaultLink& f) {
            f.loseSend = [&](const std::string& frame) {
                loads += IsLoad(frame) ? 1 : 0;
                keys += CFaultLink::IsKey(frame) ? 1 : 0;
                return false;
            };
        };
        const Outcome r = Run(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, Lines(c.out));
        EXPECT_THAT(r.err, HasSubstr(c.err));
        EXPECT_EQ(loads + keys, 0) << "a dry run changed the unit";
        if (c.exitCode == 2) {
            EXPECT_EQ(sends, 0) << "a refused manifest asked the unit";
            // The run itself refuses it alike, before the unit is asked anything.
            args.pop_back();
            const Outcome real = Run(args);
            EXPECT_EQ(real.exitCode, 2) << real.err;
            EXPECT_THAT(real.err, HasSubstr(c.err));
            EXPECT_EQ(sends, 0) << "a refused manifest asked the unit";
        }
    }
}

TEST_F(CliArchiveTest, RestoreLoadsWhatTheUnitLacksAndChecksItIsListed) {
    BackUp();
    Seed(WithoutBank3AndAB());
    const Outcome r = Run({"restore", Backup()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              Lines({"skip 1 Lead (present)", "skip 1 lead (present)", "load 1 01 Live/A_B.sig",
                     "create bank 3 Jo's Scratch", "load 3 03 Jo's Scratch/Pad.sig",
                     "load 3 03 Jo's Scratch/Pad (2).sig"}));
    EXPECT_THAT(r.err, HasSubstr("Restore finished: 3 programs loaded, 1 banks created, "
                                 "2 already present, 0 not loaded."));
    const auto names = [this](int bank) {
        std::vector<std::string> list;
        for (const auto& p : unit.Programs(bank)) list.push_back(p.name + (p.user ? "" : " F"));
        return list;
    };
    EXPECT_THAT(names(1), ElementsAre("Hall F", "Lead", "lead", "A/B"));
    EXPECT_THAT(names(3), ElementsAre("Pad", "Pad"));
    EXPECT_EQ(unit.Programs(3)[1].text,
              ReadFile(fs::path(Backup()) / "03 Jo's Scratch" / "Pad (2).sig"));
    bool named = false;
    for (const auto& b : unit.Banks()) named = named || (b.number == 3 && b.name == "Jo's Scratch");
    EXPECT_TRUE(named);

    // Nothing is left to do: a second restore only skips.
    const Outcome again = Run({"restore", Backup()});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_THAT(again.out, Not(HasSubstr("load ")));
}

TEST_F(CliArchiveTest, ALoadTheUnitRefusesFailsTheRestoreWhichGoesOn) {
    BackUp();
    // Bank 1 is full: the unit refuses every load into it; bank 3 is missing.
    std::vector<SeedBank> now = WithoutBank3AndAB();
    for (int n = 3; n < 128; ++n) now[0].programs.push_back({"Fill " + std::to_string(n), true});
    Seed(now);
    const Outcome r = Run({"restore", Backup()});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_THAT(r.out, HasSubstr("load 1 01 Live/A_B.sig\n"));
    EXPECT_THAT(r.err, HasSubstr("bank 1 is full"));
    EXPECT_THAT(r.err, HasSubstr("Not loaded: 01 Live/A_B.sig."));
    EXPECT_EQ(unit.Programs(3).size(), 2u) << "the restore did not go on";
}

// Cancel between loads: nothing more is loaded, the restore does not count as done, and the
// summary counts every planned step: the loads and bank creations not made are named.
TEST_F(CliArchiveTest, ACancelledRestoreStopsBetweenPrograms) {
    BackUp();
    struct Case {
        int cancelAfter;  // programs loaded before Cancel
        std::size_t bank1;
        std::size_t banks;
        std::string summary;
    };
    // The plan: skip Lead, skip lead, load A/B; create bank 3, load Pad, load Pad (2).
    const std::vector<Case> cases = {
        {1, 4, 2,
         "Restore cancelled: 1 programs loaded, 0 banks created, 2 already present, 0 not "
         "loaded, 2 planned loads and 1 planned bank creations not made.\n"
         "Not reached: bank 3"},
        {2, 4, 3,
         "Restore cancelled: 2 programs loaded, 1 banks created, 2 already present, 0 not "
         "loaded, 1 planned loads not made.\n"
         "Partly restored: bank 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cancelAfter);
        Seed(WithoutBank3AndAB());
        class CCancelAfter : public IArchiveVisitor {
        public:
            explicit CCancelAfter(int n) : after(n) {}
            void OnProgram(int, int, const std::string&) override { ++programs; }
            bool ShouldCancel() override { return programs >= after; }
            int after;
            int programs = 0;
        } visitor(c.cancelAfter);
        CCliHost host(stderr);
        auto link = std::make_unique<CSimLink>(unit);
        CSimLink* serial = link.get();
        host.SetPauseHook([serial](int ms) { serial->AdvanceClock(ms); });
        CLibrarian engine(host, std::move(link), std::make_unique<CSimLink>(unit));
        archive::CUnitRestore restore(engine, visitor, 1);
        archive::RestorePlan plan;
        ASSERT_EQ(restore.Plan(Backup(), {}, plan), archive::CUnitRestore::Result::Done);
        EXPECT_EQ(restore.Carry(plan), archive::CUnitRestore::Result::Failed);
        EXPECT_EQ(visitor.programs, c.cancelAfter);
        EXPECT_EQ(unit.Programs(1).size(), c.bank1);  // A/B came back
        EXPECT_EQ(unit.Banks().size(), c.banks);
        EXPECT_EQ(restore.Summary(), c.summary);
    }
}

// Each file is read once, when the restore is planned: a file replaced afterwards, by other
// bytes or by a link to a file outside the backup, does not reach the unit; the planned bytes do.
TEST_F(CliArchiveTest, RestoreLoadsTheBytesItCheckedWhenPlanning) {
    BackUp();
    Seed(WithoutBank3AndAB());
    CCliHost host(stderr);
    auto link = std::make_unique<CSimLink>(unit);
    CSimLink* serial = link.get();
    host.SetPauseHook([serial](int ms) { serial->AdvanceClock(ms); });
    CLibrarian engine(host, std::move(link), std::make_unique<CSimLink>(unit));
    IArchiveVisitor visitor;
    archive::CUnitRestore restore(engine, visitor, 1);
    archive::RestorePlan plan;
    ASSERT_EQ(restore.Plan(Backup(), {}, plan), archive::CUnitRestore::Result::Done);

    const fs::path changed = fs::path(Backup()) / "01 Live" / "A_B.sig";
    const fs::path linked = fs::path(Backup()) / "03 Jo's Scratch" / "Pad.sig";
    const std::string plannedChanged = ReadFile(changed);
    const std::string plannedLinked = ReadFile(linked);
    WriteFile(changed, sim::MakeProgramText("A/B", "Hall", 40, {"replaced after planning"}));
    const fs::path outside = m_dir / "outside.sig";
    WriteFile(outside, sim::MakeProgramText("Pad", "Hall", 40, {"from outside the backup"}));
    fs::remove(linked);
    fs::create_symlink(outside, linked);

    EXPECT_EQ(restore.Carry(plan), archive::CUnitRestore::Result::Done);
    const auto textOf = [this](int bank, const std::string& name) {
        std::vector<std::string> texts;
        for (const auto& p : unit.Programs(bank))
            if (p.name == name) texts.push_back(p.text);
        return texts;
    };
    EXPECT_THAT(textOf(1, "A/B"), ElementsAre(plannedChanged));
    EXPECT_THAT(textOf(3, "Pad"), ::testing::Contains(plannedLinked));
    for (const auto& sent : serial->Transcript())
        EXPECT_EQ(sent.bytes.find("outside the backup"), std::string::npos);
}

// A backed-up text that holds a byte the link cannot carry inside a load frame is refused when
// the restore is planned (the dry run shows it), and never sent; which bytes those are depends on
// the link: the unit's 8-bit characters travel over serial but not over MIDI.
TEST_F(CliArchiveTest, RestoreRefusesATextThatWouldBreakItsLoadFrame) {
    BackUp();
    Seed(WithoutBank3AndAB());
    const fs::path file = fs::path(Backup()) / "01 Live" / "A_B.sig";
    // Rewritten with its manifest entry, so that only its bytes are in question.
    const auto plant = [&](const std::string& text) {
        WriteFile(file, text);
        archive::Manifest manifest;
        std::string error;
        ASSERT_TRUE(archive::LoadManifest(Backup(), manifest, error)) << error;
        for (auto& bank : manifest.banks)
            for (auto& program : bank.programs)
                if (program.file == "01 Live/A_B.sig") {
                    program.bytes = static_cast<std::int64_t>(text.size());
                    program.sha256 = archive::Sha256Hex(text);
                }
        WriteFile(Manifest(), archive::ManifestJson(manifest));
    };
    const std::string head = "preset \"A/B\"\n";
    struct Case {
        const char* what;
        std::string text;
        bool midi;
        std::string plan;  // the line of A/B
    } cases[] = {
        {"0xF7 inside, serial", head + "mix \xF7\n", false,
         "refuse 1 01 Live/A_B.sig (the byte 0xF7 at offset 17 would end the transfer early; the "
         "file is damaged or is not a program of the unit)"},
        {"0xF0 inside, serial", head + "\xF0mix\n", false,
         "refuse 1 01 Live/A_B.sig (the byte 0xF0 at offset 13 would break the transfer; the "
         "file is damaged or is not a program of the unit)"},
        {"0xE9, MIDI", head + "mix \xE9\n", true,
         "refuse 1 01 Live/A_B.sig (the byte 0xE9 at offset 17 cannot travel over MIDI, which "
         "carries only bytes below 0x80)"},
        {"0xE9, serial", head + "mix \xE9\n", false, "load 1 01 Live/A_B.sig"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plant(c.text);
        store->WriteDword(kSectionOptions, "DeviceType", c.midi ? 1 : 0);
        const Outcome dry = Run({"restore", Backup(), "--dry-run", "--bank", "1"});
        EXPECT_EQ(dry.exitCode, 0) << dry.err;
        EXPECT_EQ(dry.out, Lines({"skip 1 Lead (present)", "skip 1 lead (present)", c.plan}));
        if (c.plan.rfind("refuse", 0) != 0) continue;
        inner.ClearTranscript();
        const Outcome r = Run({"restore", Backup(), "--bank", "1"});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_THAT(r.err, HasSubstr("0 programs loaded"));
        for (const auto& sent : inner.Transcript()) EXPECT_FALSE(IsLoad(sent.bytes));
        EXPECT_EQ(unit.Programs(1).size(), 3u);
    }
}

// The unit's 8-bit names: the manifest holds them as UTF-8 text, file names are made from that
// text, and a restore still finds the program present on the unit.
TEST_F(CliArchiveTest, EightBitNamesSurviveTheManifest) {
    Seed({{1, "Caf\xE9s", {{"Caf\xE9", true}}}});
    BackUp();
    const QJsonObject bank = Json(Manifest())["banks"].toArray()[0].toObject();
    EXPECT_EQ(bank["name"].toString(), QString::fromUtf8("Caf\xC3\xA9s"));
    EXPECT_EQ(bank["programs"].toArray()[0].toObject()["file"].toString(),
              QString::fromUtf8("01 Caf\xC3\xA9s/Caf\xC3\xA9.sig"));
    const Outcome r = Run({"restore", Backup(), "--dry-run"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "skip 1 Caf\xC3\xA9 (present)\n");
}


// A dry run ends with what the plan comes to and how long carrying it out takes. The times by
// hand: a load is 4 s of pauses (a 2 s silent wait and four keys of 500 ms); creating bank 3
// "Jo's Scratch" is 3.5 s of menu keys and 86.4 s of typing (216 steps of 400 ms, 12 characters
// entered at 200 ms); the few hundred bytes on the line add well under a second.
TEST_F(CliArchiveTest, DryRunTellsTheTotalsAndTheTimeOfThePlan) {
    BackUp();
    Seed(WithoutBank3AndAB());
    struct Case {
        std::vector<std::string> banks;
        std::string said;
    };
    const Case cases[] = {
        // 3 loads and the bank: 101.9 s and the bytes.
        {{}, "3 programs into 2 banks, 1 bank created, 2 present. About 2 min."},
        // 1 load: 4 s and the bytes.
        {{"--bank", "1"}, "1 program into 1 bank, 0 banks created, 2 present. About 4 s."},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"restore", Backup(), "--dry-run"};
        args.insert(args.end(), c.banks.begin(), c.banks.end());
        const Outcome r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.err, HasSubstr(c.said));
    }
    // Nothing left to load: the totals say so, without a time.
    Seed(kSeed);
    const Outcome r = Run({"restore", Backup(), "--dry-run"});
    EXPECT_THAT(r.err, HasSubstr("0 programs into 0 banks, 0 banks created, 5 present."));
    EXPECT_THAT(r.err, Not(HasSubstr("About")));
}

}  // namespace
