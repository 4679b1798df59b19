// The registry store: values written are read back by a new store (they persist), numbers and
// texts keep their types, a value of the other type counts as missing, and the sections are
// subkeys of the store's key. Runs in a key of its own, removed afterwards; the user's settings
// under Software\Brisca\Quorlin are never touched.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>

#include "settings/RegistrySettingsStore.h"
#include "settings/SerialSettings.h"

namespace {

constexpr const wchar_t* kTestKey = L"Software\\Brisca\\QuorlinRegistryTest";

class RegistrySettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(RegistrySettingsStoreTest, TheUsersStoreIsTheDesktopProgramsKey) {
    EXPECT_EQ(CRegistrySettingsStore().KeyPath(), L"Software\\Brisca\\Quorlin");
}

TEST_F(RegistrySettingsStoreTest, ValuesRoundTripThroughANewStore) {
    const struct {
        const char* section;
        const char* name;
        std::int32_t value;
    } numbers[] = {
        {"Options", "DeviceType", 1},         {"SerialSetup", "BaudRate", 38400},
        {"SerialSetup", "Parity", 'e'},       {"MIDISetup", "InputDevice", -1},
        {"Options", "Big", INT_MAX},          {"Options", "Small", INT_MIN},
    };
    {
        CRegistrySettingsStore store(kTestKey);
        for (const auto& n : numbers) EXPECT_TRUE(store.WriteDword(n.section, n.name, n.value));
        EXPECT_TRUE(store.WriteString("SerialSetup", "PortName", "\\\\.\\COM12"));
        EXPECT_TRUE(store.WriteString("Options", "Text", "Bank \xc3\xa9t\xc3\xa9"));
        EXPECT_TRUE(store.WriteString("Options", "Empty", ""));
    }
    CRegistrySettingsStore again(kTestKey);
    for (const auto& n : numbers) {
        EXPECT_EQ(again.ReadDword(n.section, n.name), n.value) << n.section << "/" << n.name;
    }
    EXPECT_EQ(again.ReadString("SerialSetup", "PortName"), "\\\\.\\COM12");
    EXPECT_EQ(again.ReadString("Options", "Text"), "Bank \xc3\xa9t\xc3\xa9");
    EXPECT_EQ(again.ReadString("Options", "Empty"), "");

    // Each type stays what it was: a number is no text, a text no number, absent is absent.
    EXPECT_EQ(again.ReadString("SerialSetup", "BaudRate"), std::nullopt);
    EXPECT_EQ(again.ReadDword("SerialSetup", "PortName"), std::nullopt);
    EXPECT_EQ(again.ReadDword("SerialSetup", "NoSuchValue"), std::nullopt);
    EXPECT_EQ(again.ReadDword("NoSuchSection", "BaudRate"), std::nullopt);

    // The sections are subkeys, with the value types the desktop program's QSettings uses.
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Brisca\\QuorlinRegistryTest\\SerialSetup",
                             L"BaudRate", RRF_RT_ANY, &type, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 38400u);
}

TEST_F(RegistrySettingsStoreTest, TheSerialRecordSavesAndLoadsThroughTheStore) {
    CRegistrySettingsStore store(kTestKey);
    SetSettingsStore(&store);
    {
        CSerialSettings line;
        EXPECT_NE(line.Load(), 0u);  // nothing stored yet
        line.m_nBaudRate = 19200;
        line.m_cParity = 'o';
        line.m_nDataBits = 7;
        line.m_nStopBits = 1;
        line.m_strPortName = "COM3";
        line.Save();
    }
    CSerialSettings loaded;
    EXPECT_EQ(loaded.Load(), 0u);
    EXPECT_EQ(loaded.m_nBaudRate, 19200);
    EXPECT_EQ(loaded.m_cParity, 'o');
    EXPECT_EQ(loaded.m_nDataBits, 7);
    EXPECT_EQ(loaded.m_nStopBits, 1);
    SetSettingsStore(nullptr);
}

}  // namespace
