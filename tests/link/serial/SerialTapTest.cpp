// The serial link's traffic tap over a real pseudo-terminal: every frame written and every frame
// read, in order and whole (the end byte kept), input no transaction took marked discarded, and
// the observer called on the tap's own thread.

#include "link/LinkTap.h"
#include "tests/link/serial/SerialLinkFixture.h"
#include "tests/support/RecordingLinkObserver.h"

namespace {

struct Expected {
    LinkDirection direction;
    std::string bytes;
    bool discarded;
};

}  // namespace

TEST_F(SerialLinkTest, TheTapSeesEveryFrameWrittenAndReadInOrder) {
    auto tap = std::make_shared<CLinkTap>();
    CRecordingLinkObserver seen;
    tap->AddObserver(&seen);
    m_pLink->SetTap(tap);
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);

    // Bytes while nothing waits: no reply takes them.
    const std::string stray = Bytes({0x41, 0x42, 0xF7});
    m_pty.Write(stray);
    ASSERT_TRUE(WaitUntil([&] {
        tap->Flush();
        return seen.Frames().size() == 1;
    }));

    // A reply in two pieces, with bytes after its end that nobody asked for.
    const std::string query = Bytes({0xF0, 0x1C, 0x70, 0x00, 0x31, 0x30, 0x20, 0x30, 0xF7});
    const std::string reply = Bytes({0xF0, 0x1C, 0x70, 0x00, 0x61, 0x62, 0xF7});
    const std::string trailing = Bytes({0x7E, 0xF7});
    StartPeer([&](CPtyPair& pty) {
        if (pty.ReadFrame(3000).empty()) return;
        pty.Write(reply.substr(0, 3));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pty.Write(reply.substr(3) + trailing);
    });
    std::string got;
    ASSERT_EQ(m_pLink->SendAndWait(Data(query), Length(query), 5000, got), 0);
    EXPECT_EQ(got, reply.substr(0, reply.size() - 1));  // the link's reply leaves out the F7
    JoinPeer();
    ASSERT_TRUE(WaitUntil([&] {
        tap->Flush();
        return seen.Frames().size() >= 4;
    }));

    // A program change, sent without waiting.
    const std::string change = Bytes({0xC0, 0x05});
    m_pLink->Send(Data(change), Length(change));
    m_pLink->Close();
    tap->RemoveObserver(&seen);

    const Expected expected[] = {
        {LinkDirection::FromUnit, stray, true},  {LinkDirection::ToUnit, query, false},
        {LinkDirection::FromUnit, reply, false}, {LinkDirection::FromUnit, trailing, true},
        {LinkDirection::ToUnit, change, false},
    };
    const std::vector<LinkFrame> frames = seen.Frames();
    ASSERT_EQ(frames.size(), std::size(expected));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(frames[i].direction, expected[i].direction);
        EXPECT_EQ(frames[i].bytes, expected[i].bytes);
        EXPECT_EQ(frames[i].discarded, expected[i].discarded);
        EXPECT_EQ(frames[i].link, m_pty.SlavePath());
        if (i > 0) {
            EXPECT_GE(frames[i].time, frames[i - 1].time);
        }
    }
    // Never on the calling thread (nor, being one thread, on the monitor's).
    for (const auto id : seen.Threads()) EXPECT_NE(id, std::this_thread::get_id());
}
