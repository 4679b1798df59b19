// SendAndPoll over a pseudo-terminal: the completion probe, a reply from the unit, the nested
// SendAndWait of the probe, and the limit of eleven probes.

#include <atomic>

#include "tests/link/serial/SerialLinkFixture.h"

namespace {

const std::string kProgram = Bytes({0xF0, 0x1C, 0x70, 0x00, 0x0D, 'p', 'a', 't', 'c', 'h', 0xF7});
const std::string kListQuery = Bytes({0xF0, 0x1C, 0x70, 0x00, 0x0A, 'l', 0xF7});

class CScriptedProbe : public ICompletionProbe {
public:
    explicit CScriptedProbe(std::function<int(int call)> answer) : m_answer(std::move(answer)) {}
    int ProbeCompletion(const std::string& name) override {
        m_strName = name;
        return m_answer(++m_nCalls);
    }
    int Calls() const { return m_nCalls; }
    const std::string& Name() const { return m_strName; }

private:
    std::function<int(int)> m_answer;
    int m_nCalls = 0;
    std::string m_strName;
};

}  // namespace

class SerialPollTest : public SerialLinkTest {
protected:
    SerialPollTest() {
        LinkTimings fast = m_pLink->Timings();
        fast.pollWaitMs = 30;
        m_pLink->SetTimings(fast);
        m_pLink->Open(1024);
    }
};

TEST_F(SerialPollTest, AProbeThatSeesTheProgramEndsThePollWithReplyUnchanged) {
    CScriptedProbe probe([](int) { return 1; });
    AnswerNextFrame({});  // the unit takes the program silently
    std::string reply = "unchanged";
    EXPECT_EQ(m_pLink->SendAndPoll(probe, "Big Hall", Data(kProgram), Length(kProgram), reply), 0);
    JoinPeer();

    EXPECT_EQ(m_strSeen, kProgram);
    EXPECT_EQ(reply, "unchanged");
    EXPECT_EQ(probe.Calls(), 1);
    EXPECT_EQ(probe.Name(), "Big Hall");
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

TEST_F(SerialPollTest, AReplyEndsThePollWithThatReply) {
    // The reply must come within the first wait for the probe never to be asked: a wait long
    // enough for a peer thread on a busy machine.
    LinkTimings timings = m_pLink->Timings();
    timings.pollWaitMs = 5000;
    m_pLink->SetTimings(timings);
    CScriptedProbe probe([](int) { return 1; });
    AnswerNextFrame(Bytes({0xF0, 0x1C, 0x70, 0x01, 'e', 'r', 'r', 0xF7}));
    std::string reply;
    EXPECT_EQ(m_pLink->SendAndPoll(probe, "Big Hall", Data(kProgram), Length(kProgram), reply), 0);
    EXPECT_EQ(reply, Bytes({0xF0, 0x1C, 0x70, 0x01, 'e', 'r', 'r'}));
    EXPECT_EQ(probe.Calls(), 0);
}

// The probe asks the unit for a listing with its own SendAndWait: the listing is that
// SendAndWait's reply and must not end the poll as if the unit had answered the program.
TEST_F(SerialPollTest, BytesDuringTheProbesWaitGoToTheProbe) {
    const std::string listing = Bytes({0xF0, 0x1C, 0x70, 0x01, 'l', 'i', 's', 't', 0xF7});
    std::vector<std::string> probeReplies;
    CScriptedProbe probe([&](int call) {
        std::string got;
        if (m_pLink->SendAndWait(Data(kListQuery), Length(kListQuery), 1000, got) == 0) {
            probeReplies.push_back(got);
        }
        return call == 3 ? 1 : 0;
    });
    StartPeer([&](CPtyPair& pty) {
        if (pty.ReadFrame(3000) != kProgram) return;
        for (int i = 0; i < 3; ++i) {
            if (pty.ReadFrame(3000) != kListQuery) return;
            pty.Write(listing);
        }
    });

    std::string reply;
    EXPECT_EQ(m_pLink->SendAndPoll(probe, "Big Hall", Data(kProgram), Length(kProgram), reply), 0);
    JoinPeer();

    EXPECT_EQ(reply, "");
    EXPECT_EQ(probe.Calls(), 3);
    EXPECT_EQ(probeReplies, std::vector<std::string>(3, listing.substr(0, listing.size() - 1)));
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

TEST_F(SerialPollTest, ElevenSilentProbesThenGivesUp) {
    CScriptedProbe probe([](int) { return 0; });
    std::string reply = "unchanged";
    EXPECT_EQ(m_pLink->SendAndPoll(probe, "Big Hall", Data(kProgram), Length(kProgram), reply), -1);
    EXPECT_EQ(probe.Calls(), 11);
    EXPECT_EQ(reply, "unchanged");
    EXPECT_EQ(m_host.WaitCursorDepth(), 0);
}

// While part of a reply is buffered the unit is still talking: the probe is not asked.
// The partial reply is written by the probe's first call, which is made while nothing has come,
// and the link has read it before that call returns; a probe asked again would end the poll.
TEST_F(SerialPollTest, APartialReplyHoldsBackTheProbe) {
    LinkTimings timings = m_pLink->Timings();
    timings.pollWaitMs = 300;  // the bytes read go into the reply's buffer well within one wait
    m_pLink->SetTimings(timings);
    std::atomic<bool> programSeen{false};
    CScriptedProbe probe([this, &programSeen](int call) {
        if (call > 1) return 1;
        // Once the program is out, the link takes what comes as its reply.
        WaitUntil([&programSeen] { return programSeen.load(); });
        m_pty.Write(Bytes({0xF0, 0x1C, 0x70}));
        WaitUntil([this] { return m_pty.SlaveInputQueued() == 0; });
        return 0;
    });
    StartPeer([&programSeen](CPtyPair& pty) { programSeen = pty.ReadFrame(10000) == kProgram; });
    std::string reply = "unchanged";
    EXPECT_EQ(m_pLink->SendAndPoll(probe, "Big Hall", Data(kProgram), Length(kProgram), reply), -1);
    JoinPeer();
    EXPECT_EQ(probe.Calls(), 1);
    EXPECT_EQ(reply, "unchanged");
}
