// quorlin-cli on a loaded machine: bank renames against quorlin-sim on a pseudo-terminal while
// every core is kept busy. Name entry depends on the gaps between key presses as the unit sees
// them: a press that comes too soon after the previous one is ignored, and the name comes out
// wrong (a character left over from the old name, one too few steps through the table). A busy
// machine may delay a press but must never bunch two: the program counts each pause from the
// moment its frame has left the port, and the unit judges a gap by when the frames arrived, not
// by when its reader got round to them.

#include <gmock/gmock.h>

#include <sstream>

#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"
#include "tests/cli/SimServerProcess.h"
#include "tests/support/CpuBurners.h"

using ::testing::HasSubstr;

namespace {

// Long names whose characters lie close together in the unit's character table, so that each
// costs few key presses: the old name's backspaces come 200 ms apart, the table steps 400 ms,
// the cursor presses 200 ms, the menu keys around them 100 ms. A repeated character is typed
// by a step away and back.
constexpr const char* kNames[] = {
    "ABCDEFGHIJKLMNOP", "abcdefghijklmnop", "ABCDEDCBABCDEDCB", "abcbabcdcbabcdef",
    "A ab ABCBA abcba", "AABBCCDDEEFFGGHH", "ABCDEFGFEDCBA ab", "abcdedcba ABCDEF",
    "ABABABABCDCDCDCD", "ponmlkjihgfedcba",
};

constexpr const char* kSavedOptions = "[Options]\nChannel=0\nBankChangeDevice=1\n";

// The unit's log lines about key presses it ignored for coming too soon.
std::string IgnoredPresses(const std::string& log) {
    std::istringstream lines(log);
    std::string ignored;
    for (std::string line; std::getline(lines, line);)
        if (line.find("after the previous one: ignored") != std::string::npos)
            ignored += line + "\n";
    return ignored;
}

}  // namespace

TEST(CliUnderLoadTest, BankRenamesWithEveryCoreBusyLeaveEveryNameRight) {
    // The unit as the demo serves it (paced at 38400 baud), logging every frame it takes.
    CSimServerProcess sim({"--verbose"}, true);
    ASSERT_FALSE(sim.Path().empty()) << "quorlin-sim did not start";
    CCliSandbox sandbox;
    sandbox.WriteSettings(kSavedOptions);
    const std::vector<std::string> port = {"--serial", sim.Path()};
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), port.begin(), port.end());
        return RunCli(args, sandbox.ConfigHome());
    };

    const CCpuBurners burners;
    ASSERT_GE(burners.Count(), 1u);
    for (const std::string name : kNames) {
        SCOPED_TRACE("bank 20 named \"" + name + "\"");
        CliResult r = run({"name-bank", "20", name});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        r = run({"banks"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr("\n20 " + name + "\n"));
    }
    EXPECT_EQ(IgnoredPresses(sim.Stderr()), "");
}
