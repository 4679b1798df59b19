#include <gtest/gtest.h>

#include "settings/OverlaySettingsStore.h"
#include "settings/SettingsStore.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

TEST(ReadSettingDword, AbsentValueGivesDefaultAndRaisesIndicator) {
    CScopedSettingsStore store;
    std::uint32_t missing = 0;
    EXPECT_EQ(ReadSettingDword("Options", "Channel", 7, missing), 7);
    EXPECT_EQ(missing, 1u);
}

TEST(ReadSettingDword, IndicatorIsNeverCleared) {
    CScopedSettingsStore store;
    store->Seed("Options", "Channel", std::int64_t{3});
    std::uint32_t missing = 0;
    ReadSettingDword("Options", "Absent", 0, missing);
    EXPECT_EQ(ReadSettingDword("Options", "Channel", 0, missing), 3);
    EXPECT_EQ(missing, 1u) << "a present value must not clear an indicator set by an earlier read";
}

TEST(ReadSettingDword, ValuesThatAreNot32BitIntegersCountAsMissing) {
    struct Case {
        const char* what;
        CMemorySettingsStore::Value stored;
        bool missing;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"a number", std::int64_t{38400}, false, 38400},
        {"a negative number", std::int64_t{-5}, false, -5},
        {"an unsigned 32-bit value", std::int64_t{0xFFFFFFFF}, false, -1},
        {"a text", std::string("38400"), true, 99},
        {"a value wider than 32 bits", std::int64_t{0x1'0000'0000}, true, 99},
    };
    for (const auto& c : cases) {
        CScopedSettingsStore store;
        store->Seed("SerialSetup", "BaudRate", c.stored);
        std::uint32_t missing = 0;
        EXPECT_EQ(ReadSettingDword("SerialSetup", "BaudRate", 99, missing), c.expected) << c.what;
        EXPECT_EQ(missing, c.missing ? 1u : 0u) << c.what;
    }
}

TEST(WriteSettingDword, ReportsWhetherTheValueWasStored) {
    CScopedSettingsStore store;
    EXPECT_EQ(WriteSettingDword("Options", "Channel", 4), 1);
    std::uint32_t missing = 0;
    EXPECT_EQ(ReadSettingDword("Options", "Channel", 0, missing), 4);
    store->SetReadOnly(true);
    EXPECT_EQ(WriteSettingDword("Options", "Channel", 5), 0);
    EXPECT_EQ(ReadSettingDword("Options", "Channel", 0, missing), 4);
    EXPECT_EQ(missing, 0u);
}

TEST(OverlaySettingsStore, ShadowedSectionsNeverReachTheBase) {
    CMemorySettingsStore base;
    base.Seed("SerialSetup", "BaudRate", std::int64_t{9600});
    base.Seed("Options", "Channel", std::int64_t{2});
    COverlaySettingsStore overlay(base, {"SerialSetup", "MIDISetup", "Options"});

    // Reads see the base until the run writes its own value.
    EXPECT_EQ(overlay.ReadDword("SerialSetup", "BaudRate"), 9600);
    EXPECT_TRUE(overlay.WriteDword("SerialSetup", "BaudRate", 38400));
    EXPECT_EQ(overlay.ReadDword("SerialSetup", "BaudRate"), 38400);
    EXPECT_TRUE(overlay.WriteString("SerialSetup", "PortName", "/dev/pts/9"));

    EXPECT_EQ(base.ReadDword("SerialSetup", "BaudRate"), 9600);
    EXPECT_FALSE(base.ReadString("SerialSetup", "PortName").has_value());
    EXPECT_EQ(base.Count(), 2u);
}

TEST(OverlaySettingsStore, OtherSectionsAndValuesWriteThrough) {
    CMemorySettingsStore base;
    COverlaySettingsStore overlay(base, {"SerialSetup", "Options/DeviceType"});
    overlay.WriteDword("Options", "Cx", 400);
    overlay.WriteDword("Options", "DeviceType", 1);
    EXPECT_EQ(base.ReadDword("Options", "Cx"), 400);
    EXPECT_FALSE(base.ReadDword("Options", "DeviceType").has_value());
    EXPECT_EQ(overlay.ReadDword("Options", "DeviceType"), 1);
}

}  // namespace
