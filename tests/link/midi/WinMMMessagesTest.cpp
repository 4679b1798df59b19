// How WinMM's input is turned into whole messages: short messages by their status byte, and
// system-exclusive input joined from the pieces that fill the input buffers. Built on every
// system (pure code).
#include <gtest/gtest.h>

#include <vector>

#include "link/midi/WinMMMessages.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(WinMMShortMessages, TheStatusByteSaysHowManyBytes) {
    const struct {
        std::uint32_t packed;
        Bytes bytes;
    } cases[] = {
        {0x00407F90, {0x90, 0x7F, 0x40}},  // note on
        {0x00001AC3, {0xC3, 0x1A}},        // program change: one data byte
        {0x00FF05D0, {0xD0, 0x05}},        // channel pressure
        {0x00123FB0, {0xB0, 0x3F, 0x12}},  // control change
        {0x000001F1, {0xF1, 0x01}},        // time code quarter frame
        {0x000203F2, {0xF2, 0x03, 0x02}},  // song position
        {0x000005F3, {0xF3, 0x05}},        // song select
        {0x000000F6, {0xF6}},              // tune request
        {0x00FFFFF8, {0xF8}},              // timing clock: the rest is not its own
        {0x00000040, {}},                  // a lone data byte is no message
    };
    for (const auto& c : cases) {
        EXPECT_EQ(midi::ShortMessageBytes(c.packed), c.bytes) << std::hex << c.packed;
    }
}

TEST(WinMMSysexAssembler, PiecesJoinIntoWholeMessages) {
    midi::CSysexAssembler assembler;
    Bytes whole;
    const Bytes first = {0xF0, 0x1C, 0x70};
    const Bytes middle = {0x00, 0x31, 0x41};
    const Bytes last = {0x42, 0xF7};
    EXPECT_FALSE(assembler.Add(first.data(), first.size(), whole));
    EXPECT_FALSE(assembler.Add(middle.data(), middle.size(), whole));
    ASSERT_TRUE(assembler.Add(last.data(), last.size(), whole));
    EXPECT_EQ(whole, (Bytes{0xF0, 0x1C, 0x70, 0x00, 0x31, 0x41, 0x42, 0xF7}));

    // One piece that holds a whole message; an empty piece (a buffer returned at a reset).
    const Bytes one = {0xF0, 0x01, 0xF7};
    ASSERT_TRUE(assembler.Add(one.data(), one.size(), whole));
    EXPECT_EQ(whole, one);
    EXPECT_FALSE(assembler.Add(nullptr, 0, whole));
}

TEST(WinMMSysexAssembler, AMessageWhoseEndWasLostIsDroppedForTheNext) {
    midi::CSysexAssembler assembler;
    Bytes whole;
    const Bytes cut = {0xF0, 0x11, 0x22};
    const Bytes next = {0xF0, 0x33, 0xF7};
    const Bytes stray = {0x44, 0x55, 0xF7};
    EXPECT_FALSE(assembler.Add(cut.data(), cut.size(), whole));
    ASSERT_TRUE(assembler.Add(next.data(), next.size(), whole));
    EXPECT_EQ(whole, next);
    // Bytes without a start are not a message.
    EXPECT_FALSE(assembler.Add(stray.data(), stray.size(), whole));
}

}  // namespace
