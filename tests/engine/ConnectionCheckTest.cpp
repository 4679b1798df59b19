// The connection check over the real MIDI link and a stand-in MIDI system: what each line says
// when the unit answers, is silent, is not the unit, or when the long reply is spoilt on the way;
// over the real serial link, a line that echoes or floods instead of answering; and that a check
// never writes the settings.
#include <fcntl.h>

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/ConnectionCheck.h"
#include "link/SerialLink.h"
#include "settings/SerialSettings.h"
#include "tests/link/midi/FakeMIDIBackend.h"
#include "tests/link/serial/PtyPair.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScopedSettingsStore.h"

#include <atomic>
#include <stop_token>
#include <thread>

#include <stdlib.h>
#include <unistd.h>

namespace {

using Bytes = CFakeMIDIBackend::Bytes;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

Bytes Reply(const std::string& text) {
    Bytes bytes(text.size() + 5);
    bytes[0] = 0xF0;
    bytes[1] = 0x1C;
    bytes[2] = 0x70;
    bytes[3] = 0x00;
    std::copy(text.begin(), text.end(), bytes.begin() + 4);
    bytes.back() = 0xF7;
    return bytes;
}

// The root query as the engine sends it, which a loopback sends back.
const Bytes kRootQuery = {0xF0, 0x1C, 0x70, 0x00, 0x31, '0', ' ', '0', 0xF7};
constexpr const char* kEchoes =
    "FAIL unit answers - the line echoes what is sent (a loopback or a mis-wired cable)";
constexpr const char* kFloods =
    "FAIL unit answers - the line sends a flood of data that is not the unit's (";

std::string LongProgram() {
    std::string text = "preset \"Long One\"\n";
    while (text.size() < 4096) text += "info a line of the long program's information\n";
    return text;
}

struct MidiCase {
    const char* name;
    // The unit's answer to the root query, and to the program request (empty: none).
    Bytes root;
    Bytes program;
    bool answered;
    // What the last line says.
    std::string last;
};

void PrintTo(const MidiCase& c, std::ostream* os) {
    *os << c.name;
}

class ConnectionCheckMidiTest : public ::testing::TestWithParam<MidiCase> {};

TEST_P(ConnectionCheckMidiTest, SaysWhatTheRouteAndTheUnitDid) {
    const MidiCase& c = GetParam();
    CScopedSettingsStore store;
    auto backend = std::make_shared<CFakeMIDIBackend>();
    backend->SetResponder([&c](const Bytes& frame) -> std::vector<Bytes> {
        if (frame.size() >= 5 && frame[4] == 0x31 && !c.root.empty()) return std::vector<Bytes>{c.root};
        if (frame.size() >= 5 && frame[4] == 0x0B && !c.program.empty())
            return std::vector<Bytes>{c.program};
        return std::vector<Bytes>{};
    });
    std::vector<std::string> found;
    CConnectionCheck check({300, 100, 300},
                           [&found](const CheckLine& line) { found.push_back(line.Text(true)); });

    const ConnectionCheckResult result = check.CheckMIDI(1, 0, backend);

    EXPECT_EQ(result.unitAnswered, c.answered);
    ASSERT_GE(result.lines.size(), 4u);
    ASSERT_EQ(found.size(), result.lines.size()) << "every line is reported as it is found";
    EXPECT_EQ(found[0], "ok MIDI input 1 - exists: Fake In B");
    EXPECT_EQ(found[1], "ok MIDI output 0 - exists: Fake Out A");
    EXPECT_EQ(found[2], "ok open MIDI devices - input and output opened");
    EXPECT_THAT(found.back(), StartsWith(c.last));
    EXPECT_EQ(store->Count(), 0u) << "the check wrote settings";
    EXPECT_EQ(backend->OpenInputs() + backend->OpenOutputs(), 0) << "devices left open";
}

Bytes Spoilt(Bytes reply) {
    // A running-status clock byte in the middle, as a cheap interface mixes in.
    reply.insert(reply.begin() + static_cast<long>(reply.size() / 2), 0xF8);
    return reply;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectionCheckMidiTest,
    ::testing::Values(
        MidiCase{"healthy", Reply("root"), Reply(LongProgram()), true,
                 "ok long sysex - the current program's reply of " +
                     std::to_string(LongProgram().size() + 5) + " bytes arrived whole in "},
        MidiCase{"mangled", Reply("root"), Spoilt(Reply(LongProgram())), true,
                 "FAIL long sysex - the current program's reply of " +
                     std::to_string(LongProgram().size() + 6) + " bytes arrived damaged"},
        MidiCase{"program never comes", Reply("root"), {}, true,
                 "FAIL long sysex - the current program did not arrive within 300 ms"},
        MidiCase{"silent", {}, {}, false,
                 "FAIL unit answers - no answer to the root query within 300 ms"},
        MidiCase{"another device", {0xF0, 0x7E, 0x7F, 0x06, 0x02, 0xF7}, {}, false,
                 "FAIL unit answers - a reply came in "},
        MidiCase{"loopback", kRootQuery, {}, false, kEchoes}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (auto& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

TEST(ConnectionCheckTest, AMidiInputThatFloodsIsNamed) {
    CScopedSettingsStore store;
    auto backend = std::make_shared<CFakeMIDIBackend>();
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        while (!stop) {
            backend->Deliver({0xF0, 0x7E, 0x7F, 0x06, 0x02, 0xF7});
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const ConnectionCheckResult result = CConnectionCheck({300, 100, 300}).CheckMIDI(1, 0, backend);
    stop = true;
    flood.join();
    EXPECT_FALSE(result.unitAnswered);
    ASSERT_EQ(result.lines.size(), 4u);
    EXPECT_THAT(result.lines[3].Text(true), StartsWith(kFloods));
}

TEST(ConnectionCheckTest, AFewStrayBytesOnASilentMidiInputAreNoFlood) {
    // A merged input that passes on another device's short message now and then is not a
    // flood: the unit is silent.
    CScopedSettingsStore store;
    auto backend = std::make_shared<CFakeMIDIBackend>();
    std::atomic<bool> stop{false};
    std::thread notes([&] {
        while (!stop) {
            backend->Deliver({0xF0, 0x7E, 0xF7});
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const ConnectionCheckResult result = CConnectionCheck({300, 100, 300}).CheckMIDI(1, 0, backend);
    stop = true;
    notes.join();
    EXPECT_FALSE(result.unitAnswered);
    for (const auto& line : result.lines) EXPECT_THAT(line.Text(true), Not(StartsWith(kFloods)));
}

TEST(ConnectionCheckTest, ASerialLineThatEchoesOrFloodsIsNamedAndNoOtherSpeedIsTried) {
    struct Case {
        const char* name;
        CPtyPeer::Mode mode;
        std::string flood;
        const char* line;
    };
    std::string frames;  // another device's frames, each ending in F7
    for (int i = 0; i < 16; ++i) frames += std::string("\xF0\x7E\x7F\x06\x02\xF7", 6);
    const Case cases[] = {
        {"loopback", CPtyPeer::Mode::Echo, {}, kEchoes},
        {"flood without an end byte", CPtyPeer::Mode::Flood, std::string(64, '\x55'), kFloods},
        {"flood of frames", CPtyPeer::Mode::Flood, frames, kFloods},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CScopedSettingsStore store;
        CPtyPeer peer(c.mode, c.flood);
        ASSERT_FALSE(peer.Path().empty());
        CSerialSettings line;
        line.m_bPersist = false;
        line.m_strPortName = peer.Path();
        const ConnectionCheckResult result = CConnectionCheck({300, 100, 300}).CheckSerial(line);
        EXPECT_FALSE(result.unitAnswered);
        ASSERT_EQ(result.lines.size(), 4u) << result.lines.back().Text(true);
        EXPECT_THAT(result.lines[3].Text(true), StartsWith(c.line));
        EXPECT_EQ(store->Count(), 0u);
    }
}

TEST(ConnectionCheckTest, MissingMidiDevicesAreNamedAndNothingIsOpened) {
    CScopedSettingsStore store;
    auto backend = std::make_shared<CFakeMIDIBackend>();
    backend->SetPortNames({}, {"Only Out"});
    const ConnectionCheckResult result = CConnectionCheck({300, 100, 300}).CheckMIDI(0, 3, backend);
    EXPECT_FALSE(result.unitAnswered);
    ASSERT_EQ(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[0].Text(true),
              "FAIL MIDI input 0 - no such device; this computer has no MIDI inputs");
    EXPECT_EQ(result.lines[1].Text(true),
              "FAIL MIDI output 3 - no such device; the outputs are 0: Only Out");
    EXPECT_EQ(backend->OpenInputs() + backend->OpenOutputs(), 0);
    EXPECT_TRUE(backend->SentFrames().empty());
}

TEST(ConnectionCheckTest, ASerialCheckSavesNothing) {
    CScopedSettingsStore store;
    CSerialSettings line;
    line.m_bPersist = false;
    line.m_strPortName = "/nonexistent/quorlin-port";
    const ConnectionCheckResult result = CConnectionCheck().CheckSerial(line);
    EXPECT_FALSE(result.unitAnswered);
    ASSERT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.lines[0].Text(), "FAIL port /nonexistent/quorlin-port \u2014 No such file or "
                                      "directory");
    EXPECT_EQ(store->Count(), 0u);
}

TEST(ConnectionCheckTest, AStoppedCheckAsksTheUnitNothing) {
    // A terminal nobody answers on, and the stop raised before the start: the check still
    // looks at the port (a local matter of moments), then ends without sending a byte.
    CPtyPair silent;
    CScopedSettingsStore store;
    CSerialSettings line;
    line.m_bPersist = false;
    line.m_strPortName = silent.SlavePath();
    std::stop_source stop;
    stop.request_stop();
    CConnectionCheck check({200, 100, 300});
    check.SetStopToken(stop.get_token());
    const ConnectionCheckResult result = check.CheckSerial(line);
    ASSERT_EQ(result.lines.size(), 4u);
    EXPECT_EQ(result.lines[2].Text(true).rfind("ok line settings", 0), 0u)
        << result.lines[2].Text(true);
    EXPECT_EQ(result.lines[3].Text(true), "FAIL unit answers - the check was ended");
    EXPECT_EQ(silent.ReadAll(0), "");
    EXPECT_EQ(store->Count(), 0u);
}

// A stop that comes while the check waits for a silent unit ends that wait at once, not when
// its time is up (the waits here are far longer than the test may take), and leaves the port or
// devices closed.
TEST(ConnectionCheckTest, AStopDuringTheWaitForTheUnitEndsItAndFreesTheSerialPort) {
    CPtyPair silent;
    CScopedSettingsStore store;
    CSerialSettings line;
    line.m_bPersist = false;
    line.m_strPortName = silent.SlavePath();
    std::stop_source stop;
    CConnectionCheck check({20000, 20000, 20000});
    check.SetStopToken(stop.get_token());
    ConnectionCheckResult result;
    std::thread running([&] { result = check.CheckSerial(line); });
    // The root query has reached the line: the check is waiting for the unit.
    const std::string query = silent.ReadFrame(10000);
    stop.request_stop();
    running.join();
    EXPECT_EQ(query, std::string(kRootQuery.begin(), kRootQuery.end()));
    ASSERT_EQ(result.lines.size(), 4u);
    EXPECT_EQ(result.lines[3].Text(true), "FAIL unit answers - the check was ended");
    // Free again, exclusively, for the program's own link.
    CRecordingHost host;
    CSerialLink link(host, line);
    EXPECT_EQ(link.Open(512), 0) << (host.Messages().empty() ? "" : host.Messages()[0].text);
    link.Close();
}

TEST(ConnectionCheckTest, AStopDuringTheWaitForTheUnitEndsItAndClosesTheMidiDevices) {
    CScopedSettingsStore store;
    auto backend = std::make_shared<CFakeMIDIBackend>();
    std::atomic<bool> asked{false};
    backend->SetResponder([&asked](const Bytes& frame) -> std::vector<Bytes> {
        if (frame.size() >= 5 && frame[4] == 0x31) asked = true;
        return {};
    });
    std::stop_source stop;
    CConnectionCheck check({20000, 20000, 20000});
    check.SetStopToken(stop.get_token());
    ConnectionCheckResult result;
    std::thread running([&] { result = check.CheckMIDI(1, 0, backend); });
    for (int i = 0; i < 1000 && !asked; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop.request_stop();
    running.join();
    EXPECT_TRUE(asked);
    ASSERT_EQ(result.lines.size(), 4u);
    EXPECT_EQ(result.lines[3].Text(true), "FAIL unit answers - the check was ended");
    EXPECT_EQ(backend->OpenInputs() + backend->OpenOutputs(), 0) << "devices left open";
}

}  // namespace
