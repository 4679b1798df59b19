// The MIDI link over a real MIDI route: a private JACK server with its dummy driver, and a peer
// that answers like the unit. Skipped where no JACK server can be started, unless
// QUORLIN_REQUIRE_JACK=1 (as in CI), which makes that a failure.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "link/MIDILink.h"
#include "link/midi/MIDIPortNames.h"
#include "tests/link/midi/JackPeer.h"
#include "tests/link/midi/JackServer.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

using Bytes = CJackPeer::Bytes;
constexpr int kReplyTimeoutMs = 10000;  // only reached when a test fails
constexpr int kConnectTimeoutMs = 10000;

Bytes Sysex(std::size_t size, std::uint8_t fill) {
    Bytes bytes(size, fill);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    return bytes;
}

Bytes Query(std::uint8_t tag) {
    return {0xF0, 0x1C, 0x70, 0x00, 0x13, tag, 0x00, 0x00, 0xF7};
}

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

// Answers like the unit: a query with tag 1 gets a 9-byte reply, tag 2 a reply of 3000 bytes
// (more than one input buffer), tag 3 one of 100 bytes; a program frame (type 0x0C) gets a
// poll-mode reply whose fourth byte is a carriage return.
std::vector<Bytes> Unit(const Bytes& frame) {
    if (frame.size() >= 6 && frame[4] == 0x0C) {
        return {{0xF0, 0x1C, 0x70, 0x0D, 'o', 'k', 0xF7}};
    }
    if (frame.size() < 6 || frame[4] != 0x13) return {};
    switch (frame[5]) {
        case 1:
            return {{0xF0, 0x1C, 0x70, 0x01, 'a', 'b', 'c', 'd', 0xF7}};
        case 2:
            return {Sysex(3000, 0x22)};
        case 3:
            return {Sysex(100, 0x33)};
        default:
            return {};
    }
}

class CProbe : public ICompletionProbe {
public:
    int ProbeCompletion(const std::string&) override { return 0; }
};

class MIDILinkJackTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_server.Start()) {
            const char* require = std::getenv("QUORLIN_REQUIRE_JACK");
            if (require && std::string(require) == "1") {
                FAIL() << "no JACK server: " << m_server.Why();
            }
            GTEST_SKIP() << "no JACK server could be started: " << m_server.Why();
        }
        m_peer.Start();
        m_peer.SetResponder(Unit);
        m_link = std::make_unique<CMIDILink>(m_host);
        LinkTimings timings;
        timings.pollWaitMs = 300;
        m_link->SetTimings(timings);
        m_link->Settings().m_nInputDevice = IndexOf(midi::InputPortNames(), CJackPeer::kOutputPort);
        m_link->Settings().m_nOutputDevice =
            IndexOf(midi::OutputPortNames(), CJackPeer::kInputPort);
        ASSERT_GE(m_link->Settings().m_nInputDevice, 0);
        ASSERT_GE(m_link->Settings().m_nOutputDevice, 0);
    }

    void TearDown() override {
        m_link.reset();
        m_peer.Stop();
        m_server.Stop();
    }

    // Opens the link, waits until both connections show in the server, and then until a first
    // query gets through: a server as slow as one under ThreadSanitizer misses process cycles
    // right after new connections (an xrun), and a message in such a cycle is lost.
    void OpenConnected() {
        ASSERT_EQ(m_link->Open(512), 0);
        ASSERT_TRUE(m_server.WaitUntilConnected(CJackPeer::kInputPort, kConnectTimeoutMs));
        ASSERT_TRUE(m_server.WaitUntilConnected(CJackPeer::kOutputPort, kConnectTimeoutMs));
        std::string reply;
        int attempt = 1;
        while (SendAndWait(Query(1), reply, 1000) != 0) {
            ASSERT_LT(attempt++, 10) << "no query got through";
        }
        if (attempt > 1) std::fprintf(stderr, "warm-up needed %d queries\n", attempt);
        m_peer.ClearReceived();
    }

    int SendAndWait(const Bytes& frame, std::string& reply, int timeoutMs = kReplyTimeoutMs) {
        return m_link->SendAndWait(frame.data(), static_cast<int>(frame.size()), timeoutMs, reply);
    }

    CScopedSettingsStore m_store;
    CRecordingHost m_host;
    CJackServer m_server;
    CJackPeer m_peer;
    std::unique_ptr<CMIDILink> m_link;
};

TEST_F(MIDILinkJackTest, RepliesComeBackThroughSendAndWaitAndSendAndPoll) {
    OpenConnected();

    std::string reply;
    EXPECT_EQ(SendAndWait(Query(1), reply), 0);
    EXPECT_EQ(reply, AsString({0xF0, 0x1C, 0x70, 0x01, 'a', 'b', 'c', 'd', 0xF7}));
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);

    // Longer than one input buffer, then a shorter one.
    EXPECT_EQ(SendAndWait(Query(2), reply), 0);
    EXPECT_EQ(reply, AsString(Sysex(3000, 0x22)));
    EXPECT_EQ(SendAndWait(Query(3), reply), 0);
    EXPECT_EQ(reply, AsString(Sysex(100, 0x33)));

    // No answer.
    reply = "untouched";
    EXPECT_EQ(SendAndWait(Query(9), reply, 300), -1);
    EXPECT_EQ(reply, "untouched");

    Bytes program = Sysex(5000, 0x44);
    program[1] = 0x1C;
    program[2] = 0x70;
    program[3] = 0x00;
    program[4] = 0x0C;
    CProbe probe;
    EXPECT_EQ(m_link->SendAndPoll(probe, "MyPatch", program.data(),
                                  static_cast<int>(program.size()), reply),
              0);
    EXPECT_EQ(reply, AsString({0xF0, 0x1C, 0x70, 0x0D, 'o', 'k', 0xF7}));
    m_link->Close();

    const auto received = m_peer.Received();
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[0], Query(1));
    EXPECT_EQ(received[4], program);
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

TEST_F(MIDILinkJackTest, TheListsNameThePeersPortsAndOpeningDoesNotShiftThem) {
    const auto inputs = midi::InputPortNames();
    const auto outputs = midi::OutputPortNames();
    EXPECT_THAT(inputs, ::testing::Contains(CJackPeer::kOutputPort));
    EXPECT_THAT(outputs, ::testing::Contains(CJackPeer::kInputPort));
    OpenConnected();
    EXPECT_EQ(midi::InputPortNames(), inputs);
    EXPECT_EQ(midi::OutputPortNames(), outputs);
    m_link->Close();
}

TEST_F(MIDILinkJackTest, AFrameTheRouteCannotCarryIsRefusedAndTheLargestOneArrivesWhole) {
    OpenConnected();
    const Bytes largest = Sysex(16379, 0x55);
    const Bytes tooLong = Sysex(16380, 0x56);
    std::string reply = "untouched";
    EXPECT_EQ(m_link->SendAndWait(tooLong.data(), static_cast<int>(tooLong.size()), 30000, reply),
              -1);
    EXPECT_THAT(m_host.MessageTexts(),
                ::testing::ElementsAre("The frame of 16380 bytes is larger than the MIDI "
                                       "connection can carry (16379 bytes)."));
    EXPECT_EQ(SendAndWait(largest, reply, 500), -1);  // the peer does not answer it
    m_link->Close();
    const auto received = m_peer.Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], largest);
}

TEST_F(MIDILinkJackTest, OpeningAPortThatDoesNotExistFails) {
    const auto names = midi::InputPortNames();
    ASSERT_FALSE(names.empty());
    const int missing = static_cast<int>(names.size());
    m_link->Settings().m_nInputDevice = missing;
    EXPECT_EQ(m_link->Open(512), -2);
    EXPECT_EQ(m_link->InputState(), 0);
    EXPECT_EQ(m_link->OutputState(), 0);
    std::string expected = "MIDI input device " + std::to_string(missing) +
                           " does not exist. The MIDI input devices are:";
    for (std::size_t i = 0; i < names.size(); ++i) {
        expected += "\n" + std::to_string(i) + ": " + names[i];
    }
    EXPECT_THAT(m_host.MessageTexts(), ::testing::ElementsAre(expected));
}

TEST_F(MIDILinkJackTest, WhenTheServerStopsTheTransactionTimesOutAndOpenFails) {
    OpenConnected();
    std::string reply;
    ASSERT_EQ(SendAndWait(Query(1), reply), 0);

    m_server.Stop();
    reply = "untouched";
    EXPECT_EQ(SendAndWait(Query(1), reply, 500), -1);
    EXPECT_EQ(reply, "untouched");
    const Bytes big = Sysex(16000, 0x66);  // would fill the ring that no server drains
    EXPECT_EQ(SendAndWait(big, reply, 300), -1);
    EXPECT_EQ(SendAndWait(big, reply, 300), -1);
    // The peer goes first: libjack cannot close a client made before its server vanished once
    // a new client has failed to connect, and the link's Open below makes one.
    m_peer.Stop();
    m_link->Close();
    EXPECT_EQ(m_link->Open(512), -2);
    EXPECT_EQ(m_link->InputState(), 0);
    EXPECT_EQ(m_link->OutputState(), 0);
}

}  // namespace

namespace {

TEST(MIDIWithoutASystemTest, TheListsAreEmptyAndOpenFails) {
    // A JACK server name that no server answers to, and no ALSA sequencer on these machines.
    setenv("JACK_DEFAULT_SERVER", "quorlin-test-nobody-here", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    if (access("/dev/snd/seq", F_OK) == 0) GTEST_SKIP() << "this machine has an ALSA sequencer";
    EXPECT_TRUE(midi::InputPortNames().empty());
    EXPECT_TRUE(midi::OutputPortNames().empty());
    CScopedSettingsStore store;
    CRecordingHost host;
    CMIDILink link(host);
    EXPECT_EQ(link.Open(512), -2);
    EXPECT_EQ(link.InputState(), 0);
    EXPECT_EQ(link.OutputState(), 0);
    EXPECT_THAT(host.MessageTexts(),
                ::testing::ElementsAre("MIDI input device " +
                                       std::to_string(link.Settings().m_nInputDevice) +
                                       " does not exist. This computer has no MIDI input "
                                       "devices."));
}

}  // namespace
