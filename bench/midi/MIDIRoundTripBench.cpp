// Round trip of a 9-byte query and a 9-byte reply through a private JACK server with its dummy
// driver (48000 Hz, 1024 frames a period): the median time from the peer's handing its reply to
// JACK until SendAndWait returns with it, and, for comparison, the whole SendAndWait.
//
// Run: build-xxx/bench/midi/midi_round_trip_bench [iterations]   (default 200)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/MIDILink.h"
#include "link/midi/MIDIPortNames.h"
#include "tests/link/midi/JackPeer.h"
#include "tests/link/midi/JackServer.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"

namespace {

using Bytes = CJackPeer::Bytes;

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
    const auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

}  // namespace

int main(int argc, char** argv) {
    const int iterations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    CJackServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "no JACK server: %s\n", server.Why().c_str());
        return 1;
    }
    CJackPeer peer;
    peer.Start();
    const Bytes query{0xF0, 0x1C, 0x70, 0x00, 0x13, 0x01, 0x00, 0x00, 0xF7};
    const Bytes answer{0xF0, 0x1C, 0x70, 0x01, 0x41, 0x42, 0x43, 0x44, 0xF7};
    peer.SetResponder([&](const Bytes&) { return std::vector<Bytes>{answer}; });

    CScopedSettingsStore store;
    CRecordingHost host;
    CMIDILink link(host);
    link.Settings().m_nInputDevice = IndexOf(midi::InputPortNames(), CJackPeer::kOutputPort);
    link.Settings().m_nOutputDevice = IndexOf(midi::OutputPortNames(), CJackPeer::kInputPort);
    if (link.Open(512) != 0 || !server.WaitUntilConnected(CJackPeer::kInputPort, 10000) ||
        !server.WaitUntilConnected(CJackPeer::kOutputPort, 10000)) {
        std::fprintf(stderr, "the MIDI link did not open\n");
        return 1;
    }
    std::string reply;
    for (int warmUp = 0; warmUp < 10 && link.SendAndWait(query.data(), 9, 1000, reply) != 0;) {
        ++warmUp;
    }

    std::vector<double> replyMs, roundTripMs;
    int lost = 0;
    for (int i = 0; i < iterations; ++i) {
        const std::int64_t start = NowNs();
        if (link.SendAndWait(query.data(), 9, 2000, reply) != 0) {
            ++lost;
            continue;
        }
        const std::int64_t end = NowNs();
        replyMs.push_back(static_cast<double>(end - peer.LastReplySentNs()) / 1e6);
        roundTripMs.push_back(static_cast<double>(end - start) / 1e6);
    }
    link.Close();
    peer.Stop();
    server.Stop();
    if (replyMs.empty()) {
        std::fprintf(stderr, "no replies\n");
        return 1;
    }
    std::printf("MIDI round trip over JACK (dummy, 48000 Hz, 1024 frames), %zu of %d replies\n",
                replyMs.size(), iterations);
    std::printf("  peer's send -> SendAndWait returns: median %.2f ms (p10 %.2f, p90 %.2f)\n",
                Percentile(replyMs, 0.5), Percentile(replyMs, 0.1), Percentile(replyMs, 0.9));
    std::printf("  whole SendAndWait:                  median %.2f ms (p10 %.2f, p90 %.2f)\n",
                Percentile(roundTripMs, 0.5), Percentile(roundTripMs, 0.1),
                Percentile(roundTripMs, 0.9));
    if (lost) std::printf("  lost: %d\n", lost);
    return 0;
}
