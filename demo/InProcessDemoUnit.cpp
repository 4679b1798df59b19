#include "demo/InProcessDemoUnit.h"

#include <utility>

#include "demo/SimLink.h"
#include "sim/SimUnit.h"

CInProcessDemoUnit::CInProcessDemoUnit()
    : m_pUnit(std::make_unique<CSimUnit>()),
      m_pSerialOwned(std::make_unique<CSimLink>(*m_pUnit, CSimLink::ReplyStyle::Serial)),
      m_pMIDIOwned(std::make_unique<CSimLink>(*m_pUnit, CSimLink::ReplyStyle::MIDI)),
      m_pSerial(m_pSerialOwned.get()),
      m_pMIDI(m_pMIDIOwned.get()) {}

CInProcessDemoUnit::~CInProcessDemoUnit() = default;

std::unique_ptr<CDeviceLink> CInProcessDemoUnit::TakeSerialLink() {
    return std::move(m_pSerialOwned);
}

std::unique_ptr<CDeviceLink> CInProcessDemoUnit::TakeMIDILink() {
    return std::move(m_pMIDIOwned);
}

void CInProcessDemoUnit::AdvanceClock(int ms) {
    m_pSerial->AdvanceClock(ms);
    m_pMIDI->AdvanceClock(ms);
}
