// The reply collector's rules, piece by piece, as the input device hands pieces over.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "link/MIDIReplyCollector.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Feed(CMIDIReplyCollector& collector, const Bytes& piece) {
    collector.OnLongMessage(piece.data(), static_cast<std::uint32_t>(piece.size()), 0);
}

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(MIDIReplyCollectorTest, WaitModeGathersOneMessageUpToItsClosingF7) {
    const Bytes head{0xF0, 0x1C, 0x70, 0x00, 0x41};
    const Bytes middle{0x42, 0x43};
    const Bytes end{0x44, 0xF7};
    const Bytes other{0xF0, 0x01, 0xF7};
    struct Case {
        const char* name;
        std::vector<Bytes> pieces;
        bool complete;
        Bytes reply;
    };
    const Case cases[] = {
        {"one piece", {other}, true, other},
        {"three pieces in order",
         {head, middle, end},
         true,
         {0xF0, 0x1C, 0x70, 0x00, 0x41, 0x42, 0x43, 0x44, 0xF7}},
        {"the tail of an earlier message is left out", {middle, end, other}, true, other},
        {"a new message drops an unfinished one", {head, middle, other}, true, other},
        {"input after the complete reply changes nothing", {other, head, end}, true, other},
        {"no closing F7", {head, middle}, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMIDIReplyCollector collector;
        Feed(collector, {0xF0, 0x55, 0xF7});  // before the transaction: not part of it
        collector.BeginWait();
        for (const auto& piece : c.pieces) Feed(collector, piece);
        EXPECT_EQ(collector.WaitReplyEvent().IsSet(), c.complete);
        if (c.complete) {
            EXPECT_EQ(collector.TakeWaitReply(), AsString(c.reply));
        }
        collector.EndWait();
    }
}

TEST(MIDIReplyCollectorTest, PollModeTakesTheFirstInputWhoseFourthByteIsACarriageReturn) {
    CMIDIReplyCollector collector;
    const Bytes reply{0xF0, 0x1C, 0x70, 0x0D, 0x45, 0xF7};
    Feed(collector, reply);  // no poll running: ignored
    collector.BeginPoll();
    EXPECT_TRUE(collector.PollReplyEmpty());
    Feed(collector, {0xF0, 0x1C, 0x0D});                    // shorter than 4 bytes
    Feed(collector, {0xF0, 0x1C, 0x70, 0x0E, 0x45, 0xF7});  // fourth byte not 0x0D
    EXPECT_FALSE(collector.PollReplyEvent().IsSet());

    collector.BeginWait();  // the probe's SendAndWait takes precedence
    Feed(collector, reply);
    collector.EndWait();
    EXPECT_FALSE(collector.PollReplyEvent().IsSet());

    Feed(collector, reply);
    Feed(collector, {0xF0, 0x1C, 0x70, 0x0D, 0x46, 0xF7});  // later input does not replace it
    EXPECT_TRUE(collector.PollReplyEvent().IsSet());
    EXPECT_EQ(collector.TakePollReply(), AsString(reply));
    collector.EndPoll();

    collector.BeginPoll();  // the next poll starts empty
    EXPECT_TRUE(collector.PollReplyEmpty());
    EXPECT_FALSE(collector.PollReplyEvent().IsSet());
}

}  // namespace

namespace {

TEST(MIDIReplyCollectorTest, AWaitReplyBeyondTheLimitIsDiscardedAndEndsTheWait) {
    constexpr std::size_t kLimit = CMIDIReplyCollector::kMaxReplyBytes;
    static_assert(kLimit == 2 * 1024 * 1024);
    struct Case {
        const char* name;
        std::size_t size;  // of one message, 0xF0 ... 0xF7, fed in pieces of 2048 bytes
        bool discarded;
    };
    const Case cases[] = {
        {"exactly the limit", kLimit, false},
        {"one byte more", kLimit + 1, true},
        {"far more", 4 * kLimit, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes message(c.size, 0x41);
        message.front() = 0xF0;
        message.back() = 0xF7;
        CMIDIReplyCollector collector;
        collector.BeginWait();
        std::size_t fed = 0;
        while (fed < message.size() && !collector.WaitReplyEvent().IsSet()) {
            const std::size_t piece = std::min<std::size_t>(2048, message.size() - fed);
            collector.OnLongMessage(message.data() + fed, static_cast<std::uint32_t>(piece), 0);
            fed += piece;
        }
        EXPECT_TRUE(collector.WaitReplyEvent().IsSet());
        EXPECT_EQ(collector.WaitReplyDiscarded(), c.discarded);
        EXPECT_EQ(collector.WaitReplyComplete(), !c.discarded);
        if (c.discarded) {
            // Ended as soon as the limit was passed, not at the end of the message.
            EXPECT_LE(fed, kLimit + 2048);
            EXPECT_EQ(collector.TakeWaitReply(), "");
            // The rest of the message, or another one, changes nothing until the next wait.
            Feed(collector, {0xF0, 0x01, 0xF7});
            EXPECT_TRUE(collector.WaitReplyDiscarded());
            EXPECT_EQ(collector.TakeWaitReply(), "");
        } else {
            EXPECT_EQ(collector.TakeWaitReply(), AsString(message));
        }
        collector.EndWait();
        collector.BeginWait();
        EXPECT_FALSE(collector.WaitReplyDiscarded());
        EXPECT_FALSE(collector.WaitReplyEvent().IsSet());
        collector.EndWait();
    }
}

TEST(MIDIReplyCollectorTest, AnInputErrorOrAnInterruptWakesBothWaitsWithoutAReply) {
    for (bool byInterrupter : {false, true}) {
        SCOPED_TRACE(byInterrupter ? "interrupter" : "input error");
        CMIDIReplyCollector collector;
        std::function<void()> interrupt = collector.Interrupter();
        collector.BeginPoll();
        collector.BeginWait();
        if (byInterrupter) {
            interrupt();
        } else {
            collector.OnShortError(0, 0);
        }
        EXPECT_TRUE(collector.WaitReplyEvent().IsSet());
        EXPECT_TRUE(collector.PollReplyEvent().IsSet());
        EXPECT_FALSE(collector.WaitReplyComplete());
        EXPECT_FALSE(collector.PollReplyTaken());
        collector.EndWait();
        collector.EndPoll();
    }
    // The interrupter holds only the events: it may run after the collector has gone.
    std::function<void()> late;
    {
        CMIDIReplyCollector collector;
        late = collector.Interrupter();
    }
    late();
}

}  // namespace
