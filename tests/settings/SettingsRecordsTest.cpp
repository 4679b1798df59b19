#include <gtest/gtest.h>

#include <optional>

#include "settings/LinkSettings.h"
#include "settings/MIDISettings.h"
#include "settings/OptionsSettings.h"
#include "settings/SerialSettings.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

std::optional<std::int64_t> Stored(CMemorySettingsStore& store, const char* section,
                                   const char* name) {
    auto raw = store.Raw(section, name);
    if (!raw) return std::nullopt;
    if (const auto* n = std::get_if<std::int64_t>(&*raw)) return *n;
    return std::nullopt;
}

TEST(SettingsRecords, FreshUserGetsDefaultsAndEverythingIsWrittenAtExit) {
    CScopedSettingsStore store;
    {
        CSerialSettings serial;
        CMIDISettings midi;
        EXPECT_NE(serial.Load(), 0u);
        EXPECT_NE(midi.Load(), 0u);
        CLinkSettings link(&serial, &midi);
        EXPECT_EQ(link.Load(), 1u);

        EXPECT_EQ(serial.m_nPortNumber, 1);
        EXPECT_EQ(serial.m_nBaudRate, 38400);
        EXPECT_EQ(serial.m_cParity, 'n');
        EXPECT_EQ(serial.m_nDataBits, 8);
        EXPECT_EQ(serial.m_nStopBits, 2);
        EXPECT_EQ(midi.m_nInputDevice, 0);
        EXPECT_EQ(midi.m_nOutputDevice, 0);
        EXPECT_EQ(link.deviceType, 0);
    }
    EXPECT_EQ(Stored(*store, "SerialSetup", "PortNumber"), 1);
    EXPECT_EQ(Stored(*store, "SerialSetup", "BaudRate"), 38400);
    EXPECT_EQ(Stored(*store, "SerialSetup", "Parity"), 110);
    EXPECT_EQ(Stored(*store, "SerialSetup", "DataBits"), 8);
    EXPECT_EQ(Stored(*store, "SerialSetup", "StopBits"), 2);
    EXPECT_EQ(Stored(*store, "MIDISetup", "InputDevice"), 0);
    EXPECT_EQ(Stored(*store, "MIDISetup", "OutputDevice"), 0);
    EXPECT_EQ(Stored(*store, "Options", "DeviceType"), 0);
}

TEST(SettingsRecords, ParityKeepsOnlyTheLowByteOfItsCharacterCode) {
    struct Case {
        std::int64_t stored;
        char letter;
    };
    for (const Case c : {Case{101, 'e'}, Case{111, 'o'}, Case{110, 'n'}, Case{0x100 + 101, 'e'},
                         Case{0x7FFF'FF00 + 111, 'o'}}) {
        CScopedSettingsStore store;
        store->Seed("SerialSetup", "Parity", c.stored);
        CSerialSettings serial;
        serial.Load();
        EXPECT_EQ(serial.m_cParity, c.letter) << "stored " << c.stored;
        serial.Save();
        EXPECT_EQ(Stored(*store, "SerialSetup", "Parity"), static_cast<unsigned char>(c.letter));
    }
}

TEST(SettingsRecords, BaudRateStoredAsTextIsIgnoredAndReportedMissing) {
    CScopedSettingsStore store;
    store->Seed("SerialSetup", "PortNumber", std::int64_t{2});
    store->Seed("SerialSetup", "BaudRate", std::string("9600"));
    store->Seed("SerialSetup", "Parity", std::int64_t{'e'});
    store->Seed("SerialSetup", "DataBits", std::int64_t{7});
    store->Seed("SerialSetup", "StopBits", std::int64_t{1});
    CSerialSettings serial;
    EXPECT_NE(serial.Load(), 0u);
    EXPECT_EQ(serial.m_nBaudRate, 38400);
    EXPECT_EQ(serial.m_nPortNumber, 2);
    EXPECT_EQ(serial.m_nDataBits, 7);
}

TEST(SettingsRecords, LinkSettingsReloadsTheRecordsOnlyWhenDeviceTypeWasStored) {
    struct Case {
        const char* what;
        bool deviceTypeStored;
        bool serialComplete;
        bool serialReloaded;
        bool midiReloaded;
        std::uint32_t result;
    };
    const Case cases[] = {
        {"no DeviceType", false, true, false, false, 1},
        {"DeviceType, serial incomplete", true, false, true, false, 1},
        {"DeviceType, serial complete", true, true, true, true, 0},
    };
    for (const auto& c : cases) {
        CScopedSettingsStore store;
        if (c.deviceTypeStored) store->Seed("Options", "DeviceType", std::int64_t{1});
        store->Seed("SerialSetup", "PortNumber", std::int64_t{3});
        store->Seed("SerialSetup", "BaudRate", std::int64_t{19200});
        store->Seed("SerialSetup", "Parity", std::int64_t{'o'});
        store->Seed("SerialSetup", "DataBits", std::int64_t{8});
        if (c.serialComplete) store->Seed("SerialSetup", "StopBits", std::int64_t{1});
        store->Seed("MIDISetup", "InputDevice", std::int64_t{4});
        store->Seed("MIDISetup", "OutputDevice", std::int64_t{5});

        CSerialSettings serial;  // left at the defaults: a reload shows as changed values
        CMIDISettings midi;
        CLinkSettings link(&serial, &midi);
        EXPECT_EQ(link.Load(), c.result) << c.what;
        EXPECT_EQ(link.deviceType, c.deviceTypeStored ? 1 : 0) << c.what;
        EXPECT_EQ(serial.m_nPortNumber, c.serialReloaded ? 3 : 1) << c.what;
        EXPECT_EQ(midi.m_nInputDevice, c.midiReloaded ? 4 : 0) << c.what;
        store->Clear();  // the records save on destruction; keep it out of the next case
    }
}

TEST(SettingsRecords, LinkSettingsSavesOnlyDeviceType) {
    CScopedSettingsStore store;
    {
        CLinkSettings link(nullptr, nullptr);
        link.deviceType = 1;
    }
    EXPECT_EQ(Stored(*store, "Options", "DeviceType"), 1);
    EXPECT_EQ(store->Count(), 1u);
}

// Each option is read back as stored when in range; otherwise (missing, out of range, not a
// number) it is its default, never the nearest bound.
TEST(SettingsRecords, OptionsOutOfRangeFallBackToTheirDefaults) {
    struct Case {
        const char* name;
        CMemorySettingsStore::Value stored;
        std::int32_t expected;
        std::int32_t COptionsSettings::*field;
    };
    const Case cases[] = {
        {"Channel", std::int64_t{0}, 0, &COptionsSettings::m_nChannel},
        {"Channel", std::int64_t{15}, 15, &COptionsSettings::m_nChannel},
        {"Channel", std::int64_t{9}, 9, &COptionsSettings::m_nChannel},
        {"Channel", std::int64_t{16}, 0, &COptionsSettings::m_nChannel},
        {"Channel", std::int64_t{40}, 0, &COptionsSettings::m_nChannel},
        {"Channel", std::int64_t{-1}, 0, &COptionsSettings::m_nChannel},
        {"Channel", std::string("9"), 0, &COptionsSettings::m_nChannel},
        {"BankChangeDevice", std::int64_t{1}, 1, &COptionsSettings::m_nBankChangeDevice},
        {"BankChangeDevice", std::int64_t{2}, 2, &COptionsSettings::m_nBankChangeDevice},
        {"BankChangeDevice", std::int64_t{0}, 1, &COptionsSettings::m_nBankChangeDevice},
        {"BankChangeDevice", std::int64_t{3}, 1, &COptionsSettings::m_nBankChangeDevice},
        {"BankChangeDevice", std::int64_t{7}, 1, &COptionsSettings::m_nBankChangeDevice},
        {"DisplayInfoPane", std::int64_t{0}, 0, &COptionsSettings::m_bDisplayInfoPane},
        {"DisplayInfoPane", std::int64_t{1}, 1, &COptionsSettings::m_bDisplayInfoPane},
        {"DisplayInfoPane", std::int64_t{2}, 1, &COptionsSettings::m_bDisplayInfoPane},
        {"DisplayInfoPane", std::int64_t{-1}, 1, &COptionsSettings::m_bDisplayInfoPane},
    };
    for (const auto& c : cases) {
        CScopedSettingsStore store;
        // The other two options are stored off their defaults: one bad value leaves them alone.
        store->Seed("Options", "Channel", std::int64_t{5});
        store->Seed("Options", "BankChangeDevice", std::int64_t{2});
        store->Seed("Options", "DisplayInfoPane", std::int64_t{0});
        store->Seed("Options", c.name, c.stored);
        COptionsSettings options;
        EXPECT_EQ(options.Load(), std::holds_alternative<std::string>(c.stored) ? 1u : 0u)
            << c.name;
        EXPECT_EQ(options.*c.field, c.expected) << c.name;
        if (c.field != &COptionsSettings::m_nChannel) {
            EXPECT_EQ(options.m_nChannel, 5) << c.name;
        }
        if (c.field != &COptionsSettings::m_nBankChangeDevice) {
            EXPECT_EQ(options.m_nBankChangeDevice, 2) << c.name;
        }
        if (c.field != &COptionsSettings::m_bDisplayInfoPane) {
            EXPECT_EQ(options.m_bDisplayInfoPane, 0) << c.name;
        }
    }
}

TEST(SettingsRecords, OptionsDefaultsForAFreshUserAndSavedAsSet) {
    CScopedSettingsStore store;
    COptionsSettings options;
    options.m_nChannel = 7;  // overwritten by Load
    EXPECT_EQ(options.Load(), 1u);
    EXPECT_EQ(options.m_nChannel, 0);
    EXPECT_EQ(options.m_nBankChangeDevice, 1);
    EXPECT_EQ(options.m_bDisplayInfoPane, 1);
    EXPECT_EQ(store->Count(), 0u);  // reading writes nothing

    options.m_nChannel = 15;
    options.m_nBankChangeDevice = 2;
    options.m_bDisplayInfoPane = 0;
    options.Save();
    EXPECT_EQ(Stored(*store, "Options", "Channel"), 15);
    EXPECT_EQ(Stored(*store, "Options", "BankChangeDevice"), 2);
    EXPECT_EQ(Stored(*store, "Options", "DisplayInfoPane"), 0);
    EXPECT_EQ(store->Count(), 3u);

    COptionsSettings again;
    EXPECT_EQ(again.Load(), 0u);
    EXPECT_EQ(again.m_nChannel, 15);
    EXPECT_EQ(again.m_nBankChangeDevice, 2);
    EXPECT_EQ(again.m_bDisplayInfoPane, 0);
}

TEST(SettingsRecords, PortPathComesFromTheStoredPathOrThePortNumber) {
    CScopedSettingsStore store;
    CSerialSettings serial;
    serial.Load();
#if defined(_WIN32)
    serial.m_nPortNumber = 9;
    EXPECT_EQ(serial.PortPath(), "COM9");
    serial.m_nPortNumber = 12;
    EXPECT_EQ(serial.PortPath(), "\\\\.\\COM12");
#else
    EXPECT_EQ(serial.PortPath(), "/dev/ttyS0");
    serial.m_nPortNumber = 3;
    EXPECT_EQ(serial.PortPath(), "/dev/ttyS2");
    serial.m_strPortName = "/dev/ttyUSB0";
    EXPECT_EQ(serial.PortPath(), "/dev/ttyUSB0");
    serial.Save();
    CSerialSettings again;
    again.Load();
    EXPECT_EQ(again.m_strPortName, "/dev/ttyUSB0");
#endif
}

}  // namespace
