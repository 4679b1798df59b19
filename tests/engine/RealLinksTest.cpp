// The program's engine builds both real links and makes the stored transport current; nothing is
// opened while it is built.
#include <gtest/gtest.h>

#include "Librarian.h"
#include "LinkSettings.h"
#include "MIDILink.h"
#include "RecordingHost.h"
#include "ScopedSettingsStore.h"
#include "SerialLink.h"
#include "SettingsStore.h"

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

}  // namespace
