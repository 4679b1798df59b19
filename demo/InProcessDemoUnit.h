#pragma once
// The demo unit in this process: the simulated unit behind two in-process links, one shaping its
// replies as the serial link delivers them and one as the MIDI link does (quorlin-cli --demo).
//
// Nothing sleeps here: the host's pauses must be passed to AdvanceClock, so the unit sees the
// key presses as far apart as the engine spaces them.

#include <memory>

class CDeviceLink;
class CSimLink;
class CSimUnit;

class CInProcessDemoUnit {
public:
    CInProcessDemoUnit();
    ~CInProcessDemoUnit();
    CInProcessDemoUnit(const CInProcessDemoUnit&) = delete;
    CInProcessDemoUnit& operator=(const CInProcessDemoUnit&) = delete;

    // The links, each handed out once (to the engine). Whoever holds them must release them
    // before this object goes.
    std::unique_ptr<CDeviceLink> TakeSerialLink();
    std::unique_ptr<CDeviceLink> TakeMIDILink();

    // Moves the clock of both links by `ms` (the host's pause hook).
    void AdvanceClock(int ms);

private:
    std::unique_ptr<CSimUnit> m_pUnit;
    std::unique_ptr<CSimLink> m_pSerialOwned;
    std::unique_ptr<CSimLink> m_pMIDIOwned;
    CSimLink* m_pSerial;
    CSimLink* m_pMIDI;
};
