// The program library on its own: texts stored once by content, sightings, search through the
// trigram index and LIKE, the schema brought up from its first version, and databases that must
// be left alone (damaged, another program's, a newer Quorlin's, locked, on a full disk).
#include <gtest/gtest.h>
#include <sched.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "library/DemoLibraryPlace.h"
#include "library/LibraryImport.h"
#include "library/ProgramLibrary.h"
#include "tests/library/LibraryTestSupport.h"

namespace {

using namespace library;

class ProgramLibraryTest : public ::testing::Test {
public:
    void OpenLibrary() {
        std::string error;
        ASSERT_TRUE(lib.Open(path, error)) << error;
    }
    std::string Store(const std::string& text, How how, Where where, const std::string& name = {},
                      const std::string& info = {}) {
        std::string error;
        std::string sha;
        EXPECT_TRUE(lib.Store(text, name, how, where, error, info, &sha)) << error;
        return sha;
    }
    static Where OnUnit(int bank, int program) {
        Where w;
        w.bank = bank;
        w.program = program;
        w.link = "serial /dev/ttyS0, 38400 baud";
        return w;
    }
    static Where InFile(const std::string& path) {
        Where w;
        w.path = path;
        return w;
    }

    CTempFolder folder;
    std::string path = folder / "data/library.sqlite";
    CProgramLibrary lib;
};

TEST_F(ProgramLibraryTest, ATextIsStoredOnceWhateverTheLinkAndPlace) {
    OpenLibrary();
    EXPECT_EQ(lib.SchemaVersion(), kSchemaVersion);
    const std::string text = ProgramText("Lead");
    const std::string sha = Store(text, How::Fetched, OnUnit(3, 12));
    // The MIDI link keeps the frame's end byte: the same program, the same key.
    EXPECT_EQ(Store(text + "\xF7", How::Fetched, OnUnit(5, 1)), sha);
    EXPECT_EQ(Store(text, How::Imported, InFile("/home/me/lead copy.sig"), "lead copy"), sha);
    EXPECT_EQ(sha, TextSha256(text));
    EXPECT_EQ(lib.TextCount(), 1);
    EXPECT_EQ(lib.Text(sha), text);

    const auto sightings = lib.Sightings(sha);
    ASSERT_EQ(sightings.size(), 3u);
    EXPECT_EQ(sightings[0].where.bank, 3);
    EXPECT_EQ(sightings[1].where.bank, 5);
    EXPECT_EQ(sightings[2].name, "lead copy");
    const auto stored = lib.Find(sha);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name, "Lead");
    EXPECT_EQ(stored->size, static_cast<std::int64_t>(text.size()));
    EXPECT_EQ(PlaceText(stored->last), "/home/me/lead copy.sig");

    // Another text of the same name is another entry; a text seen once is no duplicate.
    const std::string other = Store(ProgramText("Lead", "mix 60"), How::Fetched, OnUnit(3, 13));
    EXPECT_NE(other, sha);
    // Backed up to a manifest entry and imported from it again: one place, one name.
    Where entry;
    entry.bank = 3;
    entry.program = 14;
    entry.path = "/home/me/Unit";
    entry.entry = "03 Live/Solo.sig";
    const std::string solo = ProgramText("Solo");
    Store(solo, How::BackedUp, entry);
    entry.link = "MIDI in 1, out 2";  // as the manifest describes the connection
    Store(solo, How::Imported, entry);
    const auto duplicates = lib.Duplicates();
    ASSERT_EQ(duplicates.size(), 1u);
    EXPECT_EQ(duplicates[0].sha256, sha);
}

TEST_F(ProgramLibraryTest, SearchFindsSubstringsOfNamesAndInfoTextsWhateverTheirCase) {
    OpenLibrary();
    Store(ProgramText("Cab Sim"), How::Fetched, OnUnit(1, 1));
    Store(ProgramText("Big Hall"), How::Fetched, OnUnit(1, 2), {}, "Warm tape echo, 100%");
    Store(ProgramText("Plate 3"), How::Fetched, OnUnit(1, 3));
    Store(ProgramText("Ärger Hall"), How::Imported, InFile("/x.sig"));
    struct Case {
        std::string query;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"ab", {"Cab Sim"}},               // shorter than a trigram: LIKE
        {"AB", {"Cab Sim"}},
        {"cab s", {"Cab Sim"}},            // through the index
        {"CAB SIM", {"Cab Sim"}},
        {"hall", {"Big Hall", "Ärger Hall"}},
        {"TAPE", {"Big Hall"}},            // the info text
        {"100%", {"Big Hall"}},
        {"3", {"Plate 3"}},
        {"%", {"Big Hall"}},               // LIKE's wildcard is a plain character
        {"_", {}},
        {"ärg", {"Ärger Hall"}},          // three characters, more bytes
        {"\"", {}},                        // FTS syntax is not taken from the query
        {"a\" OR \"b", {}},
        {"xyz", {}},
        {"", {"Cab Sim", "Big Hall", "Plate 3", "Ärger Hall"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names;
        for (const auto& t : lib.Search(c.query)) names.push_back(t.name);
        std::sort(names.begin(), names.end());
        auto expected = c.names;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << "query \"" << c.query << "\"";
    }
}

TEST_F(ProgramLibraryTest, FiltersAndPrefixes) {
    OpenLibrary();
    const std::string kept = Store(ProgramText("Kept"), How::Fetched, OnUnit(2, 4));
    const std::string gone = Store(ProgramText("Gone"), How::Fetched, OnUnit(2, 5));
    Store(ProgramText("Gone"), How::Deleted, OnUnit(2, 5));
    Store(ProgramText("Filed"), How::Imported, InFile("/a/Filed.sig"));
    const auto names = [&](Filter f) {
        std::vector<std::string> n;
        for (const auto& t : lib.Search({}, f)) n.push_back(t.name);
        return n;
    };
    EXPECT_EQ(names(Filter::OnUnit), std::vector<std::string>{"Kept"});
    EXPECT_EQ(names(Filter::Deleted), std::vector<std::string>{"Gone"});
    EXPECT_EQ(PlaceText(lib.Find(gone)->last), "deleted from bank 2");
    EXPECT_EQ(PlaceText(lib.Find(kept)->last), "bank 2 program 4 (serial /dev/ttyS0, 38400 baud)");

    std::string error;
    EXPECT_EQ(lib.Resolve(kept.substr(0, 6), error), kept);
    EXPECT_EQ(lib.Resolve(gone.substr(0, 12), error), gone);
    EXPECT_EQ(lib.Resolve(kept.substr(0, 5), error), std::nullopt);
    EXPECT_NE(error.find("at least 6"), std::string::npos);
    EXPECT_EQ(lib.Resolve(kept.substr(0, 6) == "000000" ? "111111" : "000000", error),
              std::nullopt);
    EXPECT_NE(error.find("no program"), std::string::npos) << error;
    EXPECT_EQ(lib.Resolve("zzzzzz", error), std::nullopt);
}

// A prefix that two texts share is refused, not resolved to one of them.
TEST_F(ProgramLibraryTest, AnAmbiguousPrefixIsRefused) {
    OpenLibrary();
    std::vector<std::string> shas;
    for (int i = 0; i < 20000; ++i) shas.push_back(TextSha256(ProgramText("P" + std::to_string(i))));
    std::sort(shas.begin(), shas.end());
    std::size_t pair = shas.size();
    for (std::size_t i = 0; i + 1 < shas.size() && pair == shas.size(); ++i)
        if (shas[i].compare(0, 6, shas[i + 1], 0, 6) != 0) continue;
        else pair = i;
    if (pair == shas.size()) GTEST_SKIP() << "no shared 6-digit prefix among the generated texts";
    for (int i = 0; i < 20000; ++i) {
        const std::string text = ProgramText("P" + std::to_string(i));
        const std::string sha = TextSha256(text);
        if (sha == shas[pair] || sha == shas[pair + 1]) Store(text, How::Imported, InFile("/p"));
    }
    std::string error;
    EXPECT_EQ(lib.Resolve(shas[pair].substr(0, 6), error), std::nullopt);
    EXPECT_NE(error.find("more than one"), std::string::npos) << error;
    EXPECT_EQ(lib.Resolve(shas[pair], error), shas[pair]);
}

TEST_F(ProgramLibraryTest, ADatabaseOfTheFirstVersionIsBroughtUpToDate) {
    std::filesystem::create_directories(folder.path / "data");
    // The first version's schema, exactly as it was released, with one text in it.
    ASSERT_TRUE(RawSql(path,
                       "CREATE TABLE texts(id INTEGER PRIMARY KEY, sha256 TEXT NOT NULL UNIQUE,"
                       " name TEXT NOT NULL, size INTEGER NOT NULL, first_seen TEXT NOT NULL,"
                       " body BLOB NOT NULL);"
                       "CREATE TABLE sightings(id INTEGER PRIMARY KEY, text_id INTEGER NOT NULL"
                       " REFERENCES texts(id), how TEXT NOT NULL, name TEXT NOT NULL,"
                       " bank INTEGER NOT NULL, program INTEGER NOT NULL, link TEXT NOT NULL,"
                       " path TEXT NOT NULL, entry TEXT NOT NULL, seen TEXT NOT NULL);"
                       "CREATE INDEX sightings_by_text ON sightings(text_id, id);"
                       "INSERT INTO texts VALUES(1, 'abcdef0123', 'Old Cab Sim', 9,"
                       " '2025-01-01T00:00:00Z', X'00');"
                       "INSERT INTO sightings VALUES(1, 1, 'fetched', 'Old Cab Sim', 4, 2, '',"
                       " '', '', '2025-01-01T00:00:00Z');"
                       "PRAGMA application_id=1364347970; PRAGMA user_version=1;"));
    OpenLibrary();
    EXPECT_EQ(lib.SchemaVersion(), kSchemaVersion);
    // What was there is found through the new index, and new texts go in beside it.
    const auto found = lib.Search("cab sim");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "Old Cab Sim");
    EXPECT_EQ(found[0].last.where.bank, 4);
    Store(ProgramText("New Cab"), How::Fetched, OnUnit(1, 1), {}, "info");
    EXPECT_EQ(lib.Search("cab").size(), 2u);
    lib.Close();
    OpenLibrary();  // a second open finds it up to date
    EXPECT_EQ(lib.TextCount(), 2);
}

// Databases that are not ours to write: refused with a reason, left byte for byte as they were.
TEST_F(ProgramLibraryTest, ADatabaseThatCannotBeUsedIsLeftAlone) {
    std::filesystem::create_directories(folder.path / "data");
    struct Case {
        const char* what;
        std::function<void()> make;
        const char* reason;
    };
    const Case cases[] = {
        {"not a database", [&] { WriteFile(path, std::string(8192, 'x')); }, "damaged"},
        {"another program's",
         [&] { RawSql(path, "CREATE TABLE accounts(id INTEGER); PRAGMA user_version=1;"); },
         "not a Quorlin library"},
        {"a newer Quorlin's",
         [&] {
             CProgramLibrary l;
             std::string e;
             l.Open(path, e);
             l.Close();
             RawSql(path, "PRAGMA journal_mode=DELETE; PRAGMA user_version=99;");
         },
         "newer Quorlin"},
        {"damaged pages",
         [&] {
             CProgramLibrary l;
             std::string e;
             l.Open(path, e);
             for (int i = 0; i < 200; ++i)
                 l.Store(ProgramText("P" + std::to_string(i), std::string(500, 'a')), "",
                         How::Imported, InFile("/p"), e);
             l.Close();
             RawSql(path, "PRAGMA journal_mode=DELETE;");
             std::string data = ReadFile(path);
             ASSERT_GT(data.size(), 40000u);
             for (std::size_t i = 8192; i < data.size() - 4096; i += 4096)
                 data.replace(i + 100, 200, std::string(200, '\xA5'));
             WriteFile(path, data);
         },
         "damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path);
        c.make();
        const std::string before = ReadFile(path);
        std::string error;
        EXPECT_FALSE(lib.Open(path, error));
        EXPECT_FALSE(lib.IsOpen());
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_NE(error.find("goes on without it"), std::string::npos) << error;
        EXPECT_FALSE(lib.Store(ProgramText("X"), "", How::Fetched, OnUnit(1, 1), error));
        EXPECT_EQ(ReadFile(path), before);
    }
}

// A copy whose bytes no longer match its key: found when the library opens (which it still
// does, the other copies being sound), refused by Text, and replaced when the text is stored
// again.
TEST_F(ProgramLibraryTest, ADamagedCopyIsFoundOnOpeningRefusedAndReplacedWhenStoredAgain) {
    OpenLibrary();
    const std::string lead = ProgramText("Lead");
    const std::string sha = Store(lead, How::Fetched, OnUnit(3, 12));
    const std::string pad = Store(ProgramText("Pad"), How::Fetched, OnUnit(3, 13));
    lib.Close();
    ASSERT_TRUE(RawSql(path, "UPDATE texts SET body = CAST('PROGRAM \"Lead\"' || char(10) ||"
                             " 'mix 51' || char(10) AS BLOB) WHERE sha256 = '" + sha + "'"));

    OpenLibrary();
    ASSERT_EQ(lib.DamagedTexts().size(), 1u);
    EXPECT_EQ(lib.DamagedTexts()[0].sha256, sha);
    EXPECT_EQ(lib.DamagedTexts()[0].name, "Lead");
    EXPECT_EQ(lib.DamageReport(), "The program library " + path + " holds 1 damaged copy: "
                                  "\"Lead\" (" + sha.substr(0, 12) + "). It cannot be shown or "
                                  "exported; fetch, import or back up the program again to "
                                  "replace it.");
    std::string error;
    EXPECT_FALSE(lib.Text(sha, &error));
    EXPECT_EQ(error, DamagedCopyText("Lead"));
    EXPECT_EQ(lib.Text(pad), ProgramText("Pad"));

    Store(lead, How::Imported, InFile("/home/me/Lead.sig"));
    EXPECT_TRUE(lib.DamagedTexts().empty());
    EXPECT_EQ(lib.Text(sha), lead);
    lib.Close();
    OpenLibrary();
    EXPECT_TRUE(lib.DamagedTexts().empty());
    EXPECT_EQ(lib.Sightings(sha).size(), 2u);
}

TEST_F(ProgramLibraryTest, ALibraryLockedByAnotherQuorlinIsReportedAfterAWait) {
    OpenLibrary();
    Store(ProgramText("Before"), How::Fetched, OnUnit(1, 1));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::string error;
    EXPECT_FALSE(lib.Store(ProgramText("While"), "", How::Fetched, OnUnit(1, 2), error));
    EXPECT_NE(error.find("in use by another program"), std::string::npos) << error;
    // A second Quorlin that opens it meanwhile is told the same, and can still read.
    CProgramLibrary second;
    EXPECT_TRUE(second.Open(path, error)) << error;
    EXPECT_EQ(second.Search("before").size(), 1u);
    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(lib.Store(ProgramText("After"), "", How::Fetched, OnUnit(1, 3), error)) << error;
    EXPECT_EQ(lib.TextCount(), 2);
}

// A full disk: in a child process with a mount namespace of its own, the library lives on a tmpfs
// of 256 KiB. Storing fails with the reason; what was stored before stays readable.
TEST_F(ProgramLibraryTest, AFullDiskFailsAStoreAndKeepsWhatWasStored) {
    const std::string mountPoint = folder / "small";
    std::filesystem::create_directories(mountPoint);
    const std::string files = folder / "files";
    std::filesystem::create_directories(files);
    for (int i = 0; i < 150; ++i)
        WriteFile(files + "/" + std::to_string(i) + ".sig",
                  ProgramText("F" + std::to_string(i), std::string(4000, 'a' + i % 26)));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=256k") != 0)
            _exit(77);
        CProgramLibrary small;
        std::string error;
        if (!small.Open(mountPoint + "/library.sqlite", error)) _exit(10);
        std::string first;
        if (!small.Store(ProgramText("First"), "", How::Fetched, OnUnit(1, 1), error, {}, &first))
            _exit(11);
        int stored = 0;
        bool full = false;
        for (int i = 0; i < 1000 && !full; ++i) {
            if (small.Store(ProgramText("P" + std::to_string(i), std::string(4000, 'a' + i % 26)),
                            "", How::Fetched, OnUnit(1, 2), error))
                ++stored;
            else
                full = true;
        }
        if (!full) _exit(12);
        if (error.find("disk is full") == std::string::npos) _exit(13);
        if (small.Text(first) != ProgramText("First")) _exit(14);
        if (small.TextCount() != stored + 1) _exit(15);
        // An import that runs into the full disk counts as imported only what was stored.
        small.Close();
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(mountPoint + "/library.sqlite" + suffix);
        CProgramLibrary again;
        if (!again.Open(mountPoint + "/library.sqlite", error)) _exit(16);
        const auto result = ImportPaths(again, {files}, [](const std::string&) {});
        if (result.failed == 0) _exit(17);
        if (again.TextCount() != result.newTexts || result.files != result.newTexts) _exit(18);
        if (result.files + result.failed != 150) _exit(19);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "cannot mount a small tmpfs here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's step that failed: " << WEXITSTATUS(status);
}

// A file's place is kept as an absolute path, whichever folder the path was given from.
TEST_F(ProgramLibraryTest, PlacesAreKeptAsAbsolutePaths) {
    OpenLibrary();
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::create_directories(folder.path / "songs/old");
    std::filesystem::current_path(folder.path);
    struct Case {
        const char* given;
        std::string kept;
    };
    const std::string base = folder.path.string();
    const Case cases[] = {
        {"Lead.sig", base + "/Lead.sig"},
        {"./songs/Lead.sig", base + "/songs/Lead.sig"},
        {"songs/old/../Lead.sig", base + "/songs/Lead.sig"},
        {"songs/", base + "/songs"},
        {"/already/absolute.sig", "/already/absolute.sig"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string sha =
            Store(ProgramText("P" + std::to_string(n++)), How::Imported, InFile(c.given));
        const auto sightings = lib.Sightings(sha);
        ASSERT_EQ(sightings.size(), 1u);
        EXPECT_EQ(sightings[0].where.path, c.kept) << c.given;
    }
    // A backup folder's manifest entry stays relative to its folder.
    Where entry = InFile("unit");
    entry.entry = "03 Live/Lead.sig";
    const auto backedUp = lib.Sightings(Store(ProgramText("Q"), How::BackedUp, entry));
    std::filesystem::current_path(home);
    ASSERT_EQ(backedUp.size(), 1u);
    EXPECT_EQ(PlaceText(backedUp[0]), "backup " + base + "/unit (03 Live/Lead.sig)");
}

// The demo unit's library: a fresh file of its own, gone with the run, unless $QUORLIN_LIBRARY
// names the library of every run.
TEST(DemoLibraryPlaceTest, ARunOfItsOwnUnlessTheEnvironmentNamesTheLibrary) {
    ::unsetenv(kLibraryPathVariable);
    std::string first;
    {
        CDemoLibraryPlace place;
        ASSERT_TRUE(place.IsForThisRunOnly());
        first = place.Path();
        EXPECT_NE(first, DefaultLibraryPath());
        EXPECT_EQ(std::filesystem::path(first).filename(), "library.sqlite");
        CDemoLibraryPlace other;
        EXPECT_NE(other.Path(), first) << "two runs share one demo library";
        CProgramLibrary lib;
        std::string error;
        ASSERT_TRUE(lib.Open(place.Path(), error)) << error;
        EXPECT_TRUE(lib.Store(ProgramText("Demo"), {}, How::Fetched, Where{}, error)) << error;
        EXPECT_EQ(lib.TextCount(), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(first).parent_path()));

    ::setenv(kLibraryPathVariable, "/somewhere/chosen.sqlite", 1);
    {
        const CDemoLibraryPlace place;
        EXPECT_EQ(place.Path(), "/somewhere/chosen.sqlite");
        EXPECT_FALSE(place.IsForThisRunOnly());
    }
    ::unsetenv(kLibraryPathVariable);

    // No place at all: the library says so and stays closed (SQLite would make a private one).
    CProgramLibrary lib;
    std::string error;
    EXPECT_FALSE(lib.Open("", error));
    EXPECT_EQ(error,
              "The program library cannot be used: no place could be made for it. Quorlin goes on "
              "without it.");
}

}  // namespace
