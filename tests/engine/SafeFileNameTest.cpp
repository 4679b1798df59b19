#include <gtest/gtest.h>

#include "engine/SafeFileName.h"

namespace {

TEST(SafeFileName, Cases) {
    struct Case {
        std::string name;
        std::string file;
    } cases[] = {
        {"Big Hall 2", "Big Hall 2"},
        {"  spaced  out ", "  spaced  out "},
        {"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
        {std::string("tab\there\nnul\0x\x7F", 15), "tab_here_nul_x_"},
        {"", "_"},
        {".", "_"},
        {"..", "_."},
        {"...", "_.."},
        {"../etc", "_._etc"},
        {"../../evil", "_._.._evil"},
        {".hidden", "_hidden"},
        {"a.b.", "a.b."},
        {"Caf\xC3\xA9 & Co. (1)", "Caf\xC3\xA9 & Co. (1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(SafeFileName(c.name), c.file) << c.name;
}

TEST(BackupNamer, CollidingNamesGetANumberInTheOrderAsked) {
    // One run, names asked in program-number order, and the file name each gets.
    const std::pair<std::string, std::string> run[] = {
        {"Hall", "Hall.sig"},
        {"Hall", "Hall (2).sig"},
        {"..", "_..sig"},
        {".", "_.sig"},
        {"/", "_ (2).sig"},  // "." and "/" are both "_" on disk
        {"?", "_ (3).sig"},
        {"HALL", "HALL (3).sig"},  // letter case is ignored (some file systems ignore it)
        {"Hall (2)", "Hall (2) (2).sig"},
    };
    CBackupNamer namer;
    for (const auto& [program, file] : run) EXPECT_EQ(namer.Next(program), file) << program;
    namer.Reset();
    EXPECT_EQ(namer.Next("Hall"), "Hall.sig");
}

TEST(BackupNamer, LongNamesFitTheFileSystemLimitWithExtensionAndSuffix) {
    CBackupNamer namer;
    const std::string longName(300, 'x');
    const std::string first = namer.Next(longName);
    const std::string second = namer.Next(longName);
    EXPECT_EQ(first.size(), CBackupNamer::kMaxFileNameBytes);
    EXPECT_EQ(first, std::string(251, 'x') + ".sig");
    EXPECT_EQ(second.size(), CBackupNamer::kMaxFileNameBytes);
    EXPECT_EQ(second, std::string(247, 'x') + " (2).sig");
}

// Names are UTF-8: the limit counts their bytes, and a name is cut only between characters.
TEST(BackupNamer, LongUtf8NamesAreCutBetweenCharacters) {
    auto repeat = [](const std::string& character, int times) {
        std::string text;
        for (int i = 0; i < times; ++i) text += character;
        return text;
    };
    const struct {
        const char* character;  // repeated 200 times
        int kept;               // whole characters that fit 251 bytes
    } cases[] = {
        {"\xC3\xA9", 125},          // "é", two bytes
        {"\xE2\x82\xAC", 83},      // "€", three bytes
        {"\xF0\x9F\x8E\xB9", 62},  // a keyboard, four bytes
    };
    for (const auto& c : cases) {
        const std::string name = CBackupNamer().Next(repeat(c.character, 200));
        EXPECT_EQ(name, repeat(c.character, c.kept) + ".sig") << c.character;
        EXPECT_LE(name.size(), CBackupNamer::kMaxFileNameBytes);
    }
}

}  // namespace
