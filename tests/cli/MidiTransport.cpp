#include "tests/cli/MidiTransport.h"

#include <algorithm>
#include <chrono>

#include "link/midi/MIDIPortNames.h"

namespace {

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

CMidiTransport::~CMidiTransport() {
    m_peer.Stop();
    m_server.Stop();
}

bool CMidiTransport::Start(int receiveChannel, std::string& why) {
    if (!m_server.Start()) {
        why = "no JACK server could be started: " + m_server.Why();
        return false;
    }
    m_unit.SetReceiveChannel(receiveChannel);
    try {
        m_peer.Start();
    } catch (const RtMidiError& e) {
        why = "the JACK peer could not start: " + e.getMessage();
        return false;
    }
    m_peer.SetResponder([this](const CJackPeer::Bytes& frame) {
        std::lock_guard lock(m_unitMutex);
        std::int64_t now = NowMs() + m_nShiftMs;
        if (frame.size() > 4 && frame[0] == 0xF0 && frame[4] == 0x01) {
            // A key press: the route moves messages in periods of the server, and on a busy
            // machine in bunches of periods, so the gaps the tool keeps between key presses do
            // not survive it. The unit sees them at least its minimum gap apart (the gaps
            // themselves are checked over the serial route). Its clock stays monotonic.
            const std::int64_t earliest = m_nLastKeyMs + CSimFrontPanel::kMinKeyGapMs;
            if (m_nLastKeyMs >= 0 && now < earliest) {
                m_nShiftMs += earliest - now;
                now = earliest;
            }
            m_nLastKeyMs = now;
        }
        std::vector<CJackPeer::Bytes> replies;
        m_traffic.push_back({'>', std::string(frame.begin(), frame.end()), frame.size()});
        for (const std::string& r :
             m_unit.HandleFrame(std::string(frame.begin(), frame.end()), now)) {
            m_traffic.push_back({'<', r, r.size()});
            replies.emplace_back(r.begin(), r.end());
        }
        return replies;
    });
    m_nIn = IndexOf(midi::InputPortNames(), CJackPeer::kOutputPort);
    m_nOut = IndexOf(midi::OutputPortNames(), CJackPeer::kInputPort);
    if (m_nIn < 0 || m_nOut < 0) {
        why = "the JACK peer's ports are not listed";
        return false;
    }
    return true;
}

IUnitTransport::Traffic CMidiTransport::UnitTraffic() {
    std::lock_guard lock(m_unitMutex);
    return m_traffic;
}

std::vector<std::string> CMidiTransport::Options() const {
    return {"--midi-in", std::to_string(m_nIn), "--midi-out", std::to_string(m_nOut)};
}

std::string CMidiTransport::SavedConnection(const std::string& options) const {
    return "[Options]\nDeviceType=1\n" + options +
           "\n[MIDISetup]\nInputDevice=" + std::to_string(m_nIn) +
           "\nOutputDevice=" + std::to_string(m_nOut) +
           "\n\n[SerialSetup]\nPortNumber=1\nBaudRate=38400\nParity=110\nDataBits=8\nStopBits=2\n";
}
