// The engine over the real MIDI link, with a stand-in for the MIDI system: what the user is told
// when a program load cannot go through the route.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/Librarian.h"
#include "link/MIDILink.h"
#include "settings/SettingsStore.h"
#include "tests/engine/FakeLink.h"
#include "tests/link/midi/FakeMIDIBackend.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

namespace fs = std::filesystem;
using Bytes = CFakeMIDIBackend::Bytes;
using Lines = std::vector<std::string>;

class EngineMidiTest : public ::testing::Test {
protected:
    EngineMidiTest() {
        store->WriteDword(kSectionOptions, "DeviceType", 1);
        m_engine = std::make_unique<CLibrarian>(
            m_host, [this](IHost&) { return std::make_unique<CFakeLink>(m_transcript); },
            [this](IHost& linkHost) {
                auto link = std::make_unique<CMIDILink>(linkHost, m_backend);
                LinkTimings timings;
                timings.pollWaitMs = 10;
                link->SetTimings(timings);
                return link;
            });
        // The unit answers object queries with a root listing that never shows the program.
        m_backend->SetResponder([](const Bytes& frame) {
            if (frame.size() < 5 || frame[4] != 0x31) return std::vector<Bytes>{};
            return std::vector<Bytes>{{0xF0, 0x1C, 0x70, 0x00, 'R', 'O', 'O', 'T', 0xF7}};
        });
        m_file = fs::temp_directory_path() /
                 ("quorlin-engine-midi-" + std::to_string(::getpid()) + ".sig");
        std::ofstream(m_file, std::ios::binary) << "\"Name\"" << std::string(194, 'x');
    }
    ~EngineMidiTest() override { fs::remove(m_file); }

    CScopedSettingsStore store;
    CRecordingHost m_host;
    std::shared_ptr<CFakeMIDIBackend> m_backend = std::make_shared<CFakeMIDIBackend>();
    std::vector<std::string> m_transcript;
    std::unique_ptr<CLibrarian> m_engine;
    fs::path m_file;
};

TEST_F(EngineMidiTest, LoadTooLargeForTheRouteShowsOnlyTheLinksReason) {
    m_backend->SetLargestMessage(100);
    EXPECT_EQ(m_engine->LoadPatchFile(m_file.string()), -2);
    EXPECT_EQ(m_host.MessageTexts(),
              Lines{"The frame of 206 bytes is larger than the MIDI connection can carry (100 "
                    "bytes)."});
}

TEST_F(EngineMidiTest, LoadThatIsNeverConfirmedStillSaysSo) {
    EXPECT_EQ(m_engine->LoadPatchFile(m_file.string()), -2);
    EXPECT_EQ(m_host.MessageTexts(),
              Lines{"Unable to communicate with the unit.  Check your communication settings."});
}

}  // namespace
