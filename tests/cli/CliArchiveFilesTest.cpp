// The whole-unit commands of quorlin-cli as a child process: backup-unit, verify and restore end
// to end at wire speed against a small unit served by quorlin-sim, and backup-unit on a disk that
// fills up and in a folder that takes no files (a tmpfs in a private mount namespace of the
// child; skipped where mounting is not permitted).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"
#include "tests/cli/SimServerProcess.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

// Every file below `folder`, relative to it, sorted.
std::vector<std::string> Tree(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(entry.path().lexically_relative(folder).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

class CliArchiveFilesTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_sandbox.Dir() / name).string(); }

    // Without connection options, with saved settings that name a serial port that is not there:
    // a run that opened it would say so.
    CliResult RunOffline(const std::vector<std::string>& args) {
        m_sandbox.WriteSettings(
            "[Options]\nDeviceType=0\n[Serial]\nPortName=/dev/quorlin-no-such-port\n");
        return RunCli(args, m_sandbox.ConfigHome());
    }

    CCliSandbox m_sandbox;
};

TEST_F(CliArchiveFilesTest, ASmallUnitIsBackedUpCheckedAndRestoredOverTheSerialLine) {
    const fs::path seed = m_sandbox.Dir() / "seed";
    for (const auto& [bank, names] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"40 Names", {"Alpha", "Bravo"}}, {"41 Other", {"Charlie"}}}) {
        fs::create_directories(seed / bank);
        for (std::size_t i = 0; i < names.size(); ++i)
            CCliSandbox::WriteFile(seed / bank / (std::to_string(i) + ".sig"),
                                   "preset \"" + names[i] + "\"\nmix 50\n");
    }
    CSimServerProcess unit({"--no-factory", "--seed", seed.string()});
    ASSERT_FALSE(unit.Path().empty());
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--serial", unit.Path()});
        return RunCli(args, m_sandbox.ConfigHome());
    };
    const std::string backup = Path("backup");

    CliResult r = run({"backup-unit", backup});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Lines({"40\t0\t40 Names/Alpha.sig", "40\t1\t40 Names/Bravo.sig",
                            "41\t0\t41 Other/Charlie.sig"}));
    EXPECT_THAT(r.err, HasSubstr("Backup finished: 3 programs from 2 banks written, 0 skipped."));

    r = RunOffline({"verify", backup});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, Not(HasSubstr("quorlin-no-such-port")));

    // A program deleted on the unit comes back; the others are there.
    r = run({"delete", "40", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = run({"restore", backup, "--dry-run"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string plan = Lines(
        {"skip 40 Alpha (present)", "load 40 40 Names/Bravo.sig", "skip 41 Charlie (present)"});
    EXPECT_EQ(r.out, plan);
    r = run({"restore", backup});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, plan);
    r = run({"programs", "40"});
    EXPECT_THAT(r.out, HasSubstr(" Bravo\n"));
}

// Ctrl-C during backup-unit stops it between programs: the files written so far are whole and the
// manifest says the backup was cancelled; a second signal would end it at once.
TEST_F(CliArchiveFilesTest, AnInterruptedBackupStopsBetweenProgramsAndWritesItsManifest) {
    const fs::path seed = m_sandbox.Dir() / "seed";
    fs::create_directories(seed / "40 Names");
    for (int i = 0; i < 4; ++i)
        CCliSandbox::WriteFile(seed / "40 Names" / (std::to_string(i) + ".sig"),
                               "preset \"Name " + std::to_string(i) + "\"\nmix 50\n");
    CSimServerProcess unit({"--no-factory", "--seed", seed.string()});
    ASSERT_FALSE(unit.Path().empty());
    const std::string backup = Path("backup");
    CCliChild child({"--serial", unit.Path(), "backup-unit", backup}, m_sandbox.ConfigHome());
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(child.WaitForLines(1));
    child.Signal(SIGINT);
    const CliResult r = child.Finish();
    EXPECT_EQ(r.signal, 0) << "ended by the signal instead of stopping between programs";
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("The backup was cancelled."));
    const std::string manifest = CCliSandbox::ReadFile(fs::path(backup) / "manifest.json");
    EXPECT_THAT(manifest, HasSubstr("\"cancelled\": true"));
    // What the manifest lists is whole, and the backup is not the whole unit.
    const CliResult check = RunOffline({"verify", backup});
    EXPECT_EQ(check.exitCode, 1) << check.err;
    EXPECT_THAT(check.out, HasSubstr("cancelled\n"));
    EXPECT_THAT(check.out, Not(HasSubstr("missing ")));
    EXPECT_THAT(check.err, HasSubstr("match its manifest, but the backup is incomplete"));
}

// backup-unit of the demo unit with a tmpfs (mount options `options`) on Path("mnt"), after the
// shell commands `prepare` (MNT stands for the mount point); the backup folder MNT/b is copied
// to Path("copy") afterwards. False when the tmpfs could not be mounted.
bool BackUpOnTmpfs(const CCliSandbox& sandbox, const std::string& options,
                   const std::string& prepare, CliResult& result) {
    const std::string mnt = (sandbox.Dir() / "mnt").string();
    const std::string copy = (sandbox.Dir() / "copy").string();
    fs::create_directories(mnt);
    const std::string script = "mount -t tmpfs -o " + options + " tmpfs '" + mnt +
                               "' || exit 125\nMNT='" + mnt + "'\n" + prepare +
                               "\n\"$@\"\nrc=$?\n[ -d \"$MNT/b\" ] && cp -a \"$MNT/b\" '" + copy +
                               "'\nexit $rc\n";
    CliLaunch launch;
    launch.wrapper = {"unshare", "-m", "--propagation", "private", "sh", "-c", script, "sh"};
    result = RunCli({"--demo", "backup-unit", mnt + "/b"}, sandbox.ConfigHome(), launch);
    return result.exitCode != 125;
}

TEST_F(CliArchiveFilesTest, ADiskThatFillsUpKeepsWholeFilesAndAManifestThatSaysWhatIsMissing) {
    // The backup keeps some 384 KiB for its manifest (the demo unit has ten banks); the disk
    // then has room for four program files of the demo unit's seven.
    CliResult r;
    if (!BackUpOnTmpfs(m_sandbox, "size=400k", "", r)) GTEST_SKIP() << "cannot mount: " << r.err;
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("No space left on device"));
    const fs::path copy = m_sandbox.Dir() / "copy";
    ASSERT_TRUE(fs::exists(copy / "manifest.json")) << r.err;
    for (const auto& name : Tree(copy))
        EXPECT_EQ(name.find(".quorlin-"), std::string::npos) << name;
    // What the manifest lists is there and whole; what is not there is listed as skipped, and
    // verify says so.
    const CliResult check = RunOffline({"verify", copy.string()});
    EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
    EXPECT_THAT(check.out, HasSubstr(": No space left on device\n"));
    EXPECT_THAT(check.err, HasSubstr("match its manifest, but the backup is incomplete"));
    const std::string manifest = CCliSandbox::ReadFile(copy / "manifest.json");
    const auto lines = std::count(r.out.begin(), r.out.end(), '\n');
    EXPECT_GT(lines, 0);
    EXPECT_LT(lines, 7);
    EXPECT_THAT(r.err, HasSubstr("Backup finished: " + std::to_string(lines) + " programs from "));
    EXPECT_THAT(r.err, HasSubstr(std::to_string(7 - lines) + " skipped."));
    EXPECT_THAT(manifest, HasSubstr("No space left on device"));
}

TEST_F(CliArchiveFilesTest, AFolderThatTakesNoFilesIsRefusedBeforeTheUnitIsAsked) {
    CliResult r;
    if (!BackUpOnTmpfs(m_sandbox, "size=1m", "mkdir \"$MNT/b\" && mount -o remount,ro \"$MNT\"", r))
        GTEST_SKIP() << "cannot mount: " << r.err;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, HasSubstr("b: Read-only file system"));
    EXPECT_THAT(Tree(m_sandbox.Dir() / "copy"), IsEmpty());
}

}  // namespace
