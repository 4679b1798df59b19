// The log file never grows beyond its bound: it rotates into PATH.1, PATH.2 and drops the oldest,
// keeps every line whole and in order across the files, and says when it cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/RotatingLogFile.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class RotatingLogFileTest : public ::testing::Test {
protected:
    RotatingLogFileTest() {
        m_dir =
            fs::temp_directory_path() /
            ("quorlin-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
    }
    ~RotatingLogFileTest() override { fs::remove_all(m_dir); }
    fs::path m_dir;
};

}  // namespace

TEST_F(RotatingLogFileTest, RotatesAtItsBoundAndKeepsTheNewestLinesInOrder) {
    const fs::path path = m_dir / "log" / "quorlin.log";  // the folder is made
    {
        CRotatingLogFile log(path.string(), 100, 2);
        ASSERT_TRUE(log.Ok());
        for (int i = 0; i < 40; ++i) {
            char line[32];
            std::snprintf(line, sizeof line, "line %02d of the log ....", i);  // 24 bytes + \n
            log.Write(line);
        }
    }
    EXPECT_TRUE(fs::exists(path.string() + ".1"));
    EXPECT_TRUE(fs::exists(path.string() + ".2"));
    EXPECT_FALSE(fs::exists(path.string() + ".3"));
    std::vector<std::string> all;
    for (const std::string& name : {path.string() + ".2", path.string() + ".1", path.string()}) {
        EXPECT_LE(fs::file_size(name), 100u) << name;
        for (const auto& line : Lines(name)) all.push_back(line);
    }
    // The newest lines, whole, one after another.
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back(), "line 39 of the log ....");
    const int first = std::stoi(all.front().substr(5, 2));
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].size(), 23u) << all[i];
        EXPECT_EQ(std::stoi(all[i].substr(5, 2)), first + static_cast<int>(i)) << all[i];
    }

    // A new run appends to what is there and rotates on from there.
    CRotatingLogFile again(path.string(), 100, 2);
    again.Write(std::string(300, 'x'));  // longer than the bound: cut to it
    EXPECT_LE(fs::file_size(path), 100u);
    EXPECT_EQ(Lines(path).back(), std::string(99, 'x'));
}

TEST_F(RotatingLogFileTest, AFileThatCannotBeMadeIsReported) {
    fs::create_directories(m_dir);
    std::ofstream(m_dir / "plain-file") << "x";
    CRotatingLogFile log((m_dir / "plain-file" / "quorlin.log").string());
    EXPECT_FALSE(log.Ok());
    log.Write("nothing happens");  // and nothing breaks
}
