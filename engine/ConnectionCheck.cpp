#include "engine/ConnectionCheck.h"

#include <chrono>
#include <cstdio>
#include <limits>
#include <mutex>
#include <thread>

#include "engine/Protocol.h"
#include "link/MIDILink.h"
#include "link/SerialLink.h"
#include "link/SerialPortCheck.h"
#include "link/midi/MIDIBackend.h"
#include "link/serial/BaudRates.h"
#include "settings/SerialSettings.h"

// What the check's own links would tell the user is kept for the check's lines instead.
class CConnectionCheck::CCheckHost : public IHost {
public:
    void ShowMessage(const std::string& text, const std::string&, Icon) override {
        std::lock_guard lock(m_mutex);
        if (m_strFirst.empty()) m_strFirst = text;
    }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void Pause(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    // The first message since the last call, with its lines joined; empty when there was none.
    std::string TakeMessage() {
        std::lock_guard lock(m_mutex);
        std::string text;
        text.swap(m_strFirst);
        for (auto& c : text)
            if (c == '\n') c = ' ';
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
    }

private:
    std::mutex m_mutex;
    std::string m_strFirst;
};

namespace {

// How long the check listens, after an exchange without the unit's answer, for whether the line
// is still sending: a flood goes on, the tail of a stray reply does not. Even at 2400 baud some
// 70 bytes arrive in this time.
constexpr int kFloodListenMs = 300;
// What arrives in that time unasked before the line counts as flooding: a few stray bytes (a
// note from a merged MIDI input, active sensing, the tail of a late reply) do not.
constexpr std::uint64_t kFloodMinBytes = 64;
// The detail of the step that a stop cut short.
constexpr const char* kEndedText = "the check was ended";

bool IsUnitReply(const std::string& reply) {
    return reply.size() >= 4 && static_cast<unsigned char>(reply[0]) == 0xF0 &&
           static_cast<unsigned char>(reply[1]) == 0x1C &&
           static_cast<unsigned char>(reply[2]) == 0x70;
}

// The reply is the query itself: the serial link's reply ends before the closing F7, the MIDI
// link's keeps it.
bool IsEcho(const std::string& reply, const std::vector<std::uint8_t>& frame) {
    const std::string sent(frame.begin(), frame.end());
    return reply == sent || (!sent.empty() && reply == sent.substr(0, sent.size() - 1));
}

std::string HexStart(const std::string& bytes) {
    std::string text;
    char b[4];
    for (std::size_t i = 0; i < bytes.size() && i < 8; ++i) {
        std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(bytes[i]));
        text += b;
    }
    if (!text.empty()) text.pop_back();
    return bytes.size() > 8 ? text + " ..." : text;
}

std::string Plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// A MIDI reply arrived whole when it is one system-exclusive message: the unit's header, data
// bytes only (below 0x80) and the closing F7. A route that cuts a long message short, or mixes
// other messages into it, shows here.
bool IsWholeSysex(const std::string& reply) {
    if (!IsUnitReply(reply) || static_cast<unsigned char>(reply.back()) != 0xF7) return false;
    for (std::size_t i = 1; i + 1 < reply.size(); ++i)
        if (static_cast<unsigned char>(reply[i]) >= 0x80) return false;
    return true;
}

long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

}  // namespace

CConnectionCheck::CConnectionCheck(ConnectionCheckTimings timings, LineFound lineFound)
    : m_timings(timings), m_lineFound(std::move(lineFound)) {}

void CConnectionCheck::Add(ConnectionCheckResult& result, CheckLine line) {
    if (m_lineFound) m_lineFound(line);
    result.lines.push_back(std::move(line));
}

bool CConnectionCheck::LineKeepsSending(const CDeviceLink& link) {
    // A silent line costs no wait.
    const std::uint64_t before = link.BytesReceived();
    if (before == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kFloodListenMs));
    return link.BytesReceived() - before >= kFloodMinBytes;
}

CConnectionCheck::Answer CConnectionCheck::RootQuery(CDeviceLink& link, int firstWaitMs,
                                                     int timeoutMs) {
    const std::string text = protocol::ObjectQueryText(0, 0);
    const auto frame =
        protocol::BuildFrame(protocol::MSG_OBJECT_QUERY,
                             reinterpret_cast<const std::uint8_t*>(text.data()),
                             static_cast<int>(text.size()));
    const std::int32_t savedWait = link.firstWaitMs;
    link.firstWaitMs = firstWaitMs;
    Answer answer;
    const auto start = std::chrono::steady_clock::now();
    const int r = link.SendAndWait(frame.data(), static_cast<int>(frame.size()), timeoutMs,
                                   answer.reply);
    const long long ms = MsSince(start);
    link.firstWaitMs = savedWait;
    using Kind = Answer::Kind;
    if (r != 0 && Stopped()) {
        answer.kind = Kind::Ended;
        answer.detail = kEndedText;
    } else if (r == 0 && IsEcho(answer.reply, frame)) {
        answer.kind = Kind::Echo;
        answer.detail =
            "the line echoes what is sent (a loopback or a mis-wired cable): check that the "
            "cable leads to the unit, its output to the unit's input and back";
    } else if (r == 0 && IsUnitReply(answer.reply)) {
        answer.kind = Kind::Unit;
        answer.answered = true;
        answer.detail = "root query answered in " + std::to_string(ms) + " ms (" +
                        Plural(answer.reply.size(), "byte") + ")";
    } else if (LineKeepsSending(link)) {
        answer.kind = Kind::Flood;
        answer.detail = "the line sends a flood of data that is not the unit's (" +
                        Plural(link.BytesReceived(), "byte") + " in " +
                        std::to_string(MsSince(start)) +
                        " ms): check that the cable leads to the unit and that nothing else "
                        "sends on it";
    } else if (r != 0) {
        answer.kind = Kind::Silent;
        answer.detail = "no answer to the root query within " + std::to_string(firstWaitMs) + " ms";
    } else {
        answer.kind = Kind::Foreign;
        answer.detail = "a reply came in " + std::to_string(ms) +
                        " ms, but not the unit's (it begins " + HexStart(answer.reply) + ")";
    }
    return answer;
}

ConnectionCheckResult CConnectionCheck::CheckSerial(const CSerialSettings& line) {
    ConnectionCheckResult result;
    bool portUsable = true;
    for (auto& found : serial::CheckPort(line)) {
        // Line settings the port refuses still leave it open: the unit may answer all the same.
        if (!found.ok && found.what != "line settings") portUsable = false;
        Add(result, std::move(found));
    }
    if (!portUsable) return result;
    if (Stopped()) {
        Add(result, {false, "unit answers", kEndedText});
        return result;
    }

    CCheckHost host;
    Answer answer;
    {
        CSerialLink link(host, line);
        if (link.Open(protocol::kDefaultBufferSize) != 0) {
            const std::string why = host.TakeMessage();
            Add(result, {false, "open " + line.PortPath(),
                         why.empty() ? std::string("the port could not be opened") : why});
            return result;
        }
        {
            // A stop ends the wait for the unit at once (at once, too, when it came before).
            const std::stop_callback interrupt(m_stop, [&link] { link.Interrupt(); });
            answer = RootQuery(link, m_timings.answerWaitMs, protocol::kQueryTimeoutMs);
        }
        link.Close();
    }
    const std::string speed = " at " + std::to_string(line.m_nBaudRate) + " baud";
    if (answer.answered) {
        result.unitAnswered = true;
        Add(result, {true, "unit answers", answer.detail + speed});
        return result;
    }
    if (answer.SpeedIrrelevant()) {
        Add(result, {false, "unit answers", answer.detail});
        return result;
    }
    Add(result, {false, "unit answers", answer.detail + speed});
    if (!Stopped()) Add(result, SearchOtherSpeeds(line));
    return result;
}

CheckLine CConnectionCheck::SearchOtherSpeeds(const CSerialSettings& line) {
    std::string tried;
    for (const int rate : serial::SupportedBaudRates()) {
        if (rate == line.m_nBaudRate) continue;
        if (Stopped()) return {false, "other speeds", kEndedText};
        CSerialSettings other;
        other.m_bPersist = false;
        other.m_nPortNumber = line.m_nPortNumber;
        other.m_strPortName = line.m_strPortName;
        other.m_nBaudRate = rate;
        other.m_cParity = line.m_cParity;
        other.m_nDataBits = line.m_nDataBits;
        other.m_nStopBits = line.m_nStopBits;
        CCheckHost host;
        CSerialLink link(host, other);
        if (link.Open(protocol::kDefaultBufferSize) != 0) continue;
        Answer answer;
        {
            const std::stop_callback interrupt(m_stop, [&link] { link.Interrupt(); });
            answer = RootQuery(link, m_timings.otherSpeedWaitMs, protocol::kQueryTimeoutMs);
        }
        link.Close();
        if (answer.kind == Answer::Kind::Ended) return {false, "other speeds", kEndedText};
        if (answer.answered) {
            return {false, "other speeds",
                    "the unit answers at " + std::to_string(rate) + " baud: set the speed to " +
                        std::to_string(rate) + " (or the unit's to " +
                        std::to_string(line.m_nBaudRate) + ")"};
        }
        tried += (tried.empty() ? "" : ", ") + std::to_string(rate);
    }
    return {false, "other speeds",
            "no answer at " + tried +
                " baud either: check that the unit is on, the cable, and the unit's own serial "
                "settings"};
}

ConnectionCheckResult CConnectionCheck::CheckMIDI(std::int32_t inputDevice,
                                                  std::int32_t outputDevice,
                                                  std::shared_ptr<midi::IMIDIBackend> backend) {
    ConnectionCheckResult result;
    const auto device = [&](const char* kind, std::int32_t number,
                            const std::vector<std::string>& names) {
        const std::string what = std::string("MIDI ") + kind + " " + std::to_string(number);
        if (number >= 0 && static_cast<std::size_t>(number) < names.size()) {
            Add(result, {true, what, "exists: " + names[static_cast<std::size_t>(number)]});
            return true;
        }
        std::string detail = "no such device; ";
        if (names.empty()) {
            detail += std::string("this computer has no MIDI ") + kind + "s";
        } else {
            detail += std::string("the ") + kind + "s are";
            for (std::size_t i = 0; i < names.size(); ++i)
                detail += (i ? ", " : " ") + std::to_string(i) + ": " + names[i];
        }
        Add(result, {false, what, detail});
        return false;
    };
    const bool inputExists = device("input", inputDevice, backend->InputPortNames());
    const bool outputExists = device("output", outputDevice, backend->OutputPortNames());
    if (!inputExists || !outputExists) return result;
    if (Stopped()) {
        Add(result, {false, "open MIDI devices", kEndedText});
        return result;
    }

    CCheckHost host;
    CMIDILink link(host, backend, inputDevice, outputDevice);
    if (link.Open(protocol::kDefaultBufferSize) != 0) {
        const std::string why = host.TakeMessage();
        Add(result, {false, "open MIDI devices",
                     why.empty() ? std::string("the MIDI system refused to open them") : why});
        return result;
    }
    Add(result, {true, "open MIDI devices", "input and output opened"});
    // A stop ends a wait for the unit at once; the link stays safe to close meanwhile.
    const std::stop_callback interrupt(m_stop, [&link] { link.Interrupt(); });

    const Answer answer = RootQuery(link, m_timings.answerWaitMs, m_timings.answerWaitMs);
    Add(result, {answer.answered, "unit answers", answer.detail});
    result.unitAnswered = answer.answered;
    if (answer.answered && !Stopped()) {
        // The current program is the longest reply the unit sends on request.
        const auto request = protocol::BuildFrame(protocol::MSG_PROGRAM_REQUEST, nullptr, 0);
        std::string reply;
        const auto start = std::chrono::steady_clock::now();
        const int r = link.SendAndWait(request.data(), static_cast<int>(request.size()),
                                       m_timings.longReplyWaitMs, reply);
        const long long ms = MsSince(start);
        const std::size_t largest = link.LargestFrame();
        const std::string carries =
            largest == std::numeric_limits<std::size_t>::max()
                ? std::string()
                : "; the route carries frames of up to " + Plural(largest, "byte");
        if (r != 0 && Stopped()) {
            Add(result, {false, "long sysex", kEndedText});
        } else if (r != 0) {
            const std::string why = host.TakeMessage();
            Add(result, {false, "long sysex",
                         "the current program did not arrive within " +
                             std::to_string(m_timings.longReplyWaitMs) + " ms" +
                             (why.empty() ? std::string() : " (" + why + ")") + carries});
        } else if (!IsWholeSysex(reply)) {
            Add(result, {false, "long sysex",
                         "the current program's reply of " + Plural(reply.size(), "byte") +
                             " arrived damaged: the interface mangles long system-exclusive "
                             "messages" + carries});
        } else {
            Add(result, {true, "long sysex",
                         "the current program's reply of " + Plural(reply.size(), "byte") +
                             " arrived whole in " + std::to_string(ms) + " ms" + carries});
        }
    }
    link.Close();
    return result;
}

ConnectionCheckResult CConnectionCheck::CheckLink(CDeviceLink& link,
                                                  const std::string& description) {
    ConnectionCheckResult result;
    if (link.Open(protocol::kDefaultBufferSize) != 0) {
        Add(result, {false, "open", description + " could not be opened"});
        return result;
    }
    Add(result, {true, "open", description});
    Answer answer;
    {
        const std::stop_callback interrupt(m_stop, [&link] { link.Interrupt(); });
        answer = RootQuery(link, m_timings.answerWaitMs, protocol::kQueryTimeoutMs);
    }
    link.Close();
    Add(result, {answer.answered, "unit answers", answer.detail});
    result.unitAnswered = answer.answered;
    return result;
}
