// The program library through quorlin-cli as a child process: the unit commands feed it (the
// demo unit), and library search / show / export / duplicates and import read and fill it
// without a unit. The library is the child's own (below its XDG_DATA_HOME, named by
// $QUORLIN_LIBRARY so that the demo unit's runs feed it too); without that variable the demo
// unit's programs stay out of it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Runs `sql` on the database file `path` directly; true when it ran.
bool RawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

class CliLibraryTest : public ::testing::Test {
protected:
    // The demo unit feeds a library of its own run unless $QUORLIN_LIBRARY names one: these
    // tests name the user's (the child's default), so that its runs fill one library.
    void SetUp() override { ::setenv("QUORLIN_LIBRARY", LibraryFile().c_str(), 1); }
    void TearDown() override { ::unsetenv("QUORLIN_LIBRARY"); }
    CliResult Run(const std::vector<std::string>& args, const CliLaunch& launch = {}) {
        return RunCli(args, m_sandbox.ConfigHome(), launch);
    }
    fs::path LibraryFile() const {
        return fs::path(m_sandbox.ConfigHome()) / "data/Brisca/Quorlin/library.sqlite";
    }
    std::string Path(const std::string& name) const { return (m_sandbox.Dir() / name).string(); }

    CCliSandbox m_sandbox;
};

TEST_F(CliLibraryTest, ABackupFeedsTheLibraryThatIsSearchedShownExportedAndImportedInto) {
    const auto backup = Run({"--demo", "backup-unit", Path("unit")});
    ASSERT_EQ(backup.exitCode, 0) << backup.err;
    ASSERT_TRUE(fs::exists(LibraryFile()));

    // One line per stored text: 12 hex digits, the name, where it lives now; any letter case.
    const auto room = Run({"library", "search", "ROOM"});
    ASSERT_EQ(room.exitCode, 0) << room.err;
    const std::regex line("[0-9a-f]{12}\t[^\t]+\t[^\t]+");
    std::string snare;
    for (const auto& l : Lines(room.out)) {
        EXPECT_TRUE(std::regex_match(l, line)) << l;
        EXPECT_THAT(l, HasSubstr("oom"));
        if (l.find("\tSnare Room\t") != std::string::npos) snare = l.substr(0, 12);
    }
    ASSERT_FALSE(snare.empty()) << room.out;
    EXPECT_THAT(room.out, HasSubstr("\tbackup " + Path("unit") + " (10 Mine/Snare Room.sig)\n"));
    // Shorter than three characters: found all the same.
    EXPECT_THAT(Run({"library", "search", "nA"}).out, HasSubstr("\tSnare Room\t"));
    const auto none = Run({"library", "search", "no such program"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");

    const auto show = Run({"library", "show", snare.substr(0, 6)});
    ASSERT_EQ(show.exitCode, 0) << show.err;
    EXPECT_THAT(show.out, HasSubstr("name: Snare Room\n"));
    EXPECT_THAT(show.out, HasSubstr("\tbacked up\tbackup " + Path("unit")));
    const auto exported = Run({"library", "export", snare.substr(0, 8), Path("out.sig")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(CCliSandbox::ReadFile(Path("out.sig")),
              CCliSandbox::ReadFile(Path("unit/10 Mine/Snare Room.sig")));

    // The copy under another name, and the backup once more: each text is still stored once,
    // and the one seen under two names and in several places is a duplicate.
    fs::create_directories(Path("mail/2019"));
    fs::copy_file(Path("out.sig"), Path("mail/2019/snare for Bob.sig"));
    const auto import = Run({"import", Path("mail"), Path("unit")});
    ASSERT_EQ(import.exitCode, 0) << import.err;
    EXPECT_THAT(import.out, HasSubstr("(0 new to the library)"));
    const auto duplicates = Run({"library", "duplicates"});
    ASSERT_EQ(duplicates.exitCode, 0) << duplicates.err;
    const auto blockStart = duplicates.out.find(snare + "  Snare Room\n");
    ASSERT_NE(blockStart, std::string::npos) << duplicates.out;
    const auto block = duplicates.out.substr(blockStart, duplicates.out.find("\n\n", blockStart) -
                                                             blockStart);
    EXPECT_THAT(block, HasSubstr("\n  "));
    EXPECT_THAT(block, HasSubstr("snare for Bob.sig\tsnare for Bob"));
    EXPECT_THAT(block, HasSubstr("\timported\tbackup " + Path("unit") + " (10 Mine/Snare Room.sig)"));
}

// A stored copy that no longer matches its SHA-256 (a byte changed on the disk, a copy cut
// short, a size that does not fit) is never given out as the program: show and export refuse
// it, every library command names it, and storing the program again replaces the copy.
TEST_F(CliLibraryTest, ADamagedCopyIsRefusedByShowAndExportAndReplacedWhenSeenAgain) {
    const auto backup = Run({"--demo", "backup-unit", Path("unit")});
    ASSERT_EQ(backup.exitCode, 0) << backup.err;
    std::string snare;
    for (const auto& l : Lines(Run({"library", "search", "Snare Room"}).out))
        if (l.find("\tSnare Room\t") != std::string::npos) snare = l.substr(0, 12);
    ASSERT_FALSE(snare.empty());
    struct Case {
        const char* what;
        const char* set;
    };
    const Case cases[] = {
        {"a byte changed", "body = CAST(replace(CAST(body AS TEXT), 'Snare', 'Snarl') AS BLOB)"},
        {"cut short", "body = substr(body, 1, length(body) - 1)"},
        {"a size that does not fit", "size = size + 1"},
    };
    int round = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(RawSql(LibraryFile().string(), std::string("UPDATE texts SET ") + c.set +
                                                       " WHERE sha256 LIKE '" + snare + "%'"));
        const std::string refused = "the library's copy of \"Snare Room\" is damaged: it no "
                                    "longer matches its SHA-256; fetch, import or back up the "
                                    "program again to replace it\n";
        const auto show = Run({"library", "show", snare});
        EXPECT_EQ(show.exitCode, 1);
        EXPECT_EQ(show.out, "");
        EXPECT_THAT(show.err, HasSubstr(refused));
        const auto exported = Run({"library", "export", snare, Path("out.sig")});
        EXPECT_EQ(exported.exitCode, 1);
        EXPECT_THAT(exported.err, HasSubstr(refused));
        EXPECT_FALSE(fs::exists(Path("out.sig")));
        // The check on opening names it; the other copies are given out as before.
        const auto search = Run({"library", "search", "o"});
        EXPECT_EQ(search.exitCode, 0);
        EXPECT_THAT(search.err, HasSubstr("holds 1 damaged copy: \"Snare Room\" (" + snare +
                                          "). It cannot be shown or exported;"));
        const auto vocal = Lines(Run({"library", "search", "Vocal Plate"}).out);
        ASSERT_FALSE(vocal.empty());
        EXPECT_EQ(Run({"library", "show", vocal[0].substr(0, 12)}).exitCode, 0);

        // Backed up again: the copy is whole again.
        const std::string again = Path("unit again " + std::to_string(++round));
        ASSERT_EQ(Run({"--demo", "backup-unit", again}).exitCode, 0);
        const auto repaired = Run({"library", "export", snare, Path("out.sig")});
        EXPECT_EQ(repaired.exitCode, 0) << repaired.err;
        EXPECT_EQ(repaired.err, "");
        EXPECT_EQ(CCliSandbox::ReadFile(Path("out.sig")),
                  CCliSandbox::ReadFile(Path("unit/10 Mine/Snare Room.sig")));
        fs::remove(Path("out.sig"));
    }
}

// A damaged library: the unit's work goes on, the file is left as it was, and Delete, which
// cannot keep a copy, does not delete without a yes that the command line cannot give.
TEST_F(CliLibraryTest, ADamagedLibraryIsLeftAloneAndTheUnitWorkGoesOn) {
    fs::create_directories(LibraryFile().parent_path());
    const std::string damaged(10000, 'Q');
    CCliSandbox::WriteFile(LibraryFile(), damaged);

    // A command with nothing to record says nothing of the library; one that fetches says once
    // why the program is not recorded, and does its work.
    const auto programs = Run({"--demo", "programs", "10"});
    EXPECT_EQ(programs.exitCode, 0) << programs.err;
    EXPECT_THAT(programs.out, HasSubstr("U 0 Vocal Plate"));
    EXPECT_EQ(programs.err, "");
    const auto backup = Run({"--demo", "backup-unit", Path("unit")});
    EXPECT_EQ(backup.exitCode, 0) << backup.err;
    EXPECT_THAT(backup.err, HasSubstr("cannot be used: it is damaged"));
    EXPECT_EQ(backup.err.find("cannot be used"), backup.err.rfind("cannot be used"));
    EXPECT_TRUE(fs::exists(Path("unit/10 Mine/Vocal Plate.sig")));

    const auto del = Run({"--demo", "delete", "10", "0"});
    EXPECT_EQ(del.exitCode, 1);
    EXPECT_THAT(del.err, HasSubstr("cannot keep a copy of program 0 of bank 10 in the library: it "
                                   "is damaged or not a Quorlin library. Delete it anyway?"));
    EXPECT_THAT(del.err, HasSubstr("Program 0 of bank 10 is not deleted."));

    const auto search = Run({"library", "search", "vocal"});
    EXPECT_EQ(search.exitCode, 1);
    EXPECT_THAT(search.err, HasSubstr("it is damaged"));
    EXPECT_EQ(CCliSandbox::ReadFile(LibraryFile()), damaged);
}

// The other unit commands: a bank backup, a fetch, a load and a delete each leave their sighting.
TEST_F(CliLibraryTest, BankBackupFetchLoadAndDeleteFeedTheLibrary) {
    fs::create_directories(Path("bank"));
    ASSERT_EQ(Run({"--demo", "backup", "10", Path("bank")}).exitCode, 0);
    ASSERT_EQ(Run({"--demo", "fetch", "10", "3", Path("snare.sig")}).exitCode, 0);
    CCliSandbox::WriteFile(Path("new.sig"), "preset \"Brand New\"\nmix 1\n");
    const auto load = Run({"--demo", "load", "12", Path("new.sig")});
    ASSERT_EQ(load.exitCode, 0) << load.err;
    const auto del = Run({"--demo", "delete", "10", "0"});
    ASSERT_EQ(del.exitCode, 0) << del.err;

    const auto snare = Run({"library", "search", "snare"});
    ASSERT_EQ(snare.exitCode, 0);
    const auto show = Run({"library", "show", snare.out.substr(0, 12)});
    EXPECT_THAT(show.out, HasSubstr("\tbacked up\t" + Path("bank/Snare Room.sig") + "\t"));
    EXPECT_THAT(show.out, HasSubstr("\tfetched\tbank 10 program 3 (demo unit)\tSnare Room"));
    EXPECT_THAT(Run({"library", "search", "brand"}).out, HasSubstr("\tBrand New\tbank 12\n"));
    EXPECT_THAT(Run({"library", "search", "vocal plate"}).out,
                HasSubstr("\tVocal Plate\tdeleted from bank 10\n"));
}

// A ".sig" that is a symbolic link is refused wherever it points: in a plain folder, and in a
// backup whose listed file was replaced by a link out of it (reported once, and not taken up
// again as a plain file). What is reported as not imported is not in the library.
TEST_F(CliLibraryTest, ALinkNeverBringsAFileFromOutsideIntoTheLibrary) {
    ASSERT_EQ(Run({"--demo", "backup-unit", Path("unit")}).exitCode, 0);
    CCliSandbox::WriteFile(Path("outside.sig"), "preset \"Secret Plain\"\nmix 1\n");
    CCliSandbox::WriteFile(Path("outside2.sig"), "preset \"Secret Listed\"\nmix 1\n");
    fs::create_directories(Path("plain"));
    CCliSandbox::WriteFile(Path("plain/inside.sig"), "preset \"Inside\"\nmix 1\n");
    fs::create_symlink(Path("outside.sig"), Path("plain/link.sig"));
    const std::string listed = Path("unit/10 Mine/Vocal Plate.sig");
    fs::remove(listed);
    fs::create_symlink(Path("outside2.sig"), listed);

    const auto import = Run({"import", Path("plain"), Path("unit")});
    EXPECT_EQ(import.exitCode, 1);
    EXPECT_THAT(import.err, HasSubstr("Not imported: " + Path("plain/link.sig") +
                                      ": it is a symbolic link, which is not followed here\n"));
    EXPECT_THAT(import.err, HasSubstr("Not imported: " + listed + ": outside the backup folder\n"));
    EXPECT_EQ(import.err.find(listed), import.err.rfind(listed)) << import.err;
    EXPECT_THAT(import.out, HasSubstr(", 2 not imported.\n"));
    for (const char* name : {"Secret Plain", "Secret Listed"}) {
        const auto found = Run({"library", "search", name});
        EXPECT_EQ(found.out, "") << name << " entered the library";
    }
    EXPECT_THAT(Run({"library", "search", "inside"}).out, HasSubstr("\tInside\t"));
}

// Without $QUORLIN_LIBRARY the demo unit's programs never enter the user's library: each run
// keeps them in a library of its own in the temporary folder, which goes with the run.
TEST_F(CliLibraryTest, TheDemoUnitsProgramsStayOutOfTheUsersLibrary) {
    ::unsetenv("QUORLIN_LIBRARY");
    const fs::path tmp = m_sandbox.Dir() / "tmp";
    fs::create_directories(tmp);
    ::setenv("TMPDIR", tmp.c_str(), 1);
    fs::create_directories(Path("bank"));
    const auto backup = Run({"--demo", "backup", "10", Path("bank")});
    const auto fetch = Run({"--demo", "fetch", "10", "3", Path("snare.sig")});
    const auto del = Run({"--demo", "delete", "10", "0"});
    ::unsetenv("TMPDIR");
    EXPECT_EQ(backup.exitCode, 0) << backup.err;
    EXPECT_EQ(fetch.exitCode, 0) << fetch.err;
    EXPECT_EQ(del.exitCode, 0) << del.err;  // the copy before Delete went to the run's library
    EXPECT_EQ(backup.err + fetch.err + del.err, "");
    EXPECT_FALSE(fs::exists(LibraryFile()));
    EXPECT_EQ(Run({"library", "search", "snare"}).exitCode, 1);
    EXPECT_TRUE(fs::is_empty(tmp)) << "a demo library was left behind in " << tmp;

    // Named by $QUORLIN_LIBRARY, the library is fed by the demo unit too.
    ::setenv("QUORLIN_LIBRARY", Path("chosen.sqlite").c_str(), 1);
    ASSERT_EQ(Run({"--demo", "fetch", "10", "3", Path("snare.sig")}).exitCode, 0);
    EXPECT_THAT(Run({"library", "search", "snare"}).out, HasSubstr("\tSnare Room\t"));
}

// Paths given relative to the current folder are kept absolute in the library, from a unit
// command as from an import.
TEST_F(CliLibraryTest, RelativePathsAreKeptAsAbsolutePlaces) {
    fs::create_directories(Path("bank"));
    fs::create_directories(Path("songs"));
    CCliSandbox::WriteFile(Path("songs/Own.sig"), "preset \"Own Song\"\nmix 1\n");
    CliLaunch here;
    here.wrapper = {"env", "-C", m_sandbox.Dir().string()};
    const auto backup = Run({"--demo", "backup", "10", "bank"}, here);
    ASSERT_EQ(backup.exitCode, 0) << backup.err;
    const auto import = Run({"import", "./songs"}, here);
    ASSERT_EQ(import.exitCode, 0) << import.err;

    EXPECT_THAT(Run({"library", "search", "own song"}).out,
                HasSubstr("\tOwn Song\t" + Path("songs/Own.sig") + "\n"));
    const auto snare = Run({"library", "search", "snare"});
    ASSERT_EQ(snare.exitCode, 0) << snare.err;
    EXPECT_THAT(Run({"library", "show", snare.out.substr(0, 12)}).out,
                HasSubstr("\tbacked up\t" + Path("bank/Snare Room.sig") + "\t"));
}

TEST_F(CliLibraryTest, UsageErrorsOfTheLibraryCommands) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"library"},
             {"library", "frob"},
             {"library", "search"},
             {"library", "export", "abcdef"},
             {"library", "duplicates", "x"},
             {"import"}}) {
        const auto r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_THAT(r.err, HasSubstr("Usage:"));
    }
    const auto shortPrefix = Run({"library", "show", "abc"});
    EXPECT_EQ(shortPrefix.exitCode, 1);
    EXPECT_THAT(shortPrefix.err, HasSubstr("at least 6 hexadecimal digits"));
}

}  // namespace
