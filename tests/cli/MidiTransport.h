#pragma once
// The unit behind a real MIDI route: a private JACK server with its dummy driver, and a JACK
// peer in this process that hands every message it receives to a simulated unit and sends the
// unit's replies back. quorlin-cli (a child process, which finds the server through the
// environment the server sets) reaches it through its real MIDI link (--midi-in N --midi-out N,
// the peer's ports' places in the MIDI system's lists). The unit takes key presses at least its
// minimum gap apart, whatever the route did to their spacing.

#include <memory>
#include <mutex>

#include "sim/SimUnit.h"
#include "tests/cli/UnitTransport.h"
#include "tests/link/midi/JackPeer.h"
#include "tests/link/midi/JackServer.h"

class CMidiTransport : public IUnitTransport {
public:
    ~CMidiTransport() override;
    bool Start(int receiveChannel, std::string& why) override;
    std::vector<std::string> Options() const override;
    std::string SavedConnection(const std::string& options) const override;
    Traffic UnitTraffic() override;

private:
    CJackServer m_server;
    CJackPeer m_peer;
    std::mutex m_unitMutex;
    CSimUnit m_unit;
    Traffic m_traffic;  // guarded by m_unitMutex
    std::int64_t m_nShiftMs = 0;     // how far the unit's clock runs ahead of the real one
    std::int64_t m_nLastKeyMs = -1;  // on the unit's clock
    int m_nIn = -1;
    int m_nOut = -1;
};
