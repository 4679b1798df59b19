#include "cli/CliDoctor.h"

#include <ostream>

#include "engine/ConnectionCheck.h"
#include "link/midi/MIDIBackend.h"
#include "settings/MIDISettings.h"
#include "settings/SerialSettings.h"
#include "settings/SettingsStore.h"

int RunDoctor(std::ostream& out, CDeviceLink* demoLink) {
    CConnectionCheck check({}, [&out](const CheckLine& line) {
        out << line.Text(true) << std::endl;
    });
    if (demoLink != nullptr) return check.CheckLink(*demoLink, "the demo unit").unitAnswered ? 0 : 1;

    CSerialSettings serial;
    CMIDISettings midiDevices;
    serial.m_bPersist = false;
    midiDevices.m_bPersist = false;
    serial.Load();
    midiDevices.Load();
    std::uint32_t missing = 0;
    const bool answered =
        ReadSettingDword(kSectionOptions, "DeviceType", 0, missing) == 1
            ? check
                  .CheckMIDI(midiDevices.m_nInputDevice, midiDevices.m_nOutputDevice,
                             midi::SystemMIDIBackend())
                  .unitAnswered
            : check.CheckSerial(serial).unitAnswered;
    return answered ? 0 : 1;
}
