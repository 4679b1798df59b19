// The program's engine builds both real links and makes the stored transport current; nothing is
// opened while it is built.
#include <gtest/gtest.h>

#include "engine/Librarian.h"
#include "link/MIDILink.h"
#include "link/SerialLink.h"
#include "settings/LinkSettings.h"
#include "settings/SettingsStore.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

TEST(RealLinks, DeviceTypeChoosesTheTransport) {
    struct Case {
        int deviceType;
        bool midi;
    } cases[] = {{0, false}, {1, true}, {5, false}};
    for (const auto& c : cases) {
        CScopedSettingsStore store;
        store->WriteDword(kSectionOptions, "DeviceType", c.deviceType);
        CRecordingHost host;
        {
            CLibrarian engine(host);
            EXPECT_EQ(dynamic_cast<CMIDILink*>(&engine.CurrentLink()) != nullptr, c.midi);
            EXPECT_EQ(dynamic_cast<CSerialLink*>(&engine.CurrentLink()) != nullptr, !c.midi);
            EXPECT_EQ(engine.GetLinkSettings().deviceType, c.deviceType);
            engine.GetLinkSettings().deviceType = 1 - c.midi;
        }
        EXPECT_EQ(store->ReadDword(kSectionOptions, "DeviceType"), c.midi ? 0 : 1);
    }
}

// The engine answers whether its serial link found the serial settings incomplete, whichever
// link is current, until the program clears it; each engine's link answers for itself.
TEST(RealLinks, MissingSerialSettingsAreTheSerialLinksToTell) {
    for (const bool stored : {false, true}) {
        for (const int deviceType : {0, 1}) {
            SCOPED_TRACE(stored);
            SCOPED_TRACE(deviceType);
            CScopedSettingsStore store;
            store->WriteDword(kSectionOptions, "DeviceType", deviceType);
            if (stored) {
                store->WriteDword(kSectionSerial, "PortNumber", 1);
                store->WriteDword(kSectionSerial, "BaudRate", 38400);
                store->WriteDword(kSectionSerial, "Parity", 'n');
                store->WriteDword(kSectionSerial, "DataBits", 8);
                store->WriteDword(kSectionSerial, "StopBits", 2);
            }
            CRecordingHost host;
            CLibrarian engine(host);
            EXPECT_EQ(engine.SerialSettingsWereMissing(), !stored);
            EXPECT_EQ(host.Messages().size(), stored ? 0u : 1u);
            engine.ClearSerialSettingsMissing();
            EXPECT_FALSE(engine.SerialSettingsWereMissing());
        }
    }
}

}  // namespace
