// The files quorlin-cli writes, end to end: what fetch and backup do with what already stands at
// a path (files, fifos, devices, links, folders, "-"), names that are long or collide, a full
// disk, folders that take no files, a closed output, and signals that end a run.
//
// Most runs use the demo unit (quick: its pauses pass on a simulated clock); the runs that need
// seeded programs or real time use quorlin-sim on a pseudo-terminal. Mounts (a full or read-only
// file system) happen in a private mount namespace of the child (unshare -m); where that is not
// permitted those tests are skipped.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>

#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"
#include "tests/cli/SimServerProcess.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

const std::vector<std::string> kBank10 = {"Vocal Plate", "Guitar Wash", "Snare Room"};

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Temporary files of quorlin-cli left in `folder`.
std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> left;
    for (const auto& name : Names(folder)) {
        if (name.rfind(".quorlin-", 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".tmp") == 0)
            left.push_back(name);
    }
    return left;
}

int Occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

class CliFilesTest : public ::testing::Test {
protected:
    CliResult Demo(std::vector<std::string> args, const CliLaunch& launch = {}) {
        args.insert(args.begin(), "--demo");
        return RunCli(args, m_sandbox.ConfigHome(), launch);
    }
    std::string Path(const std::string& name) const { return (m_sandbox.Dir() / name).string(); }

    // The text of program 0 of bank 10 (Vocal Plate) as fetch writes it.
    std::string VocalPlate() {
        const CliResult r = Demo({"fetch", "10", "0", Path("reference.sig")});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::string text = CCliSandbox::ReadFile(Path("reference.sig"));
        fs::remove(Path("reference.sig"));
        return text;
    }

    // What a run in a private mount namespace saw: whether the tmpfs was mounted, how the run
    // ended, and the mount's names and the content of its file kept.sig afterwards.
    struct MountedRun {
        bool mounted = false;
        CliResult result;
        std::string listing;
        std::string kept;
    };
    // quorlin-cli run with a tmpfs (mount options `options`) on Path("mnt"), after the shell
    // commands `prepare` (MNT stands for the mount point).
    MountedRun RunOnTmpfs(const std::string& options, const std::string& prepare,
                          const std::vector<std::string>& args) {
        const std::string mnt = Path("mnt");
        fs::create_directories(mnt);
        const std::string script = "mount -t tmpfs -o " + options + " tmpfs '" + mnt +
                                   "' || exit 125\n"
                                   "touch '" +
                                   Path("mounted") +
                                   "'\n"
                                   "MNT='" +
                                   mnt + "'\n" + prepare +
                                   "\n\"$@\"\nrc=$?\n"
                                   "ls -A '" +
                                   mnt + "' > '" + Path("listing") +
                                   "'\n"
                                   "cat '" +
                                   mnt + "/kept.sig' > '" + Path("kept") +
                                   "' 2>/dev/null\nexit $rc\n";
        CliLaunch launch;
        launch.wrapper = {"unshare", "-m", "--propagation", "private", "sh", "-c", script, "sh"};
        MountedRun run;
        run.result = RunCli(args, m_sandbox.ConfigHome(), launch);
        run.mounted = fs::exists(Path("mounted"));
        run.listing = CCliSandbox::ReadFile(Path("listing"));
        run.kept = CCliSandbox::ReadFile(Path("kept"));
        for (const char* name : {"mounted", "listing", "kept"}) fs::remove(Path(name));
        return run;
    }

    CCliSandbox m_sandbox;
};

TEST_F(CliFilesTest, FetchReplacesOnlyARegularFileAndWritesDevicesAndFifosInPlace) {
    const std::string program = VocalPlate();
    ASSERT_THAT(program, HasSubstr("\"Vocal Plate\""));

    struct Case {
        const char* what;
        std::function<std::string()> make;  // puts the target in place and gives its path
        std::function<void(const std::string& path, const CliResult&)> check;
    };
    struct stat before {};
    int reader = -1;
    const std::vector<Case> cases = {
        {"a new file", [&] { return Path("new.sig"); },
         [&](const std::string& path, const CliResult& r) {
             EXPECT_EQ(r.exitCode, 0) << r.err;
             EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
             EXPECT_EQ(CCliSandbox::ReadFile(path), program);
         }},
        {"a regular file, replaced whole",
         [&] {
             CCliSandbox::WriteFile(Path("old.sig"), "an older program text");
             ::chmod(Path("old.sig").c_str(), 0640);
             ::lstat(Path("old.sig").c_str(), &before);
             return Path("old.sig");
         },
         [&](const std::string& path, const CliResult& r) {
             EXPECT_EQ(r.exitCode, 0) << r.err;
             EXPECT_EQ(CCliSandbox::ReadFile(path), program);
             struct stat after {};
             ::lstat(path.c_str(), &after);
             // A new file renamed into place, never the old one cut and rewritten.
             EXPECT_NE(after.st_ino, before.st_ino);
             EXPECT_EQ(after.st_mode & 07777, 0640u);
         }},
        {"a fifo with a reader",
         [&] {
             ::mkfifo(Path("fifo").c_str(), 0600);
             reader = ::open(Path("fifo").c_str(), O_RDONLY | O_NONBLOCK);
             return Path("fifo");
         },
         [&](const std::string& path, const CliResult& r) {
             EXPECT_EQ(r.exitCode, 0) << r.err;
             std::string got;
             char buffer[4096];
             for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
                 got.append(buffer, static_cast<std::size_t>(n));
             ::close(reader);
             EXPECT_EQ(got, program);
             EXPECT_EQ(fs::symlink_status(path).type(), fs::file_type::fifo);
         }},
        {"a character device",
         [&] {
             // The null device, made in the sandbox where this may be done, so that a fault
             // here can never replace the system's own /dev/null.
             if (::geteuid() == 0 &&
                 ::mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
                 return Path("null");
             return std::string("/dev/null");
         },
         [&](const std::string& path, const CliResult& r) {
             EXPECT_EQ(r.exitCode, 0) << r.err;
             EXPECT_EQ(fs::symlink_status(path).type(), fs::file_type::character);
         }},
        {"a symbolic link",
         [&] {
             CCliSandbox::WriteFile(Path("outside.sig"), "outside");
             fs::create_symlink(Path("outside.sig"), Path("link.sig"));
             return Path("link.sig");
         },
         [&](const std::string& path, const CliResult& r) {
             EXPECT_EQ(r.exitCode, 1);
             EXPECT_EQ(r.err, "Cannot write " + path +
                                  ": it is a symbolic link; links are not followed\n");
             EXPECT_TRUE(fs::is_symlink(path));
             EXPECT_EQ(CCliSandbox::ReadFile(Path("outside.sig")), "outside");
         }},
        {"a folder",
         [&] {
             fs::create_directory(Path("folder.sig"));
             return Path("folder.sig");
         },
         [&](const std::string& path, const CliResult& r) {
             EXPECT_EQ(r.exitCode, 1);
             EXPECT_EQ(r.err, "Cannot write " + path + ": it is a folder\n");
             EXPECT_TRUE(fs::is_directory(path));
             EXPECT_TRUE(fs::is_empty(path));
         }},
        {"standard output", [] { return std::string("-"); },
         [&](const std::string&, const CliResult& r) {
             EXPECT_EQ(r.exitCode, 0) << r.err;
             EXPECT_EQ(r.out, program);
             EXPECT_FALSE(fs::exists(fs::current_path() / "-"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.make();
        c.check(path, Demo({"fetch", "10", "0", path}));
    }
    EXPECT_THAT(Leftovers(m_sandbox.Dir().string()), ::testing::IsEmpty());
}

TEST_F(CliFilesTest, BackupNeverWritesThroughLinksPlantedInTheFolder) {
    const std::string folder = Path("backup");
    fs::create_directories(folder);
    CCliSandbox::WriteFile(Path("outside.sig"), "outside");
    // Links at the names a temporary file could have, the former fixed one among them.
    std::vector<std::string> planted = {".quorlin.tmp", ".quorlin-.tmp"};
    for (const auto& name : kBank10) {
        for (const char* pattern : {"%s.sig.part", "%s.sig.tmp", ".%s.sig.tmp", "%s.sig~"}) {
            char text[256];
            std::snprintf(text, sizeof text, pattern, name.c_str());
            planted.emplace_back(text);
        }
    }
    for (const auto& name : planted) fs::create_symlink(Path("outside.sig"), folder + "/" + name);

    const CliResult r = Demo({"backup", "10", folder});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(CCliSandbox::ReadFile(Path("outside.sig")), "outside");
    for (const auto& name : kBank10) {
        const std::string file = folder + "/" + name + ".sig";
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(file))) << file;
        EXPECT_THAT(CCliSandbox::ReadFile(file), HasSubstr("\"" + name + "\""));
    }
    for (const auto& name : planted) EXPECT_TRUE(fs::is_symlink(folder + "/" + name)) << name;
    // Nothing else is left behind.
    EXPECT_EQ(Names(folder).size(), planted.size() + kBank10.size());
}

TEST_F(CliFilesTest, BackupLeavesALinkWhereAFileBelongsAndGoesOn) {
    const std::string folder = Path("backup");
    fs::create_directories(folder);
    CCliSandbox::WriteFile(Path("outside.sig"), "outside");
    fs::create_symlink(Path("outside.sig"), folder + "/Guitar Wash.sig");

    const CliResult r = Demo({"backup", "10", folder});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, Lines({folder + "/Vocal Plate.sig", folder + "/Snare Room.sig"}));
    EXPECT_EQ(r.err, "Skipped 1 Guitar Wash: cannot write " + folder +
                         "/Guitar Wash.sig: it is a symbolic link; links are not followed\n");
    EXPECT_TRUE(fs::is_symlink(folder + "/Guitar Wash.sig"));
    EXPECT_EQ(CCliSandbox::ReadFile(Path("outside.sig")), "outside");
}

TEST_F(CliFilesTest, AClosedOutputIsReportedOnceAndTheFilesAreStillWritten) {
    CliLaunch closed;
    closed.closedOutput = true;
    const std::string folder = Path("backup");
    fs::create_directories(folder);
    const std::string broken = "Cannot write to standard output: Broken pipe";

    // `quorlin-cli backup … | head -1`, with head gone before the first line.
    CliResult r = Demo({"backup", "10", folder}, closed);
    EXPECT_EQ(r.signal, 0) << "ended by a signal";
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(Occurrences(r.err, broken), 1) << r.err;
    EXPECT_EQ(Names(folder),
              std::vector<std::string>({"Guitar Wash.sig", "Snare Room.sig", "Vocal Plate.sig"}));

    r = Demo({"fetch", "10", "0", "-"}, closed);
    EXPECT_EQ(r.signal, 0) << "ended by a signal";
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, broken + "\n");
}

TEST_F(CliFilesTest, AFullDiskIsNamedAndLeavesNoCutOffFile) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string mnt = Path("mnt");
    const std::vector<Case> cases = {
        {{"fetch", "10", "0", mnt + "/kept.sig"},
         "Cannot write " + mnt + "/kept.sig: No space left on device\n"},
        {{"backup", "10", mnt},
         "Skipped 0 Vocal Plate: cannot write " + mnt +
             "/Vocal Plate.sig: No space left on device\n"
             "Skipped 1 Guitar Wash: cannot write " +
             mnt +
             "/Guitar Wash.sig: No space left on device\n"
             "Skipped 3 Snare Room: cannot write " +
             mnt + "/Snare Room.sig: No space left on device\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        std::vector<std::string> args = {"--demo"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        // Two pages: one for an older kept.sig, the other filled up.
        const MountedRun run = RunOnTmpfs(
            "size=8k",
            "printf old > \"$MNT/kept.sig\"\nhead -c 65536 /dev/zero > \"$MNT/fill\" 2>/dev/null",
            args);
        if (!run.mounted) GTEST_SKIP() << "no private mount namespace: " << run.result.err;
        EXPECT_EQ(run.result.exitCode, 1);
        EXPECT_EQ(run.result.out, "");
        EXPECT_EQ(run.result.err, c.message);
        EXPECT_EQ(run.listing, "fill\nkept.sig\n");
        EXPECT_EQ(run.kept, "old");
    }
}

TEST_F(CliFilesTest, AReadOnlyFolderIsRefusedBeforeTheUnitIsAsked) {
    // The connection leads nowhere: a command that reached for the unit would say so.
    const std::string nowhere = Path("no-such-tty");
    const std::string mnt = Path("mnt");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--serial", nowhere, "backup", "10", mnt},
         "Cannot back up into " + mnt + ": Read-only file system\n"},
        {{"--serial", nowhere, "fetch", "10", "0", mnt + "/new.sig"},
         "Cannot write " + mnt + "/new.sig: Read-only file system\n"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args[2]);
        const MountedRun run = RunOnTmpfs("ro,size=8k", "", args);
        if (!run.mounted) GTEST_SKIP() << "no private mount namespace: " << run.result.err;
        EXPECT_EQ(run.result.exitCode, 1);
        EXPECT_EQ(run.result.err, message);
        EXPECT_EQ(run.listing, "");
    }
}

TEST_F(CliFilesTest, AFolderWithoutWritePermissionIsRefusedBeforeTheUnitIsAsked) {
    // Root may write anywhere: the runs are made as nobody.
    fs::permissions(m_sandbox.Dir(), fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    const std::string locked = Path("locked");
    fs::create_directories(locked);
    // A folder inside one that nobody may look into.
    const std::string hidden = Path("closed") + "/inner";
    fs::create_directories(hidden);
    fs::permissions(Path("closed"), fs::perms::owner_all);
    CliLaunch nobody;
    nobody.wrapper = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const std::string nowhere = Path("no-such-tty");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--serial", nowhere, "backup", "10", locked},
         "Cannot back up into " + locked + ": Permission denied\n"},
        {{"--serial", nowhere, "fetch", "10", "0", locked + "/new.sig"},
         "Cannot write " + locked + "/new.sig: Permission denied\n"},
        {{"--serial", nowhere, "backup", "10", hidden},
         "Cannot back up into " + hidden + ": Permission denied\n"},
        {{"--serial", nowhere, "fetch", "10", "0", hidden + "/new.sig"},
         "Cannot write " + hidden + "/new.sig: Permission denied\n"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args[2]);
        const CliResult r = RunCli(args, m_sandbox.ConfigHome(), nobody);
        if (r.exitCode == 1 && r.err.find("setpriv") != std::string::npos)
            GTEST_SKIP() << "cannot run as nobody: " << r.err;
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, message);
        EXPECT_TRUE(fs::is_empty(locked));
    }
}

// Programs seeded into bank 40 of a unit served by quorlin-sim.
class CliSeededFilesTest : public CliFilesTest {
protected:
    // Each name becomes a file of the seed folder, in this order (file names sort the same).
    bool StartUnit(const std::vector<std::string>& programNames) {
        const fs::path bank = m_sandbox.Dir() / "seed" / "40 Names";
        fs::create_directories(bank);
        for (std::size_t i = 0; i < programNames.size(); ++i) {
            char file[32];
            std::snprintf(file, sizeof file, "%02zu.sig", i);
            CCliSandbox::WriteFile(bank / file, "preset \"" + programNames[i] + "\"\nmix 50\n");
        }
        m_pUnit = std::make_unique<CSimServerProcess>(std::vector<std::string>{
            "--line-rate", "0", "--seed", (m_sandbox.Dir() / "seed").string()});
        return !m_pUnit->Path().empty();
    }
    CliResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--serial", m_pUnit->Path()});
        return RunCli(args, m_sandbox.ConfigHome());
    }
    std::unique_ptr<CSimServerProcess> m_pUnit;
};

TEST_F(CliSeededFilesTest, BackupNamesFitTheFileSystemAndNoFileOfTheRunIsReplaced) {
    const std::string longName = "Long " + std::string(295, 'x');
    const std::vector<std::string> programs = {longName, "Lead", "LEAD", "Le/ad", "Le_ad"};
    ASSERT_TRUE(StartUnit(programs));
    const std::string folder = Path("backup");
    fs::create_directories(folder);

    const CliResult r = Run({"backup", "40", folder});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string cut = longName.substr(0, 255 - 4) + ".sig";
    EXPECT_EQ(r.out, Lines({folder + "/" + cut, folder + "/Lead.sig", folder + "/LEAD (2).sig",
                            folder + "/Le_ad.sig", folder + "/Le_ad (2).sig"}));
    // What was reported is what is on disk: one file per program, each with its own program.
    ASSERT_EQ(Names(folder).size(), programs.size());
    std::istringstream lines(r.out);
    std::string path;
    for (const auto& name : programs) {
        std::getline(lines, path);
        EXPECT_LE(fs::path(path).filename().string().size(), 255u);
        EXPECT_THAT(CCliSandbox::ReadFile(path), HasSubstr("\"" + name + "\"")) << path;
    }
}

TEST_F(CliSeededFilesTest, ATerminatedBackupLeavesNoTemporaryFileAndOnlyWholeFiles) {
    ASSERT_TRUE(StartUnit({"Alpha", "Bravo", "Charlie", "Delta"}));
    const std::string full = Path("full");
    fs::create_directories(full);
    CliResult r = Run({"backup", "40", full});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(Names(full).size(), 4u);

    // SIGTERM, and on another run SIGINT, after 0, 1, 2 and 3 files: each lands somewhere
    // between fetching a program and renaming its file into place.
    for (int signal : {SIGTERM, SIGINT}) {
        for (std::size_t after = 0; after < 4; ++after) {
            SCOPED_TRACE("signal " + std::to_string(signal) + " after " + std::to_string(after));
            const std::string folder =
                Path("run" + std::to_string(signal) + "-" + std::to_string(after));
            fs::create_directories(folder);
            CCliChild child({"--serial", m_pUnit->Path(), "backup", "40", folder},
                            m_sandbox.ConfigHome());
            ASSERT_TRUE(child.Started());
            ASSERT_TRUE(child.WaitForLines(after));
            child.Signal(signal);
            r = child.Finish();
            EXPECT_TRUE(r.signal == signal || r.exitCode == 0)
                << "exit " << r.exitCode << ", signal " << r.signal << ": " << r.err;
            EXPECT_THAT(Leftovers(folder), ::testing::IsEmpty());
            for (const auto& name : Names(folder))
                EXPECT_EQ(CCliSandbox::ReadFile(folder + "/" + name),
                          CCliSandbox::ReadFile(full + "/" + name))
                    << name;
        }
    }
}

}  // namespace

TEST_F(CliSeededFilesTest, BackupReplacesOnlyAnEarlierBackupOfTheSameProgramAndKeepsItsText) {
    ASSERT_TRUE(StartUnit({"CON", "Vocal Plate", "Lead"}));
    const std::string folder = Path("backup");
    fs::create_directories(folder);
    // What stood in the folder before: another program under CON's name, an earlier backup of
    // Vocal Plate, and a file that holds no program under Lead's name.
    const std::string other = "preset \"Snare Room\"\nmix 7\n";
    const std::string older = "preset \"Vocal Plate\"\nmix 10\n";
    const std::string notes = "notes, not a program\n";
    CCliSandbox::WriteFile(folder + "/CON.sig", other);
    CCliSandbox::WriteFile(folder + "/Vocal Plate.sig", older);
    CCliSandbox::WriteFile(folder + "/Lead.sig", notes);

    const CliResult r = Run({"backup", "40", folder});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Lines({folder + "/CON (2).sig", folder + "/Vocal Plate.sig",
                            folder + "/Lead (2).sig"}));
    EXPECT_EQ(r.err, Lines({"Replaced 1 earlier backup file of the same program (the earlier "
                            "text is kept in the library): " +
                                folder + "/Vocal Plate.sig.",
                            "Kept 2 files that were already there (the new file took the next "
                            "free name): " +
                                folder + "/CON.sig, " + folder + "/Lead.sig."}));
    EXPECT_EQ(CCliSandbox::ReadFile(folder + "/CON.sig"), other);
    EXPECT_EQ(CCliSandbox::ReadFile(folder + "/Lead.sig"), notes);
    EXPECT_THAT(CCliSandbox::ReadFile(folder + "/CON (2).sig"), HasSubstr("\"CON\""));
    EXPECT_THAT(CCliSandbox::ReadFile(folder + "/Lead (2).sig"), HasSubstr("\"Lead\""));
    EXPECT_THAT(CCliSandbox::ReadFile(folder + "/Vocal Plate.sig"), HasSubstr("mix 50"));

    // The earlier Vocal Plate is found in the library.
    const CliResult search = RunCli({"library", "search", "Vocal Plate"}, m_sandbox.ConfigHome());
    ASSERT_EQ(search.exitCode, 0) << search.err;
    bool found = false;
    std::istringstream lines(search.out);
    for (std::string line; std::getline(lines, line) && !found;) {
        const std::string id = line.substr(0, line.find('\t'));
        fs::remove(Path("earlier.sig"));
        const CliResult exported =
            RunCli({"library", "export", id, Path("earlier.sig")}, m_sandbox.ConfigHome());
        found = exported.exitCode == 0 && CCliSandbox::ReadFile(Path("earlier.sig")) == older;
    }
    EXPECT_TRUE(found) << search.out;

    // A second run refreshes every file of the first and keeps the same two files.
    const CliResult again = Run({"backup", "40", folder});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, r.out);
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"CON (2).sig", "CON.sig", "Lead (2).sig",
                                                       "Lead.sig", "Vocal Plate.sig"}));
    EXPECT_EQ(CCliSandbox::ReadFile(folder + "/CON.sig"), other);

    // Without a library to keep the earlier text in, the earlier backup is kept too.
    const fs::path library = fs::path(m_sandbox.ConfigHome()) / "data/Brisca/Quorlin";
    fs::remove_all(library);
    fs::create_directories(library / "library.sqlite");  // a folder: the library cannot open
    const std::string second = Path("second");
    fs::create_directories(second);
    CCliSandbox::WriteFile(second + "/Vocal Plate.sig", older);
    const CliResult blocked = Run({"backup", "40", second});
    EXPECT_EQ(blocked.exitCode, 0) << blocked.err;
    EXPECT_EQ(CCliSandbox::ReadFile(second + "/Vocal Plate.sig"), older);
    EXPECT_THAT(CCliSandbox::ReadFile(second + "/Vocal Plate (2).sig"), HasSubstr("mix 50"));
    EXPECT_THAT(blocked.err, HasSubstr("Kept 1 file that was already there (the new file took "
                                       "the next free name): " +
                                       second + "/Vocal Plate.sig."));
}

TEST_F(CliFilesTest, ADemoBackupReplacesNoEarlierBackupSinceItsLibraryEndsWithTheRun) {
    // The demo unit's library is gone when the run ends: an earlier backup of a program of the
    // same name (here from a real unit) is not safe there, so it stays.
    const std::string folder = Path("backup");
    fs::create_directories(folder);
    const std::string older = "preset \"Vocal Plate\"\nmix 10\n";
    CCliSandbox::WriteFile(folder + "/Vocal Plate.sig", older);
    const CliResult r = Demo({"backup", "10", folder});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(CCliSandbox::ReadFile(folder + "/Vocal Plate.sig"), older);
    EXPECT_EQ(CCliSandbox::ReadFile(folder + "/Vocal Plate (2).sig"), VocalPlate());
    EXPECT_THAT(r.err, HasSubstr("Kept 1 file that was already there"));
    EXPECT_THAT(r.err, ::testing::Not(HasSubstr("Replaced")));
}

TEST_F(CliFilesTest, LoadRefusesAFileWithoutAProgramBeforeThePortIsOpened) {
    struct Case {
        const char* file;
        std::string content;
        std::string reason;
    } cases[] = {
        {"empty.sig", "", "is empty (0 bytes): it holds no program."},
        {"nameless.sig", "mix 50\n",
         "holds no program name (a name between double quotes): it is not a program of the "
         "unit."},
    };
    for (const auto& c : cases) {
        CCliSandbox::WriteFile(Path(c.file), c.content);
        // A port that does not exist: opening it would fail with another message.
        const CliResult r = RunCli({"--serial", Path("no-such-port"), "load", "10", Path(c.file)},
                                   m_sandbox.ConfigHome());
        EXPECT_EQ(r.exitCode, 1) << c.file;
        EXPECT_EQ(r.out, "") << c.file;
        EXPECT_EQ(r.err, "The patch file \"" + Path(c.file) + "\" " + c.reason +
                             " Choose a .sig file saved from the unit.\n");
    }
}
