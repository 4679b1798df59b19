// The engine's sightings recorded into the library, against the simulated unit: a fetch, a file
// loaded, a whole-unit backup and its restore, an import of the backup folder, and Delete, which
// keeps a copy first and asks when it cannot.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "archive/UnitBackup.h"
#include "archive/UnitRestore.h"
#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "library/LibraryImport.h"
#include "library/LibrarySightings.h"
#include "library/ProgramLibrary.h"
#include "settings/SettingsStore.h"
#include "sim/SimUnit.h"
#include "tests/library/LibraryTestSupport.h"
#include "tests/support/FaultLink.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

namespace fs = std::filesystem;
using namespace library;

class LibrarySightingsTest : public ::testing::Test {
public:
    LibrarySightingsTest() {
        store->WriteDword(kSectionOptions, "DeviceType", 0);
        std::string error;
        EXPECT_TRUE(lib.Open(folder / "library.sqlite", error)) << error;
        sightings.SetLink("test link");
        auto fault = std::make_unique<CFaultLink>(inner);
        link = fault.get();
        host.OnPause([this](int ms) { inner.AdvanceClock(ms); });
        engine = std::make_unique<CLibrarian>(
            host, std::move(fault),
            std::make_unique<CSimLink>(spareUnit, CSimLink::ReplyStyle::MIDI));
        engine->SetSightings(&sightings);
        std::vector<std::string> banks;
        EXPECT_EQ(engine->GetBankList(banks), 0);
    }

    std::pair<int, int> SomeUserProgram() const {
        for (const auto& bank : unit.Banks())
            for (const auto& p : unit.Programs(bank.number))
                if (p.user) return {bank.number, p.number};
        return {-1, -1};
    }
    std::string TextOf(int bank, int program) const {
        for (const auto& p : unit.Programs(bank))
            if (p.number == program) return p.text;
        return {};
    }
    std::vector<How> HowsOf(const std::string& text) {
        std::vector<How> hows;
        for (const auto& s : lib.Sightings(TextSha256(text))) hows.push_back(s.how);
        return hows;
    }

    CTempFolder folder;
    CScopedSettingsStore store;
    CSimUnit unit;
    CSimUnit spareUnit;
    CSimLink inner{unit, CSimLink::ReplyStyle::Serial};
    CFaultLink* link = nullptr;
    CAskingHost host;
    CProgramLibrary lib;
    CLibrarySightings sightings{lib};
    std::unique_ptr<CLibrarian> engine;
};

class CQuietVisitor : public IArchiveVisitor {};

TEST_F(LibrarySightingsTest, FetchLoadBackupRestoreAndImportEachLeaveTheirSighting) {
    const auto [bank, program] = SomeUserProgram();
    ASSERT_GE(bank, 0);
    const std::string text = TextOf(bank, program);

    // Fetched: at the bank and program selected, over the link.
    ASSERT_EQ(engine->SelectBank(bank, 1), 0);
    ASSERT_EQ(engine->SelectProgram(0, program), 0);
    std::string data;
    ASSERT_EQ(engine->GetProgramData(data), 0);
    auto seen = lib.Sightings(TextSha256(text));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].how, How::Fetched);
    EXPECT_EQ(seen[0].where.bank, bank);
    EXPECT_EQ(seen[0].where.program, program);
    EXPECT_EQ(seen[0].where.link, "test link");

    // Loaded from a file: the file and the bank it went to.
    const std::string copy = "PROGRAM \"File Copy\"\nmix 7\n";
    const std::string file = folder / "File Copy.sig";
    WriteFile(file, copy);
    ASSERT_EQ(engine->SelectBank(bank, 1), 0);
    ASSERT_EQ(engine->LoadPatchFile(file), 0);
    seen = lib.Sightings(TextSha256(copy));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].how, How::LoadedFromFile);
    EXPECT_EQ(seen[0].where.path, file);
    EXPECT_EQ(seen[0].where.bank, bank);

    // Backed up: every program written, with its manifest entry, and not also as fetched.
    const std::string backup = folder / "backup";
    CQuietVisitor visitor;
    const auto outcome = archive::CUnitBackup(*engine, visitor, 1, 0).Run(backup, "test link");
    ASSERT_EQ(outcome.status, archive::BackupOutcome::Status::Complete);
    int backedUp = 0;
    for (const auto& b : outcome.manifest.banks) {
        for (const auto& p : b.programs) {
            if (p.file.empty()) continue;
            const auto s = lib.Sightings(p.sha256);
            ASSERT_FALSE(s.empty()) << p.file;
            EXPECT_EQ(s.back().how, How::BackedUp);
            EXPECT_EQ(s.back().where.entry, p.file);
            EXPECT_EQ(s.back().where.path, backup);
            EXPECT_EQ(s.back().where.bank, b.number);
            EXPECT_EQ(std::count_if(s.begin(), s.end(),
                                    [](const Sighting& g) { return g.how == How::Fetched; }),
                      p.sha256 == TextSha256(text) ? 1 : 0);
            ++backedUp;
        }
    }
    EXPECT_EQ(backedUp, outcome.manifest.written);
    EXPECT_GT(backedUp, 1);

    // Restored: the program loaded again from the backup after it was deleted.
    sightings.SetKeepsDeletedPrograms(false);
    ASSERT_EQ(engine->DeletePreset(bank, program, 0, 1), 0);
    archive::CUnitRestore restore(*engine, visitor, 1);
    archive::RestorePlan plan;
    ASSERT_EQ(restore.Plan(backup, {bank}, plan), archive::CUnitRestore::Result::Done);
    ASSERT_EQ(restore.Carry(plan), archive::CUnitRestore::Result::Done);
    EXPECT_EQ(HowsOf(text).back(), How::Restored);
    EXPECT_EQ(engine->LoadSightingHow(), How::LoadedFromFile);  // only during the restore

    // Imported without a unit: through the manifest, and a loose file beside it.
    fs::create_directories(folder.path / "mail" / "old");
    const std::string loose = "PROGRAM \"Mailed\"\nmix 9\n";
    WriteFile(folder / "mail/old/mailed.SIG", loose);
    WriteFile(folder / "mail/old/notes.txt", "not a program");
    std::vector<std::string> messages;
    const auto result = ImportPaths(lib, {backup, folder / "mail"},
                                    [&](const std::string& m) { messages.push_back(m); });
    EXPECT_EQ(messages, std::vector<std::string>{});
    EXPECT_EQ(result.files, backedUp + 1);
    EXPECT_EQ(result.newTexts, 1);
    const auto imported = lib.Sightings(TextSha256(text)).back();
    EXPECT_EQ(imported.how, How::Imported);
    EXPECT_EQ(imported.where.bank, bank);
    EXPECT_FALSE(imported.where.entry.empty());
    const auto mailed = lib.Sightings(TextSha256(loose));
    ASSERT_EQ(mailed.size(), 1u);
    EXPECT_EQ(mailed[0].name, "mailed");
    EXPECT_EQ(mailed[0].where.path, folder / "mail/old/mailed.SIG");
    EXPECT_EQ(lib.Find(TextSha256(loose))->name, "Mailed");
}

// Delete keeps a copy first (as fetched); it is recorded as deleted from its bank only once the
// unit's list shows the program gone.
TEST_F(LibrarySightingsTest, DeleteKeepsACopyOfTheProgramFirst) {
    const auto [bank, program] = SomeUserProgram();
    ASSERT_GE(bank, 0);
    const std::string text = TextOf(bank, program);
    ASSERT_EQ(engine->DeletePreset(bank, program, 0, 1), 0);
    EXPECT_TRUE(TextOf(bank, program).empty()) << "the unit no longer holds it";
    EXPECT_EQ(lib.Text(TextSha256(text)), text);
    EXPECT_EQ(HowsOf(text), (std::vector<How>{How::Fetched, How::Deleted}));
    const auto stored = lib.Search({}, Filter::Deleted);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(PlaceText(stored[0].last), "deleted from bank " + std::to_string(bank));
    EXPECT_EQ(host.questions, std::vector<std::string>{});
    EXPECT_TRUE(host.MessageTexts().empty());
    EXPECT_EQ(inner.OpenCount(), inner.CloseCount());
}

// A unit that ignores the delete's key presses keeps the program: the library keeps its copy,
// but records no delete, and the engine says the unit did not delete it.
TEST_F(LibrarySightingsTest, ADeleteTheUnitIgnoredIsNotRecorded) {
    const auto [bank, program] = SomeUserProgram();
    ASSERT_GE(bank, 0);
    const std::string text = TextOf(bank, program);
    link->loseSend = &CFaultLink::IsKey;
    EXPECT_EQ(engine->DeletePreset(bank, program, 0, 1), -2);
    EXPECT_EQ(TextOf(bank, program), text) << "the unit still holds it";
    EXPECT_EQ(lib.Text(TextSha256(text)), text);
    EXPECT_EQ(HowsOf(text), std::vector<How>{How::Fetched});
    EXPECT_TRUE(lib.Search({}, Filter::Deleted).empty());
    const auto messages = host.MessageTexts();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].rfind("The unit did not delete program " + std::to_string(program) +
                                    " of bank " + std::to_string(bank) + ": it still lists \"",
                                0),
              0u)
        << messages[0];
    EXPECT_EQ(inner.OpenCount(), inner.CloseCount());
}

// A unit that does not take the program change would delete the program it runs instead: with
// a copy to keep, the delete stops before any key is pressed.
TEST_F(LibrarySightingsTest, DeleteStopsWhenTheUnitSendsAnotherProgram) {
    const auto [bank, program] = SomeUserProgram();
    ASSERT_GE(bank, 0);
    unit.SetReceiveChannel(9);
    int keys = 0;
    link->loseSend = [&keys](const std::string& frame) {
        keys += CFaultLink::IsKey(frame) ? 1 : 0;
        return false;
    };
    EXPECT_EQ(engine->DeletePreset(bank, program, 0, 1), -2);
    EXPECT_EQ(keys, 0);
    EXPECT_FALSE(TextOf(bank, program).empty());
    EXPECT_EQ(lib.TextCount(), 0);
    const auto messages = host.MessageTexts();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(": the unit sent \"Big Hall\" instead of \""), std::string::npos)
        << messages[0];
}

// When no copy can be kept, Delete asks; No keeps the program on the unit.
TEST_F(LibrarySightingsTest, DeleteAsksWhenNoCopyCanBeKept) {
    struct Case {
        const char* what;
        std::function<void()> spoil;
        const char* question;
    };
    const Case cases[] = {
        {"the unit sends nothing",
         [&] {
             link->loseReply = [](const std::string& f) {
                 return static_cast<unsigned char>(f.at(4)) == 0x0B;
             };
         },
         "cannot fetch program"},
        {"the library is closed", [&] { lib.Close(); }, "cannot keep a copy"},
    };
    for (const auto& c : cases) {
        for (bool answer : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (answer ? ", Yes" : ", No"));
            const auto [bank, program] = SomeUserProgram();
            ASSERT_GE(bank, 0);
            c.spoil();
            host.questions.clear();
            host.answer = answer;
            EXPECT_EQ(engine->DeletePreset(bank, program, 0, 1), answer ? 0 : -3);
            ASSERT_EQ(host.questions.size(), 1u);
            EXPECT_NE(host.questions[0].find(c.question), std::string::npos) << host.questions[0];
            EXPECT_NE(host.questions[0].find("Delete it anyway?"), std::string::npos);
            EXPECT_EQ(TextOf(bank, program).empty(), answer);
            link->loseReply = nullptr;
        }
    }
}

TEST_F(LibrarySightingsTest, WithoutKeepingDeletedProgramsDeleteFetchesNothing) {
    sightings.SetKeepsDeletedPrograms(false);
    const auto [bank, program] = SomeUserProgram();
    const int sendsBefore = link->sends;
    ASSERT_EQ(engine->DeletePreset(bank, program, 0, 1), 0);
    EXPECT_EQ(lib.TextCount(), 0);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_GT(link->sends, sendsBefore);
}

}  // namespace

namespace {

// The unit's info text goes with the text seen at the same place, before or after it.
TEST_F(LibrarySightingsTest, TheUnitsInfoTextIsStoredWithTheProgram) {
    ASSERT_EQ(engine->SelectBank(0, 1), 0);
    int withInfo = 0;
    for (const auto& p : unit.Programs(0)) {
        ASSERT_EQ(engine->SelectProgram(0, p.number), 0);
        std::string info;
        const bool before = p.number % 2 == 0;  // info first, then the text; or the other way
        std::string data;
        if (before) {
            ASSERT_EQ(engine->GetProgramInfo(1, info), 0);
        }
        ASSERT_EQ(engine->GetProgramData(data), 0);
        if (!before) {
            ASSERT_EQ(engine->GetProgramInfo(1, info), 0);
        }
        if (info == "There is no information available for the selected program") continue;
        ++withInfo;
        const auto stored = lib.Find(TextSha256(p.text));
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->info, info) << p.name;
        const std::string word = info.substr(0, std::min<std::size_t>(info.size(), 5));
        const auto found = lib.Search(word);
        EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const StoredText& t) {
            return t.sha256 == stored->sha256;
        })) << word;
    }
    EXPECT_GT(withInfo, 0);
}

}  // namespace

namespace {

// A program backed up and then loaded on the unit: its info text goes to the backed-up text.
TEST_F(LibrarySightingsTest, InfoReadAfterABackupGoesToTheBackedUpText) {
    CQuietVisitor visitor;
    const auto outcome =
        archive::CUnitBackup(*engine, visitor, 1, 0).Run(folder / "backup", "test link");
    ASSERT_EQ(outcome.status, archive::BackupOutcome::Status::Complete);
    int withInfo = 0;
    for (const auto& b : outcome.manifest.banks) {
        for (const auto& p : b.programs) {
            if (p.file.empty()) continue;
            ASSERT_EQ(engine->SelectBank(b.number, 1), 0);
            ASSERT_EQ(engine->SelectProgram(0, p.number), 0);
            std::string info;
            ASSERT_EQ(engine->GetProgramInfo(1, info), 0);
            if (info == "There is no information available for the selected program") continue;
            ++withInfo;
            EXPECT_EQ(lib.Find(p.sha256)->info, info) << p.name;
        }
    }
    EXPECT_GT(withInfo, 0);
}

}  // namespace
