// Seeding banks from a folder of ".sig" files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/SimUnit.h"

namespace fs = std::filesystem;

namespace {

class SimUnitSeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("quorlin-sim-seed-" +
                  std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Imports");
    }
    void TearDown() override { fs::remove_all(m_root); }
    void Write(const fs::path& relative, const std::string& content) {
        fs::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative, std::ios::binary) << content;
    }
    fs::path m_root;
};

TEST_F(SimUnitSeedTest, FilesAndBankFoldersBecomeUserPrograms) {
    Write("Imports/b.SIG", "preset \"Second\"\n");
    Write("Imports/a.sig", "preset \"First\"\n");
    Write("Imports/notes.txt", "\"Not a patch\"");
    Write("Imports/none.sig", "no name here");
    Write("Imports/12 Gigs/x.sig", "\"Encore\"");
    Write("Imports/30 Fresh/y.sig", "\"Thirty\"");
    Write("Imports/31/z.sig", "\"Unnamed bank\"");
    Write("Imports/Other/w.sig", "\"Skipped folder\"");

    CSimUnit unit;
    std::vector<std::string> problems;
    EXPECT_EQ(unit.LoadBanksFromFolder((m_root / "Imports").string(), &problems), 5);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("none.sig"), std::string::npos);

    // Files directly in the folder: the lowest free bank number, named after the folder.
    const auto banks = unit.Banks();
    const auto seven =
        std::find_if(banks.begin(), banks.end(), [](auto& b) { return b.number == 7; });
    ASSERT_NE(seven, banks.end());
    EXPECT_EQ(seven->name, "Imports");
    const auto imported = unit.Programs(7);
    ASSERT_EQ(imported.size(), 2u);
    EXPECT_EQ(imported[0].name, "First");
    EXPECT_EQ(imported[1].name, "Second");
    EXPECT_TRUE(imported[0].user);

    // "12 Gigs": the existing bank renamed, the program at its lowest free number.
    const auto twelve = unit.Programs(12);
    ASSERT_EQ(twelve.size(), 3u);
    EXPECT_EQ(twelve[2].name, "Encore");
    EXPECT_EQ(twelve[2].number, 2);
    for (const auto& b : unit.Banks()) {
        if (b.number == 12) {
            EXPECT_EQ(b.name, "Gigs");
        } else if (b.number == 30) {
            EXPECT_EQ(b.name, "Fresh");
        } else if (b.number == 31) {
            EXPECT_EQ(b.name, "");
        }
    }
    EXPECT_EQ(unit.Programs(30).size(), 1u);
    EXPECT_EQ(unit.Programs(31).size(), 1u);
}

TEST_F(SimUnitSeedTest, MissingFolderIsReported) {
    CSimUnit unit;
    std::vector<std::string> problems;
    EXPECT_EQ(unit.LoadBanksFromFolder((m_root / "nothing").string(), &problems), -1);
    EXPECT_EQ(problems.size(), 1u);
    EXPECT_EQ(unit.Banks().size(), 10u);
}

}  // namespace
