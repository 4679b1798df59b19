// The in-process link: reply shapes, the clock, the poll loop with its completion probe, and the
// faults of a caller that it records.
#include <gtest/gtest.h>

#include "demo/SimLink.h"
#include "sim/SimUnit.h"
#include "tests/sim/UnitDriver.h"
#include "tests/support/RecordingHost.h"

namespace {

using Style = CSimLink::ReplyStyle;

int SendText(CSimLink& link, const std::string& frame, std::string& reply, int timeoutMs = 10000) {
    return link.SendAndWait(reinterpret_cast<const std::uint8_t*>(frame.data()),
                            static_cast<int>(frame.size()), timeoutMs, reply);
}

// What the librarian's probe does: a root query with a 2-second first wait, then look for the name.
class RootProbe : public ICompletionProbe {
public:
    explicit RootProbe(CSimLink& link, bool answer = true) : m_link(link), m_bAnswer(answer) {}
    int ProbeCompletion(const std::string& name) override {
        ++calls;
        m_link.firstWaitMs = 2000;
        std::string reply;
        const int r = SendText(m_link, UnitDriver::Frame(0x31, "0 0"), reply);
        m_link.firstWaitMs = 5000;
        return m_bAnswer && r == 0 && reply.find(name) != std::string::npos ? 1 : 0;
    }
    int calls = 0;

private:
    CSimLink& m_link;
    bool m_bAnswer;
};

TEST(SimLinkTest, ReplyShapeFollowsTheTransport) {
    for (const auto style : {Style::Serial, Style::MIDI}) {
        CSimUnit unit;
        CSimLink link(unit, style);
        ASSERT_EQ(link.Open(512), 0);
        std::string reply;
        ASSERT_EQ(SendText(link, UnitDriver::Frame(0x31, "2B 0"), reply), 0);
        EXPECT_EQ(reply.substr(0, 4), std::string("\xF0\x1C\x70\x00", 4));
        EXPECT_EQ(reply.back() == '\xF7', style == Style::MIDI);
        EXPECT_EQ(std::count(reply.begin(), reply.end(), '\xF7'), style == Style::MIDI ? 1 : 0);
        link.Close();
        EXPECT_TRUE(link.ProtocolErrors().empty());
    }
}

TEST(SimLinkTest, NoReplyCostsTheWaitARealLinkGivesUpAfter) {
    struct Case {
        Style style;
        bool silent;
        std::string frame;
        int waited;
    };
    const Case cases[] = {
        {Style::Serial, false, UnitDriver::Frame(0x31, "ABC 0"), 5000},  // unknown key
        {Style::MIDI, false, UnitDriver::Frame(0x31, "ABC 0"), 10000},
        {Style::Serial, true, UnitDriver::Frame(0x31, "0 0"), 5000},  // unit off
        {Style::MIDI, true, UnitDriver::Frame(0x31, "0 0"), 10000},
    };
    for (const auto& c : cases) {
        CSimUnit unit;
        CSimLink link(unit, c.style);
        link.SetSilent(c.silent);
        link.Open(512);
        std::string reply = "untouched";
        EXPECT_EQ(SendText(link, c.frame, reply), -1);
        EXPECT_EQ(reply, "untouched");
        EXPECT_EQ(link.Now(), c.waited);
        link.Close();
    }
}

TEST(SimLinkTest, TranscriptRecordsFramesWithTheClockThatPausesAdvance) {
    CSimUnit unit;
    CSimLink link(unit);
    CRecordingHost host;
    host.OnPause([&link](int ms) { link.AdvanceClock(ms); });
    link.Open(512);
    const std::string key = UnitDriver::Frame(0x01, UnitDriver::KeyPattern({{3, 3}}));
    const std::string change("\xC0\x04", 2);
    link.Send(reinterpret_cast<const std::uint8_t*>(key.data()), static_cast<int>(key.size()));
    host.Pause(500);
    link.Send(reinterpret_cast<const std::uint8_t*>(change.data()), 2);
    host.Pause(300);
    link.Close();
    ASSERT_EQ(link.Transcript().size(), 2u);
    EXPECT_EQ(link.Transcript()[0].bytes, key);
    EXPECT_EQ(link.Transcript()[0].atMs, 0);
    EXPECT_EQ(link.Transcript()[1].bytes, change);
    EXPECT_EQ(link.Transcript()[1].atMs, 500);
    EXPECT_EQ(link.Now(), 800);
    EXPECT_EQ(unit.PanelScreen(), "program functions 1");
    EXPECT_EQ(unit.LoadedProgram(1)->number, 0);  // bank 0 has no program 4
    link.ClearTranscript();
    EXPECT_TRUE(link.Transcript().empty());
}

TEST(SimLinkTest, CallerFaultsAreRecorded) {
    CSimUnit unit;
    CSimLink link(unit);
    const std::string query = UnitDriver::Frame(0x31, "0 0");
    std::string reply;
    EXPECT_EQ(SendText(link, query, reply), -1);  // not open: nothing reaches the unit
    link.Open(8);
    SendText(link, query, reply);  // 9 bytes on a link opened for 8
    link.Open(512);
    const std::string half = query.substr(0, 5);
    link.Send(reinterpret_cast<const std::uint8_t*>(half.data()), 5);
    link.Close();
    link.Close();
    EXPECT_EQ(link.ProtocolErrors(),
              (std::vector<std::string>{
                  "SendAndWait while the link is closed",
                  "SendAndWait of 9 bytes on a link opened for 8", "Open while the link is open",
                  "Send of bytes that are not one frame", "Close while the link is closed"}));
    EXPECT_EQ(link.OpenCount(), 2);
    EXPECT_EQ(link.CloseCount(), 2);
    EXPECT_EQ(link.LastOpenSize(), 512);
}

TEST(SimLinkTest, FailOpenReturnsMinus2) {
    CSimUnit unit;
    CSimLink link(unit);
    link.SetFailOpen(true);
    EXPECT_EQ(link.Open(512), -2);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(link.OpenCount(), 1);
    link.SetFailOpen(false);
    EXPECT_EQ(link.Open(512), 0);
    EXPECT_TRUE(link.IsOpen());
}

TEST(SimLinkTest, LoadCompletesThroughTheProbe) {
    for (const auto style : {Style::Serial, Style::MIDI}) {
        CSimUnit unit;
        CSimLink link(unit, style);
        RootProbe probe(link);
        const std::string frame = UnitDriver::Frame(0x0A, "preset \"Probe Me\"\n");
        link.Open(static_cast<int>(frame.size()));
        std::string reply;
        EXPECT_EQ(
            link.SendAndPoll(probe, "Probe Me", reinterpret_cast<const std::uint8_t*>(frame.data()),
                             static_cast<int>(frame.size()), reply),
            0);
        link.Close();
        EXPECT_TRUE(reply.empty());
        EXPECT_EQ(probe.calls, 1);
        EXPECT_EQ(link.Now(), 2000);  // one silent poll wait
        EXPECT_EQ(link.Transcript().size(), 2u);
        EXPECT_TRUE(link.ProtocolErrors().empty());
        EXPECT_EQ(unit.Programs(0)[4].name, "Probe Me");
    }
}

TEST(SimLinkTest, RefusedLoadReturnsTheErrorReply) {
    for (const auto style : {Style::Serial, Style::MIDI}) {
        CSimUnit unit;
        CSimLink link(unit, style);
        RootProbe probe(link);
        const std::string frame = UnitDriver::Frame(0x0A, "no name");
        link.Open(static_cast<int>(frame.size()));
        std::string reply;
        EXPECT_EQ(link.SendAndPoll(probe, "", reinterpret_cast<const std::uint8_t*>(frame.data()),
                                   static_cast<int>(frame.size()), reply),
                  0);
        link.Close();
        const std::string expected =
            std::string("\xF0\x1C\x70\x0D", 4) + "program refused: no name between double quotes";
        EXPECT_EQ(reply, style == Style::MIDI ? expected + "\xF7" : expected);
        EXPECT_EQ(probe.calls, 0);
        EXPECT_EQ(link.Now(), 0);
    }
}

TEST(SimLinkTest, PollGivesUpAfterElevenProbes) {
    CSimUnit unit;
    CSimLink link(unit);
    RootProbe probe(link, false);
    const std::string frame = UnitDriver::Frame(0x0A, "\"Never seen\"");
    link.Open(512);
    std::string reply;
    EXPECT_EQ(
        link.SendAndPoll(probe, "Never seen", reinterpret_cast<const std::uint8_t*>(frame.data()),
                         static_cast<int>(frame.size()), reply),
        -1);
    EXPECT_EQ(probe.calls, 11);
    EXPECT_EQ(link.Now(), 12 * 2000);
    link.Close();
}

TEST(SimLinkTest, SilentUnitNeverCompletesALoad) {
    CSimUnit unit;
    CSimLink link(unit);
    link.SetSilent(true);
    RootProbe probe(link);
    const std::string frame = UnitDriver::Frame(0x0A, "\"Lost\"");
    link.Open(512);
    std::string reply;
    EXPECT_EQ(link.SendAndPoll(probe, "Lost", reinterpret_cast<const std::uint8_t*>(frame.data()),
                               static_cast<int>(frame.size()), reply),
              -1);
    link.Close();
    EXPECT_EQ(unit.Programs(0).size(), 6u);
}

TEST(SimLinkTest, BytesAfterALoadFramesEndAreDroppedAndRecordedAsTheSendersFault) {
    // A patch fetched over MIDI ends in 0xF7; sent as it is, its frame ends in one 0xF7 more. The
    // unit takes the frame and drops the stray byte; the engine must not send it (a byte after a
    // frame's end could start a frame of its own).
    CSimUnit unit;
    CSimLink link(unit, Style::MIDI);
    RootProbe probe(link);
    const std::string frame = UnitDriver::Frame(0x0A, "preset \"Midi\"\n\xF7");
    link.Open(static_cast<int>(frame.size()));
    std::string reply;
    EXPECT_EQ(link.SendAndPoll(probe, "Midi", reinterpret_cast<const std::uint8_t*>(frame.data()),
                               static_cast<int>(frame.size()), reply),
              0);
    link.Close();
    EXPECT_EQ(link.ProtocolErrors(),
              std::vector<std::string>{"SendAndPoll of bytes that are not one frame"});
    EXPECT_EQ(unit.Programs(0)[4].text, "preset \"Midi\"\n");
}

}  // namespace
