// The MIDI link over the stand-in MIDI system: opening, the reply rules of SendAndWait and
// SendAndPoll, frames the route cannot carry, failures of the MIDI system, and the settings.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>

#include "link/MIDILink.h"
#include "tests/link/midi/FakeMIDIBackend.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/RecordingLinkObserver.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

using Bytes = CFakeMIDIBackend::Bytes;
using ::testing::ElementsAre;

constexpr int kReplyTimeoutMs = 10000;  // only reached when a test fails
constexpr int kSilenceMs = 100;         // for transactions that must time out
// Far longer than kBound: an exchange that waits for a reply that cannot come does not pass.
constexpr int kLongWaitMs = 60000;
constexpr auto kBound = std::chrono::seconds(20);

Bytes Sysex(std::size_t size, std::uint8_t fill) {
    Bytes bytes(size, fill);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    return bytes;
}

// A query frame as the engine sends it; `tag` tells the responder what to answer.
Bytes Query(std::uint8_t tag) {
    return {0xF0, 0x1C, 0x70, 0x00, 0x13, tag, 0x00, 0x00, 0xF7};
}

// A unit reply that the poll mode takes: its fourth byte is a carriage return.
Bytes PollReply(const std::string& text) {
    Bytes bytes;
    bytes.reserve(text.size() + 5);
    for (std::uint8_t b : {0xF0, 0x1C, 0x70, 0x0D}) bytes.push_back(b);
    for (char c : text) bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0xF7);
    return bytes;
}

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

class CProbe : public ICompletionProbe {
public:
    std::function<int(const std::string&)> answer = [](const std::string&) { return 0; };
    std::atomic<int> calls{0};
    int ProbeCompletion(const std::string& name) override {
        ++calls;
        return answer(name);
    }
};

class MIDILinkTest : public ::testing::Test {
protected:
    MIDILinkTest() {
        LinkTimings timings;
        timings.pollWaitMs = 50;
        m_link->SetTimings(timings);
    }

    int SendAndWait(const Bytes& frame, std::string& reply, int timeoutMs = kReplyTimeoutMs) {
        return m_link->SendAndWait(frame.data(), static_cast<int>(frame.size()), timeoutMs, reply);
    }
    int SendAndPoll(CProbe& probe, const Bytes& frame, std::string& reply) {
        return m_link->SendAndPoll(probe, "MyPatch", frame.data(), static_cast<int>(frame.size()),
                                   reply);
    }

    CScopedSettingsStore m_store;
    CRecordingHost m_host;
    std::shared_ptr<CFakeMIDIBackend> m_backend = std::make_shared<CFakeMIDIBackend>();
    std::unique_ptr<CMIDILink> m_link = std::make_unique<CMIDILink>(m_host, m_backend);
};

TEST_F(MIDILinkTest, SendAndWaitReturnsTheWholeReplyWithItsClosingF7) {
    struct Case {
        const char* name;
        std::vector<Bytes> input;  // what the unit sends back, in order
        Bytes reply;
    };
    const Case cases[] = {
        {"one buffer of 100 bytes", {Sysex(100, 0x21)}, Sysex(100, 0x21)},
        {"2048 bytes and 952 more", {Sysex(3000, 0x22)}, Sysex(3000, 0x22)},
        {"after a short message", {{0x90, 0x40, 0x7F}, Sysex(20, 0x23)}, Sysex(20, 0x23)},
        {"after a message without its end", {{0xF0, 0x01, 0x02}, Sysex(30, 0x24)}, Sysex(30, 0x24)},
    };
    ASSERT_EQ(m_link->Open(512), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_backend->SetResponder([&](const Bytes&) { return c.input; });
        std::string reply;
        EXPECT_EQ(SendAndWait(Query(1), reply), 0);
        EXPECT_EQ(reply, AsString(c.reply));
    }
    m_link->Close();
    EXPECT_THAT(m_backend->SentFrames(), ::testing::Each(Query(1)));
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

TEST_F(MIDILinkTest, AShorterReplyAfterALongerOneHoldsOnlyItsOwnBytes) {
    m_backend->SetResponder([](const Bytes& frame) {
        return std::vector<Bytes>{frame[5] == 1 ? Sysex(3000, 0x31) : Sysex(100, 0x32)};
    });
    ASSERT_EQ(m_link->Open(512), 0);
    std::string first, second;
    EXPECT_EQ(SendAndWait(Query(1), first), 0);
    EXPECT_EQ(SendAndWait(Query(2), second), 0);
    m_link->Close();
    EXPECT_EQ(first, AsString(Sysex(3000, 0x31)));
    EXPECT_EQ(second, AsString(Sysex(100, 0x32)));
}

TEST_F(MIDILinkTest, SendAndWaitWithoutACompleteReplyReturnsMinusOneAndLeavesTheReplyAlone) {
    ASSERT_EQ(m_link->Open(512), 0);
    for (const std::vector<Bytes>& input :
         std::vector<std::vector<Bytes>>{
             {},                                   // silence
             {{0xF0, 0x1C, 0x70, 0x00, 0x41}},     // never ends with 0xF7
             {{0xB0, 0x07, 0x64}, {0xC0, 0x01}}})  // not system-exclusive
    {
        m_backend->SetResponder([&](const Bytes&) { return input; });
        std::string reply = "untouched";
        EXPECT_EQ(SendAndWait(Query(1), reply, kSilenceMs), -1);
        EXPECT_EQ(reply, "untouched");
    }
    // The next transaction works normally.
    m_backend->SetResponder([](const Bytes&) { return std::vector<Bytes>{Sysex(10, 0x33)}; });
    std::string reply;
    EXPECT_EQ(SendAndWait(Query(1), reply), 0);
    EXPECT_EQ(reply, AsString(Sysex(10, 0x33)));
    m_link->Close();
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
    EXPECT_EQ(m_host.WaitCursorBegins(), 4);
}

TEST_F(MIDILinkTest, SendAndPollTakesAPollReplyWhoseFourthByteIsACarriageReturn) {
    m_backend->SetResponder(
        [](const Bytes&) { return std::vector<Bytes>{PollReply("Not enough memory")}; });
    ASSERT_EQ(m_link->Open(512), 0);
    CProbe probe;
    std::string reply;
    EXPECT_EQ(SendAndPoll(probe, Sysex(600, 0x41), reply), 0);
    m_link->Close();
    EXPECT_EQ(reply, AsString(PollReply("Not enough memory")));
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

TEST_F(MIDILinkTest, SendAndPollIgnoresOtherInputAndEndsWhenTheProbeSeesTheProgram) {
    m_backend->SetResponder([](const Bytes&) {
        return std::vector<Bytes>{
            {0xF0, 0x1C, 0x70, 0x01, 0x41, 0xF7},  // fourth byte not 0x0D
            {0xF0, 0x1C, 0xF7},                    // shorter than 4 bytes
            {0x90, 0x40, 0x7F},                    // not system-exclusive
        };
    });
    ASSERT_EQ(m_link->Open(512), 0);
    CProbe probe;
    std::string seen;
    probe.answer = [&](const std::string& name) {
        seen = name;
        return 1;
    };
    std::string reply;
    EXPECT_EQ(SendAndPoll(probe, Sysex(600, 0x41), reply), 0);
    m_link->Close();
    EXPECT_EQ(reply, "");
    EXPECT_EQ(probe.calls, 1);
    EXPECT_EQ(seen, "MyPatch");
}

TEST_F(MIDILinkTest, SendAndPollGivesUpAfterElevenProbes) {
    ASSERT_EQ(m_link->Open(512), 0);
    CProbe probe;
    std::string reply = "untouched";
    EXPECT_EQ(SendAndPoll(probe, Sysex(600, 0x41), reply), -1);
    m_link->Close();
    EXPECT_EQ(probe.calls, 11);
    EXPECT_EQ(reply, "untouched");
}

TEST_F(MIDILinkTest, TheProbesNestedSendAndWaitGetsTheInputThatArrivesMeanwhile) {
    // The unit answers the probe's query with a text whose fourth byte is a carriage return too:
    // during the nested SendAndWait it still belongs to that SendAndWait, not to the poll.
    const Bytes listing = PollReply("MyPatch");
    m_backend->SetResponder([&](const Bytes& frame) {
        return frame == Query(7) ? std::vector<Bytes>{listing} : std::vector<Bytes>{};
    });
    ASSERT_EQ(m_link->Open(512), 0);
    CProbe probe;
    std::string probeReply;
    probe.answer = [&](const std::string&) {
        const int result = SendAndWait(Query(7), probeReply);
        return result == 0 && probeReply.find("MyPatch") != std::string::npos ? 1 : 0;
    };
    std::string reply;
    EXPECT_EQ(SendAndPoll(probe, Sysex(600, 0x41), reply), 0);
    m_link->Close();
    EXPECT_EQ(reply, "");
    EXPECT_EQ(probeReply, AsString(listing));
    EXPECT_EQ(probe.calls, 1);
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

TEST_F(MIDILinkTest, OpenFailsCleanlyWhenADeviceCannotBeOpened) {
    const std::string inputs = "\n0: Fake In A\n1: Fake In B";
    const std::string outputs = "\n0: Fake Out A\n1: Fake Out B";
    struct Case {
        const char* name;
        std::int32_t input, output;
        bool noDevices;
        std::string message;  // naming the device that does not exist and those that do
    };
    const Case cases[] = {
        {"input does not exist", 5, 0, false,
         "MIDI input device 5 does not exist. The MIDI input devices are:" + inputs},
        {"output does not exist", 0, 2, false,
         "MIDI output device 2 does not exist. The MIDI output devices are:" + outputs},
        {"negative numbers", -1, -1, false,
         "MIDI input device -1 does not exist. The MIDI input devices are:" + inputs},
        {"no devices at all", 0, 0, true,
         "MIDI input device 0 does not exist. This computer has no MIDI input devices."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.Clear();
        if (c.noDevices) m_backend->SetPortNames({}, {});
        m_link->Settings().m_nInputDevice = c.input;
        m_link->Settings().m_nOutputDevice = c.output;
        EXPECT_EQ(m_link->Open(512), -2);
        EXPECT_EQ(m_link->InputState(), 0);
        EXPECT_EQ(m_link->OutputState(), 0);
        EXPECT_EQ(m_backend->OpenInputs(), 0);
        EXPECT_EQ(m_backend->OpenOutputs(), 0);
        EXPECT_THAT(m_host.MessageTexts(), ElementsAre(c.message));
    }
    // A device that exists but fails to open: no message of the link's (the engine says the
    // operation failed).
    m_backend->SetPortNames({"Fake In A"}, {"Fake Out A"});
    m_host.Clear();
    m_backend->FailNextOutOpen(std::make_exception_ptr(std::bad_alloc()));
    m_link->Settings().m_nInputDevice = 0;
    m_link->Settings().m_nOutputDevice = 0;
    EXPECT_EQ(m_link->Open(512), -2);
    EXPECT_EQ(m_backend->OpenInputs(), 0);
    EXPECT_TRUE(m_host.Messages().empty());
}

TEST_F(MIDILinkTest, OpenAndCloseUseTheDevicesOfTheSettings) {
    m_link->Settings().m_nInputDevice = 1;
    m_link->Settings().m_nOutputDevice = 0;
    ASSERT_EQ(m_link->Open(512), 0);
    EXPECT_EQ(m_link->InputState(), 1);
    EXPECT_EQ(m_link->OutputState(), 1);
    EXPECT_EQ(m_backend->LastInputNumber(), 1u);
    EXPECT_EQ(m_backend->LastOutputNumber(), 0u);
    std::string reply;
    SendAndWait(Query(1), reply, kSilenceMs);
    EXPECT_EQ(m_link->InputState(), 2);  // the first transaction started recording
    m_link->Close();
    EXPECT_EQ(m_link->InputState(), 0);
    EXPECT_EQ(m_link->OutputState(), 0);
    EXPECT_EQ(m_backend->OpenInputs() + m_backend->OpenOutputs(), 0);
}

TEST_F(MIDILinkTest, AFrameLargerThanTheRouteCarriesIsRefusedAtOnceAndTheUserTold) {
    m_backend->SetLargestMessage(16379);
    ASSERT_EQ(m_link->Open(512), 0);
    const Bytes tooLong = Sysex(16380, 0x51);
    const std::string text =
        "The frame of 16380 bytes is larger than the MIDI connection can carry (16379 bytes).";
    CProbe probe;
    std::string reply = "untouched";

    m_link->Send(tooLong.data(), static_cast<int>(tooLong.size()));
    // With the longest time-outs the engine uses: the call must return without waiting at all.
    EXPECT_EQ(m_link->SendAndWait(tooLong.data(), static_cast<int>(tooLong.size()), 30000, reply),
              -1);
    EXPECT_EQ(SendAndPoll(probe, tooLong, reply), -1);

    EXPECT_EQ(reply, "untouched");
    EXPECT_EQ(probe.calls, 0);
    EXPECT_EQ(m_host.WaitCursorBegins(), 0);
    EXPECT_THAT(m_host.MessageTexts(), ElementsAre(text, text, text));
    EXPECT_EQ(m_host.Messages()[0].icon, IHost::Icon::Warning);

    const Bytes fits = Sysex(16379, 0x52);
    m_link->Send(fits.data(), static_cast<int>(fits.size()));
    m_link->Close();
    EXPECT_THAT(m_backend->SentFrames(), ElementsAre(fits));
}

TEST_F(MIDILinkTest, FailuresOfTheMIDISystemShowAsMissingReplies) {
    ASSERT_EQ(m_link->Open(512), 0);
    m_backend->FailSends(true);
    const Bytes frame = Query(1);
    EXPECT_NO_THROW(m_link->Send(frame.data(), static_cast<int>(frame.size())));
    std::string reply;
    EXPECT_EQ(SendAndWait(frame, reply, kSilenceMs), -1);
    m_backend->FailNextInClose(std::make_exception_ptr(std::runtime_error("busy")));
    EXPECT_NO_THROW(m_link->Close());
    EXPECT_EQ(m_link->OutputState(), 0);
    // The input that could not be closed is closed by the next Open.
    m_backend->FailSends(false);
    EXPECT_EQ(m_link->Open(512), 0);
    EXPECT_EQ(m_backend->OpenInputs(), 1);
    m_link->Close();
}

TEST_F(MIDILinkTest, WhenTheMIDISystemVanishesTheTransactionTimesOutAndOpenFails) {
    m_backend->SetResponder([&](const Bytes&) {
        m_backend->Vanish();  // gone before it could answer
        return std::vector<Bytes>{Sysex(10, 0x61)};
    });
    ASSERT_EQ(m_link->Open(512), 0);
    std::string reply;
    EXPECT_EQ(SendAndWait(Query(1), reply, kSilenceMs), -1);
    m_link->Close();
    EXPECT_EQ(m_link->Open(512), -2);
    EXPECT_EQ(m_backend->OpenInputs() + m_backend->OpenOutputs(), 0);

    m_backend->Back();
    m_backend->SetResponder([](const Bytes&) { return std::vector<Bytes>{Sysex(10, 0x62)}; });
    ASSERT_EQ(m_link->Open(512), 0);
    EXPECT_EQ(SendAndWait(Query(1), reply), 0);
    m_link->Close();
}

TEST_F(MIDILinkTest, AWorkerStuckInTheMIDISystemCannotHarmTheCallersBytesOrTheLink) {
    LinkTimings timings;
    timings.workerWaitMs = 20;
    m_link->SetTimings(timings);
    ASSERT_EQ(m_link->Open(512), 0);
    m_backend->HoldSends();
    auto frame = std::make_unique<Bytes>(Query(9));
    std::string reply;
    EXPECT_EQ(
        m_link->SendAndWait(frame->data(), static_cast<int>(frame->size()), kSilenceMs, reply), -1);
    // The caller frees its bytes at once; the link closes and is destroyed while the worker is
    // still held inside the MIDI system.
    std::fill(frame->begin(), frame->end(), 0);
    frame.reset();
    m_link->Close();
    m_link.reset();
    m_backend->ReleaseSends();
    ASSERT_TRUE(m_backend->WaitForSentFrames(1, kReplyTimeoutMs));
    EXPECT_THAT(m_backend->SentFrames(), ElementsAre(Query(9)));
}

TEST_F(MIDILinkTest, AReplyBeyondTwoMebibytesIsDiscardedAndTheExchangeFailsAtOnce) {
    constexpr std::size_t kLimit = CMIDIReplyCollector::kMaxReplyBytes;
    struct Case {
        const char* name;
        std::size_t size;
        int result;
    };
    const Case cases[] = {{"exactly the limit", kLimit, 0}, {"one byte more", kLimit + 1, -1}};
    ASSERT_EQ(m_link->Open(512), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.Clear();
        m_backend->SetResponder(
            [&](const Bytes&) { return std::vector<Bytes>{Sysex(c.size, 0x41)}; });
        std::string reply = "untouched";
        auto exchange = std::async(std::launch::async,
                                   [&] { return SendAndWait(Query(1), reply, kLongWaitMs); });
        ASSERT_EQ(exchange.wait_for(kBound), std::future_status::ready);
        EXPECT_EQ(exchange.get(), c.result);
        m_backend->Drain();
        if (c.result == 0) {
            EXPECT_EQ(reply, AsString(Sysex(c.size, 0x41)));
            EXPECT_TRUE(m_host.Messages().empty());
        } else {
            EXPECT_EQ(reply, "untouched");
            EXPECT_THAT(m_host.MessageTexts(),
                        ElementsAre("The unit's reply is longer than 2 MiB; it was discarded."));
        }
        EXPECT_FALSE(m_link->PeerGone());
    }
    // The next exchange is not disturbed.
    m_backend->SetResponder([](const Bytes&) { return std::vector<Bytes>{Sysex(10, 0x42)}; });
    std::string reply;
    EXPECT_EQ(SendAndWait(Query(1), reply), 0);
    EXPECT_EQ(reply, AsString(Sysex(10, 0x42)));
    m_link->Close();
}

// When the MIDI system reports a failure, the link says so once, ends the exchange that waits,
// and fails every later exchange at once, without sending, until it is opened again.
TEST_F(MIDILinkTest, AfterTheMIDISystemReportsAFailureEveryExchangeFailsAtOnceUntilReopened) {
    enum class Failure { RefusedFrame, InputErrorDuringAReply, InputErrorBetweenExchanges };
    struct Case {
        const char* name;
        Failure failure;
        std::string message;
    };
    const Case cases[] = {
        {"a frame refused", Failure::RefusedFrame,
         "The MIDI output device failed: The MIDI system refused the message."},
        {"an input error while a reply is awaited", Failure::InputErrorDuringAReply,
         "The MIDI input device failed: MIDI input overflow"},
        {"an input error between exchanges", Failure::InputErrorBetweenExchanges,
         "The MIDI input device failed: MIDI input overflow"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_host.Clear();
        m_backend->SetResponder([](const Bytes&) { return std::vector<Bytes>{Sysex(10, 0x51)}; });
        ASSERT_EQ(m_link->Open(512), 0);
        std::string reply;
        ASSERT_EQ(SendAndWait(Query(1), reply), 0);  // recording, the unit answers
        EXPECT_FALSE(m_link->PeerGone());

        switch (c.failure) {
            case Failure::RefusedFrame:
                m_backend->FailSends(true);
                break;
            case Failure::InputErrorDuringAReply:
                m_backend->SetResponder([this](const Bytes&) {
                    m_backend->DeliverError("MIDI input overflow");
                    return std::vector<Bytes>{};
                });
                break;
            case Failure::InputErrorBetweenExchanges:
                m_backend->DeliverError("MIDI input overflow");
                m_backend->Drain();
                break;
        }
        const std::size_t sentBefore = m_backend->SentFrames().size();
        reply = "untouched";
        auto exchange = std::async(std::launch::async,
                                   [&] { return SendAndWait(Query(2), reply, kLongWaitMs); });
        ASSERT_EQ(exchange.wait_for(kBound), std::future_status::ready);
        EXPECT_EQ(exchange.get(), -1);
        EXPECT_EQ(reply, "untouched");
        EXPECT_TRUE(m_link->PeerGone());

        // Later exchanges fail at once and send nothing.
        const std::size_t sentAfter = m_backend->SentFrames().size();
        EXPECT_LE(sentAfter, sentBefore + 1);
        const int cursorsBefore = m_host.WaitCursorBegins();
        CProbe probe;
        auto later = std::async(std::launch::async, [&] {
            const Bytes frame = Query(3);
            m_link->Send(frame.data(), static_cast<int>(frame.size()));
            return SendAndWait(frame, reply, kLongWaitMs) == -1 &&
                   SendAndPoll(probe, Sysex(600, 0x41), reply) == -1;
        });
        ASSERT_EQ(later.wait_for(kBound), std::future_status::ready);
        EXPECT_TRUE(later.get());
        EXPECT_EQ(probe.calls, 0);
        EXPECT_EQ(reply, "untouched");
        EXPECT_EQ(m_backend->SentFrames().size(), sentAfter);
        EXPECT_EQ(m_host.WaitCursorBegins(), cursorsBefore);
        EXPECT_EQ(m_host.WaitCursorDepth(), 0);
        const auto messages = m_host.Messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, c.message);
        EXPECT_EQ(messages[0].icon, IHost::Icon::Error);

        // Opened again, over a MIDI system that works, the link works.
        m_link->Close();
        m_backend->FailSends(false);
        m_backend->SetResponder([](const Bytes&) { return std::vector<Bytes>{Sysex(10, 0x52)}; });
        ASSERT_EQ(m_link->Open(512), 0);
        EXPECT_FALSE(m_link->PeerGone());
        EXPECT_EQ(SendAndWait(Query(4), reply), 0);
        EXPECT_EQ(reply, AsString(Sysex(10, 0x52)));
        m_link->Close();
        EXPECT_EQ(m_host.Messages().size(), 1u);
    }
}

TEST_F(MIDILinkTest, SettingsAreLoadedAtConstructionAndSavedAtDestruction) {
    m_store->WriteDword("MIDISetup", "InputDevice", 1);
    m_store->WriteDword("MIDISetup", "OutputDevice", 1);
    auto link = std::make_unique<CMIDILink>(m_host, m_backend);
    EXPECT_EQ(link->Settings().m_nInputDevice, 1);
    EXPECT_EQ(link->Settings().m_nOutputDevice, 1);
    link->Settings().m_nOutputDevice = 0;
    EXPECT_EQ(m_store->ReadDword("MIDISetup", "OutputDevice"), 1);  // only in memory so far
    link.reset();
    EXPECT_EQ(m_store->ReadDword("MIDISetup", "InputDevice"), 1);
    EXPECT_EQ(m_store->ReadDword("MIDISetup", "OutputDevice"), 0);
}

}  // namespace

TEST_F(MIDILinkTest, TheTapSeesEveryFrameSentAndEveryMessageReadWholeInOrder) {
    auto tap = std::make_shared<CLinkTap>();
    CRecordingLinkObserver seen;
    tap->AddObserver(&seen);
    m_link->SetTap(tap);
    const Bytes unfinished = {0xF0, 0x01, 0x02};  // the device hands it on as an error
    const Bytes noteOn = {0x90, 0x40, 0x7F};
    const Bytes longReply = Sysex(3000, 0x22);  // reaches the link in two pieces
    const Bytes stray = Sysex(10, 0x25);
    const Bytes refusal = PollReply("Bank is full");
    const Bytes load = {0xF0, 0x1C, 0x70, 0x00, 0x0A, 0x22, 0x41, 0x22, 0xF7};
    m_backend->SetResponder([&](const Bytes& frame) -> std::vector<Bytes> {
        if (frame == Query(1)) return {unfinished, noteOn, longReply};
        if (frame == load) return {stray, refusal};
        return {};
    });
    ASSERT_EQ(m_link->Open(512), 0);
    std::string reply;
    ASSERT_EQ(SendAndWait(Query(1), reply), 0);
    const Bytes change = {0xC0, 0x05};
    m_link->Send(change.data(), static_cast<int>(change.size()));
    CProbe probe;
    ASSERT_EQ(SendAndPoll(probe, load, reply), 0);
    m_backend->Drain();
    m_link->Close();
    tap->RemoveObserver(&seen);

    struct Expected {
        LinkDirection direction;
        Bytes bytes;
        bool discarded;
    };
    const Expected expected[] = {
        {LinkDirection::ToUnit, Query(1), false}, {LinkDirection::FromUnit, unfinished, true},
        {LinkDirection::FromUnit, noteOn, true},  {LinkDirection::FromUnit, longReply, false},
        {LinkDirection::ToUnit, change, false},   {LinkDirection::ToUnit, load, false},
        {LinkDirection::FromUnit, stray, true},   {LinkDirection::FromUnit, refusal, false},
    };
    const std::vector<LinkFrame> frames = seen.Frames();
    ASSERT_EQ(frames.size(), std::size(expected));
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(frames[i].direction, expected[i].direction);
        EXPECT_EQ(frames[i].bytes, AsString(expected[i].bytes));
        EXPECT_EQ(frames[i].discarded, expected[i].discarded);
        EXPECT_EQ(frames[i].link, "MIDI in 0 out 0");
    }
}
