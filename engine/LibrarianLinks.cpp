// The program's engine over the real transports. Kept apart so that everything else in the
// engine builds and runs without them.
#include "engine/Librarian.h"
#include "link/MIDILink.h"
#include "link/SerialLink.h"
#include "settings/LinkSettings.h"

CLibrarian::CLibrarian(IHost& host) : m_host(host), m_linkHost(host) {
    auto serial = std::make_unique<CSerialLink>(m_linkHost);
    CSerialSettings* serialSettings = &serial->Settings();
    m_pSerialLink = std::move(serial);
    auto midi = std::make_unique<CMIDILink>(m_linkHost);
    CMIDISettings* midiSettings = &midi->Settings();
    m_pMIDILink = std::move(midi);
    m_pLinkSettings = std::make_unique<CLinkSettings>(serialSettings, midiSettings);
    m_pLinkSettings->Load();
    ApplyLinkSettings();
}
