// The unit's receiver cutting a byte stream into frames.
#include <gtest/gtest.h>

#include "sim/FrameAssembler.h"

namespace {

TEST(FrameAssemblerTest, CutsTheStreamIntoFrames) {
    struct Case {
        const char* what;
        std::vector<std::string> chunks;
        std::vector<std::string> frames;
        std::size_t dropped;
    };
    const std::string query(
        "\xF0\x1C\x70\x00\x31"
        "0 0\xF7",
        9);
    const Case cases[] = {
        {"one frame", {query}, {query}, 0},
        {"split in three", {query.substr(0, 2), query.substr(2, 5), query.substr(7)}, {query}, 0},
        {"program change", {std::string("\xC3\x05", 2)}, {std::string("\xC3\x05", 2)}, 0},
        {"program change split", {"\xC3", "\x7F"}, {std::string("\xC3\x7F", 2)}, 0},
        {"two frames together",
         {query + std::string("\xC0\x01", 2) + query},
         {query, std::string("\xC0\x01", 2), query},
         0},
        {"noise before a frame", {"ab\x90" + query}, {query}, 3},
        {"F0 restarts an unfinished frame", {std::string("\xF0\x1C\x70", 3) + query}, {query}, 3},
        {"status byte ends a program change", {"\xC0\xF0" + query.substr(1)}, {query}, 1},
        {"stray F7 after a frame", {query + "\xF7"}, {query}, 1},
    };
    for (const auto& c : cases) {
        CFrameAssembler a;
        std::vector<std::string> frames;
        for (const auto& chunk : c.chunks) {
            auto f = a.Feed(chunk);
            frames.insert(frames.end(), f.begin(), f.end());
        }
        EXPECT_EQ(frames, c.frames) << c.what;
        EXPECT_EQ(a.DroppedBytes(), c.dropped) << c.what;
        EXPECT_FALSE(a.InFrame()) << c.what;
    }
}

TEST(FrameAssemblerTest, TakesAFrameOfExactlyTheLimitAndDropsOneByteLonger) {
    for (const std::size_t size :
         {CFrameAssembler::kMaxFrameBytes, CFrameAssembler::kMaxFrameBytes + 1}) {
        std::string frame = "\xF0" + std::string(size - 2, 'x') + "\xF7";
        CFrameAssembler a;
        const auto f = a.Feed(frame);
        if (size == CFrameAssembler::kMaxFrameBytes) {
            ASSERT_EQ(f.size(), 1u);
            EXPECT_EQ(f[0].size(), size);
            EXPECT_EQ(a.DroppedBytes(), 0u);
        } else {
            EXPECT_TRUE(f.empty());
            EXPECT_GT(a.DroppedBytes(), 0u);
        }
        EXPECT_FALSE(a.InFrame()) << size;
    }
}

TEST(FrameAssemblerTest, DropsAnOverlongFrame) {
    CFrameAssembler a;
    EXPECT_TRUE(a.Feed("\xF0" + std::string(CFrameAssembler::kMaxFrameBytes, 'x')).empty());
    EXPECT_FALSE(a.InFrame());
    const auto f = a.Feed(std::string("yy\xF0\x01\xF7"));
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0], std::string("\xF0\x01\xF7"));
}

}  // namespace
