// The MIDI input and output devices over the stand-in MIDI system: states, what reaches the
// listener, and the exceptions.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>

#include "link/midi/MIDIInDevice.h"
#include "link/midi/MIDIInException.h"
#include "link/midi/MIDIInMemFailure.h"
#include "link/midi/MIDIOutDevice.h"
#include "link/midi/MIDIOutException.h"
#include "link/midi/MIDIOutMemFailure.h"
#include "tests/link/midi/FakeMIDIBackend.h"

namespace {

using Bytes = CFakeMIDIBackend::Bytes;
using ::testing::ElementsAre;

Bytes Sysex(std::size_t size, std::uint8_t fill = 0x11) {
    Bytes bytes(size, fill);
    bytes.front() = 0xF0;
    bytes.back() = 0xF7;
    return bytes;
}

// Records every listener call as one line, e.g. "long 2048", "short 7f4090", "shorterror 0".
class CRecordingListener : public midi::CMIDIInListener {
public:
    void OnLongMessage(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t) override {
        Add("long " + std::to_string(count), bytes, count);
    }
    void OnShortMessage(std::uint32_t message, std::uint32_t) override {
        char text[32];
        std::snprintf(text, sizeof text, "short %x", message);
        Add(text, nullptr, 0);
    }
    void OnLongError(const std::uint8_t* bytes, std::uint32_t count, std::uint32_t) override {
        Add("longerror " + std::to_string(count), bytes, count);
    }
    void OnShortError(std::uint32_t message, std::uint32_t) override {
        Add("shorterror " + std::to_string(message), nullptr, 0);
    }
    std::vector<std::string> Calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    Bytes AllBytes() {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    void Add(const std::string& call, const std::uint8_t* bytes, std::uint32_t count) {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(call);
        if (bytes) m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    }
    std::mutex m_mutex;
    std::vector<std::string> m_calls;
    Bytes m_bytes;
};

class MIDIDeviceTest : public ::testing::Test {
protected:
    std::shared_ptr<CFakeMIDIBackend> m_backend = std::make_shared<CFakeMIDIBackend>();
    CRecordingListener m_listener;
};

TEST_F(MIDIDeviceTest, InputMovesThroughItsStatesAndIgnoresOperationsOutOfTurn) {
    midi::CMIDIInDevice in(m_listener, m_backend);
    EXPECT_EQ(in.State(), 0);
    in.Start();  // closed: nothing
    in.Stop();
    EXPECT_EQ(in.State(), 0);
    in.Close();
    EXPECT_EQ(in.State(), 0);

    in.Open(1);
    EXPECT_EQ(in.State(), 1);
    EXPECT_EQ(m_backend->LastInputNumber(), 1u);
    in.Stop();  // not recording: nothing
    EXPECT_EQ(in.State(), 1);
    in.Start();
    EXPECT_EQ(in.State(), 2);
    in.Start();  // already recording: nothing
    EXPECT_EQ(in.State(), 2);
    in.Stop();
    EXPECT_EQ(in.State(), 1);
    in.Start();

    in.Open(0);  // from recording: closes first, so only one port is open
    EXPECT_EQ(in.State(), 1);
    EXPECT_EQ(m_backend->OpenInputs(), 1);

    in.Start();
    in.Close();  // from recording, through Stop
    EXPECT_EQ(in.State(), 0);
    EXPECT_EQ(m_backend->OpenInputs(), 0);
}

TEST_F(MIDIDeviceTest, OutputMovesThroughItsStates) {
    midi::CMIDIOutDevice out(m_backend);
    EXPECT_EQ(out.State(), 0);
    out.Open(1);
    EXPECT_EQ(out.State(), 1);
    EXPECT_EQ(m_backend->LastOutputNumber(), 1u);
    out.Open(0);
    EXPECT_EQ(m_backend->OpenOutputs(), 1);
    EXPECT_EQ(out.Close(), 0);
    EXPECT_EQ(out.State(), 0);
    EXPECT_EQ(m_backend->OpenOutputs(), 0);
    EXPECT_EQ(out.Close(), 0);  // closed: nothing
}

TEST_F(MIDIDeviceTest, DestroyingOpenDevicesClosesTheirPorts) {
    {
        midi::CMIDIInDevice in(m_listener, m_backend);
        midi::CMIDIOutDevice out(m_backend);
        in.Open(0);
        in.Start();
        out.Open(0);
    }
    EXPECT_EQ(m_backend->OpenInputs(), 0);
    EXPECT_EQ(m_backend->OpenOutputs(), 0);
}

TEST_F(MIDIDeviceTest, OpeningADeviceThatDoesNotExistThrowsTheSystemsTextAndStaysClosed) {
    for (std::int32_t number : {2, 99, -1}) {
        SCOPED_TRACE(number);
        midi::CMIDIInDevice in(m_listener, m_backend);
        midi::CMIDIOutDevice out(m_backend);
        try {
            in.Open(number);
            ADD_FAILURE() << "input opened";
        } catch (const midi::CMIDIInException& e) {
            const std::string expected =
                number < 0 ? "MIDI input device -1 does not exist."
                           : "There is no MIDI input number " + std::to_string(number) + ".";
            EXPECT_STREQ(e.what(), expected.c_str());
        }
        try {
            out.Open(number);
            ADD_FAILURE() << "output opened";
        } catch (const midi::CMIDIOutException& e) {
            const std::string expected =
                number < 0 ? "MIDI output device -1 does not exist."
                           : "There is no MIDI output number " + std::to_string(number) + ".";
            EXPECT_STREQ(e.what(), expected.c_str());
        }
        EXPECT_EQ(in.State(), 0);
        EXPECT_EQ(out.State(), 0);
        EXPECT_EQ(m_backend->OpenInputs() + m_backend->OpenOutputs(), 0);
    }
}

TEST_F(MIDIDeviceTest, SystemRefusalsBecomeTheDevicesExceptions) {
    midi::CMIDIInDevice in(m_listener, m_backend);
    midi::CMIDIOutDevice out(m_backend);

    m_backend->FailNextInOpen(std::make_exception_ptr(std::bad_alloc()));
    EXPECT_THROW(in.Open(0), midi::CMIDIInMemFailure);
    m_backend->FailNextOutOpen(std::make_exception_ptr(std::bad_alloc()));
    EXPECT_THROW(out.Open(0), midi::CMIDIOutMemFailure);

    // The system's text is kept to 127 bytes.
    const std::string longText(300, 'x');
    m_backend->FailNextInOpen(std::make_exception_ptr(std::runtime_error(longText)));
    try {
        in.Open(0);
        ADD_FAILURE();
    } catch (const midi::CMIDIInException& e) {
        EXPECT_EQ(std::string(e.what()), longText.substr(0, 127));
        const midi::CMIDIInException copy = e;
        EXPECT_STREQ(copy.what(), e.what());
    }

    m_backend->Vanish();
    EXPECT_THROW(in.Open(0), midi::CMIDIInException);
    EXPECT_THROW(out.Open(0), midi::CMIDIOutException);
    EXPECT_EQ(in.State(), 0);
    EXPECT_EQ(out.State(), 0);
}

TEST_F(MIDIDeviceTest, ExceptionTexts) {
    EXPECT_STREQ(midi::CMIDIInMemFailure().what(),
                 "Memory allocation within a CMIDIInDevice object failed.");
    EXPECT_STREQ(midi::CMIDIOutMemFailure().what(),
                 "Memory allocation within a CMIDIOutDevice object failed.");
    const std::bad_alloc& asBadAlloc = midi::CMIDIOutMemFailure();
    EXPECT_STREQ(asBadAlloc.what(), "Memory allocation within a CMIDIOutDevice object failed.");
    EXPECT_STREQ(midi::CMIDIOutException("port gone").what(), "port gone");
}

TEST_F(MIDIDeviceTest, AFailedCloseLeavesTheInputOpenedAndThrows) {
    midi::CMIDIInDevice in(m_listener, m_backend);
    in.Open(0);
    in.Start();
    m_backend->FailNextInClose(std::make_exception_ptr(std::runtime_error("busy")));
    EXPECT_THROW(in.Close(), midi::CMIDIInException);
    EXPECT_EQ(in.State(), 1);
    in.Close();
    EXPECT_EQ(in.State(), 0);
    EXPECT_EQ(m_backend->OpenInputs(), 0);
}

struct DeliveryCase {
    const char* name;
    Bytes message;
    std::vector<std::string> calls;
};

TEST_F(MIDIDeviceTest, InputReachesTheListenerByKind) {
    Bytes unfinished(3000, 0x22);
    unfinished.front() = 0xF0;
    const DeliveryCase cases[] = {
        {"sysex of 100 bytes", Sysex(100), {"long 100"}},
        {"sysex of exactly one buffer", Sysex(2048), {"long 2048"}},
        {"sysex of 3000 bytes", Sysex(3000), {"long 2048", "long 952"}},
        {"sysex of 4097 bytes", Sysex(4097), {"long 2048", "long 2048", "long 1"}},
        {"sysex without its end", unfinished, {"longerror 2048", "longerror 952"}},
        {"note on", {0x90, 0x40, 0x7F}, {"short 7f4090"}},
        {"program change", {0xC0, 0x05}, {"short 5c0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CRecordingListener listener;
        midi::CMIDIInDevice in(listener, m_backend);
        in.Open(0);
        in.Start();
        m_backend->Deliver(c.message);
        m_backend->Drain();
        EXPECT_EQ(listener.Calls(), c.calls);
        if (c.message.front() == 0xF0) {
            EXPECT_EQ(listener.AllBytes(), c.message);
        }
    }
}

TEST_F(MIDIDeviceTest, InputErrorsReachTheListenerWhileRecording) {
    midi::CMIDIInDevice in(m_listener, m_backend);
    in.Open(0);
    m_backend->DeliverError("overrun");
    m_backend->Drain();
    in.Start();
    m_backend->DeliverError("overrun");
    m_backend->Drain();
    EXPECT_THAT(m_listener.Calls(), ElementsAre("shorterror 0"));
}

TEST_F(MIDIDeviceTest, NothingIsDeliveredUnlessRecording) {
    midi::CMIDIInDevice in(m_listener, m_backend);
    in.Open(0);
    m_backend->Deliver(Sysex(10));  // opened, not started
    m_backend->Drain();
    in.Start();
    in.Stop();
    m_backend->Deliver(Sysex(10));  // stopped
    m_backend->Drain();
    in.Start();
    m_backend->Deliver(Sysex(12));
    m_backend->Drain();
    EXPECT_THAT(m_listener.Calls(), ElementsAre("long 12"));
}

TEST_F(MIDIDeviceTest, SendLongSendsOnlyWhenOpened) {
    midi::CMIDIOutDevice out(m_backend);
    const Bytes frame = Sysex(9);
    out.SendLong(frame.data(), 9);  // closed: nothing, no exception
    out.Open(0);
    out.SendLong(frame.data(), 9);
    out.Close();
    out.SendLong(frame.data(), 9);
    EXPECT_THAT(m_backend->SentFrames(), ElementsAre(frame));
}

TEST_F(MIDIDeviceTest, SendLongRefusesAMessageLongerThanTheRouteCarries) {
    m_backend->SetLargestMessage(16379);
    midi::CMIDIOutDevice out(m_backend);
    out.Open(0);
    EXPECT_EQ(out.LargestLongMessage(), 16379u);
    const Bytes fits = Sysex(16379);
    const Bytes tooLong = Sysex(16380);
    out.SendLong(fits.data(), static_cast<std::uint32_t>(fits.size()));
    try {
        out.SendLong(tooLong.data(), static_cast<std::uint32_t>(tooLong.size()));
        ADD_FAILURE() << "no exception";
    } catch (const midi::CMIDIOutException& e) {
        EXPECT_STREQ(e.what(),
                     "A message of 16380 bytes is longer than the 16379 bytes the MIDI "
                     "connection carries.");
    }
    ASSERT_EQ(m_backend->SentFrames().size(), 1u);
    EXPECT_EQ(m_backend->SentFrames()[0].size(), 16379u);
}

TEST_F(MIDIDeviceTest, AMessageTheSystemRefusesIsLostWithoutAnException) {
    midi::CMIDIOutDevice out(m_backend);
    out.Open(0);
    m_backend->FailSends(true);
    const Bytes frame = Sysex(9);
    EXPECT_TRUE(out.Failure().empty());
    EXPECT_NO_THROW(out.SendLong(frame.data(), 9));
    EXPECT_TRUE(m_backend->SentFrames().empty());
    EXPECT_EQ(out.State(), 1);
    // The refusal is kept for the link to find, until the next Open.
    EXPECT_EQ(out.Failure(), "The MIDI system refused the message.");
    m_backend->FailSends(false);
    out.SendLong(frame.data(), 9);
    EXPECT_EQ(out.Failure(), "The MIDI system refused the message.");
    out.Open(0);
    EXPECT_TRUE(out.Failure().empty());
}

TEST_F(MIDIDeviceTest, AnInputErrorIsKeptUntilTheNextOpenWhetherOrNotRecording) {
    midi::CMIDIInDevice in(m_listener, m_backend);
    in.Open(0);
    EXPECT_TRUE(in.Failure().empty());
    m_backend->DeliverError("overrun");  // opened, not recording
    m_backend->DeliverError("second");
    m_backend->Drain();
    EXPECT_EQ(in.Failure(), "overrun");
    in.Open(1);
    EXPECT_TRUE(in.Failure().empty());
}

}  // namespace
