#include <gtest/gtest.h>

#include "SafeFileName.h"

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
        {"..", "_"},
        {"...", "..."},
        {"../etc", ".._etc"},
        {"Caf\xC3\xA9 & Co. (1)", "Caf\xC3\xA9 & Co. (1)"},
    };
    for (const auto& c : cases) EXPECT_EQ(SafeFileName(c.name), c.file) << c.name;
}

}  // namespace
