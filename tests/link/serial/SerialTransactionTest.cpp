// SendAndWait and Send over a pseudo-terminal: what a reply holds, which bytes belong to it, how
// long the link waits, and which frames it refuses.

#include <termios.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "tests/link/serial/SerialLinkFixture.h"

namespace {

const std::string kQuery = Bytes({0xF0, 0x1C, 0x70, 0x00, 0x0A, '1', ' ', '0', 0xF7});

}  // namespace

TEST_F(SerialLinkTest, ReplyEndsAtF7WhichIsNotPartOfIt) {
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    AnswerNextFrame(Bytes({0xF0, 0x1C, 0x70, 0x01, 'o', 'k', 0xF7}));

    std::string reply = "old";
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 1000, reply), 0);
    JoinPeer();

    EXPECT_EQ(m_strSeen, kQuery);
    EXPECT_EQ(reply, Bytes({0xF0, 0x1C, 0x70, 0x01, 'o', 'k'}));
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
    EXPECT_EQ(m_host.WaitCursorBegins(), 1);
    EXPECT_TRUE(m_host.Messages().empty());
}

// The pause the engine makes after a key press must count from the moment the frame has left the
// port, so Send returns only then: never while the frame still waits in the link because the
// monitor has not written it yet (here it cannot: the terminal's output is stopped, as a line held
// by flow control or a monitor thread that a busy machine runs late would keep it).
TEST_F(SerialLinkTest, SendReturnsOnlyOnceTheFrameHasLeftThePort) {
    const std::string key = Bytes({0xF0, 0x1C, 0x70, 0x00, 0x01, 0x0F, 0x0F, 0x0F, 0x07, 0x0F,
                                   0x0F, 0x0F, 0x0F, 0xF7});
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    ASSERT_EQ(::tcflow(m_pty.SlaveFd(), TCOOFF), 0);
    std::atomic<bool> restarted{false};
    std::thread restart([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        restarted = true;
        ::tcflow(m_pty.SlaveFd(), TCOON);
    });
    m_pLink->Send(Data(key), Length(key));
    const bool returnedAfterRestart = restarted.load();
    restart.join();

    EXPECT_TRUE(returnedAfterRestart) << "Send returned while the frame could not leave";
    EXPECT_EQ(m_pty.ReadFrame(2000), key);
    EXPECT_TRUE(m_host.Messages().empty());
}

TEST_F(SerialLinkTest, BytesOfEveryValuePassUnchangedBothWays) {
    std::string every;
    for (int v = 0; v < 256; ++v) {
        if (v != 0xF7) every.push_back(static_cast<char>(v));
    }
    const std::string frame = every + Bytes({0xF7});
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    AnswerNextFrame(every + every + Bytes({0xF7}));

    std::string reply;
    EXPECT_EQ(m_pLink->SendAndWait(Data(frame), Length(frame), 1000, reply), 0);
    JoinPeer();

    EXPECT_EQ(m_strSeen, frame);
    EXPECT_EQ(reply, every + every);
}

TEST_F(SerialLinkTest, BytesAfterTheF7AndBetweenTransactionsAreDropped) {
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    AnswerNextFrame(Bytes({0xF0, 0x01, 0xF7, 0x99, 0x98}));
    std::string reply;
    ASSERT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 1000, reply), 0);
    JoinPeer();
    EXPECT_EQ(reply, Bytes({0xF0, 0x01}));

    // Unasked bytes, a whole frame among them, while no transaction runs.
    m_pty.Write(Bytes({0x55, 0xF0, 0x1C, 0x70, 0x01, 0x55, 0xF7, 0x55}));
    ASSERT_TRUE(WaitUntil([this] { return m_pty.SlaveInputQueued() == 0; }));

    AnswerNextFrame(Bytes({0xF0, 0x02, 0xF7}));
    ASSERT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 1000, reply), 0);
    JoinPeer();
    EXPECT_EQ(reply, Bytes({0xF0, 0x02}));
}

// The first frame is larger than the pty can buffer, so the link is still writing it when the
// query is handed over and when stale bytes arrive; they must not become the query's reply, and
// neither frame may be cut or overwritten.
TEST_F(SerialLinkTest, StaleInputIsDiscardedAndQueuedFramesStayIntact) {
    const int bigSize = 1 << 20;
    std::string big(static_cast<std::size_t>(bigSize) - 1, '\x42');
    big.push_back('\xF7');
    LinkTimings timings = m_pLink->Timings();
    timings.sendWaitMs = 0;  // hand the query over while the big frame is still being written
    m_pLink->SetTimings(timings);
    ASSERT_EQ(m_pLink->Open(bigSize), 0);

    m_pLink->Send(Data(big), Length(big));
    std::string seen;
    StartPeer([&](CPtyPair& pty) {
        WaitUntil([&] { return m_host.WaitCursorBegins() == 1; });
        pty.Write(Bytes({0xF0, 0x1C, 0x70, 0x01, 0xEE, 0xF7}));  // stale: before the query
        seen = pty.ReadFrame(3000);
        seen += pty.ReadFrame(3000);
        pty.Write(Bytes({0xF0, 0x1C, 0x70, 0x01, 0x77, 0xF7}));
    });

    std::string reply;
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 3000, reply), 0);
    JoinPeer();
    EXPECT_EQ(reply, Bytes({0xF0, 0x1C, 0x70, 0x01, 0x77}));
    EXPECT_TRUE(seen == big + kQuery) << "the link wrote " << seen.size() << " bytes";
    EXPECT_TRUE(m_host.Messages().empty());
}

TEST_F(SerialLinkTest, SilenceEndsAfterTheFirstWaitNotTheWholeTimeout) {
    m_pLink->firstWaitMs = 100;
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    AnswerNextFrame({});

    std::string reply = "unchanged";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 20000, reply), -1);
    const double elapsed = Elapsed(start);
    JoinPeer();

    EXPECT_EQ(reply, "unchanged");
    EXPECT_GE(elapsed, 100);
    EXPECT_LT(elapsed, 10000);
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);

    // The link is still good for the next transaction (with time for the peer to answer).
    m_pLink->firstWaitMs = 5000;
    AnswerNextFrame(Bytes({0xF0, 0x03, 0xF7}));
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 1000, reply), 0);
    EXPECT_EQ(reply, Bytes({0xF0, 0x03}));
}

// The first bytes of each reply must come within the first wait: it is long enough for a peer
// thread on a busy machine, and the whole timeout is longer still.
TEST_F(SerialLinkTest, AReplyThatHasBegunGetsTheRestOfTheTimeout) {
    constexpr int kFirstWaitMs = 2000;
    m_pLink->firstWaitMs = kFirstWaitMs;
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);

    // Never finished: -1 once the whole timeout has passed.
    AnswerNextFrame(Bytes({0xF0, 0x1C, 0x70}));
    std::string reply = "unchanged";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), kFirstWaitMs + 1000, reply), -1);
    EXPECT_GE(Elapsed(start), kFirstWaitMs + 1000);
    EXPECT_EQ(reply, "unchanged");
    JoinPeer();

    // Finished after the first wait: the reply is still taken. The rest is written at least
    // the first wait and a bit after the query went out (sleep_for waits at least that long).
    StartPeer([](CPtyPair& pty) {
        if (pty.ReadFrame(10000).empty()) return;
        pty.Write(Bytes({0xF0, 0x1C}));
        std::this_thread::sleep_for(std::chrono::milliseconds(kFirstWaitMs + 300));
        pty.Write(Bytes({0x70, 0x01, 0xF7}));
    });
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 30000, reply), 0);
    EXPECT_EQ(reply, Bytes({0xF0, 0x1C, 0x70, 0x01}));
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

TEST_F(SerialLinkTest, FramesLongerThanTheOpenSizeAreRefusedUnsent) {
    const std::string small = Bytes({0xC0, 0x05});
    ASSERT_EQ(m_pLink->Open(Length(kQuery) - 1), 0);

    std::string reply = "unchanged";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 20000, reply), -1);
    EXPECT_LT(Elapsed(start), m_pLink->firstWaitMs);  // nothing sent, nothing to wait for
    EXPECT_EQ(reply, "unchanged");
    m_pLink->Send(Data(kQuery), Length(kQuery));
    m_pLink->Send(Data(small), -1);
    m_pLink->Send(Data(small), Length(small));
    // A frame that fits, sent last: the link writes in order, so once it has come everything
    // sent before it has come too.
    const std::string last = Bytes({0xF0, 0x7E, 0xF7});
    m_pLink->Send(Data(last), Length(last));

    EXPECT_EQ(m_pty.ReadFrame(10000), small + last);
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

TEST_F(SerialLinkTest, NothingIsSentWhileClosed) {
    std::string reply = "unchanged";
    m_pLink->Send(Data(kQuery), Length(kQuery));
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 1000, reply), -1);
    EXPECT_EQ(reply, "unchanged");

    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    m_pLink->Close();
    m_pLink->Send(Data(kQuery), Length(kQuery));
    // Open again and send a frame: it is the first and only thing the port gets.
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    const std::string next = Bytes({0xF0, 0x7E, 0xF7});
    m_pLink->Send(Data(next), Length(next));
    EXPECT_EQ(m_pty.ReadFrame(10000), next);
    m_pLink->Close();
    EXPECT_EQ(m_pty.ReadAll(0), "");
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

// Two links, as two engines would hold them: bytes arriving on one never reach a transaction
// running on the other.
TEST_F(SerialLinkTest, TwoLinksKeepTheirTransactionsApart) {
    CPtyPair otherPty;
    auto other = MakeLink(otherPty);
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    ASSERT_EQ(other->Open(kFrameSize), 0);

    StartPeer([&](CPtyPair& pty) {
        if (pty.ReadFrame(3000).empty()) return;
        otherPty.Write(Bytes({0xF0, 0xBB, 0xF7}));
        WaitUntil([&] { return otherPty.SlaveInputQueued() == 0; });
        pty.Write(Bytes({0xF0, 0xAA, 0xF7}));
    });
    std::string reply;
    EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 2000, reply), 0);
    JoinPeer();
    EXPECT_EQ(reply, Bytes({0xF0, 0xAA}));
}

// A reply may hold up to kMaxReplyBytes; a longer one, or a peer that never ends its reply, is
// discarded as it comes and fails the exchange at once with a message, and the link goes on.
TEST_F(SerialLinkTest, AReplyLongerThanTheLimitIsDiscardedAndTheExchangeFailsAtOnce) {
    constexpr std::size_t kLimit = CSerialLink::kMaxReplyBytes;
    static_assert(kLimit == 2 * 1024 * 1024);
    constexpr int kLongWaitMs = 60000;
    struct Case {
        const char* name;
        std::size_t bytes;  // before the closing 0xF7; 0: a flood that never ends
        int result;
    };
    const Case cases[] = {
        {"exactly the limit", kLimit, 0},
        {"one byte more", kLimit + 1, -1},
        {"a flood without end", 0, -1},
    };
    m_pLink->firstWaitMs = 5000;
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.Clear();
        std::atomic<bool> stop{false};
        StartPeer([&](CPtyPair& pty) {
            if (pty.ReadFrame(3000).empty()) return;
            if (c.bytes != 0) {
                pty.Write(std::string(c.bytes, '\x41') + Bytes({0xF7}));
                return;
            }
            const std::string chunk(65536, '\x41');
            while (!stop) pty.TryWrite(chunk, 100);
        });
        std::string reply = "unchanged";
        auto exchange = std::async(std::launch::async, [&] {
            return m_pLink->SendAndWait(Data(kQuery), Length(kQuery), kLongWaitMs, reply);
        });
        const bool ended = exchange.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        stop = true;
        JoinPeer();
        ASSERT_TRUE(ended) << "the exchange waited for the endless reply";
        EXPECT_EQ(exchange.get(), c.result);
        if (c.result == 0) {
            EXPECT_EQ(reply, std::string(kLimit, '\x41'));
            EXPECT_TRUE(m_host.Messages().empty());
        } else {
            EXPECT_EQ(reply, "unchanged");
            EXPECT_EQ(m_host.MessageTexts(),
                      std::vector<std::string>{
                          "The unit's reply is longer than 2 MiB; it was discarded."});
        }
        EXPECT_FALSE(m_pLink->PeerGone());

        // The next exchange is not disturbed by what is left of the flood.
        AnswerNextFrame(Bytes({0xF0, 0x06, 0xF7}));
        EXPECT_EQ(m_pLink->SendAndWait(Data(kQuery), Length(kQuery), 3000, reply), 0);
        JoinPeer();
        EXPECT_EQ(reply, Bytes({0xF0, 0x06}));
    }
}

// The same limit for a reply that ends a SendAndPoll.
TEST_F(SerialLinkTest, APollReplyLongerThanTheLimitIsDiscardedToo) {
    struct CProbe : ICompletionProbe {
        int ProbeCompletion(const std::string&) override { return ++calls, 0; }
        int calls = 0;
    } probe;
    // Poll waits long enough for 2 MiB to cross the pty on a slow, busy machine: the link must
    // give up at the limit, not when the waits run out.
    LinkTimings timings = m_pLink->Timings();
    timings.pollWaitMs = 2000;
    m_pLink->SetTimings(timings);
    ASSERT_EQ(m_pLink->Open(kFrameSize), 0);
    AnswerNextFrame(std::string(CSerialLink::kMaxReplyBytes + 1, '\x42') + Bytes({0xF7}));
    std::string reply = "unchanged";
    EXPECT_EQ(m_pLink->SendAndPoll(probe, "Big Hall", Data(kQuery), Length(kQuery), reply), -1);
    JoinPeer();
    EXPECT_EQ(reply, "unchanged");
    EXPECT_EQ(m_host.MessageTexts(),
              std::vector<std::string>{"The unit's reply is longer than 2 MiB; it was discarded."});
}
