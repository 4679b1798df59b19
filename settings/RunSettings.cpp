#include "settings/RunSettings.h"

#include <set>

#include "settings/SettingsStore.h"

void PutSerialLine(ISettingsStore& saved, ISettingsStore& run, const SerialLineChoice& given,
                   SavedLine savedLine) {
    struct Value {
        const char* name;
        std::optional<std::int32_t> given;
        std::int32_t fallback;
    };
    const Value line[] = {{"PortNumber", std::nullopt, 1},
                          {"BaudRate", given.baudRate, 38400},
                          {"Parity", given.parity, 'n'},
                          {"DataBits", given.dataBits, 8},
                          {"StopBits", given.stopBits, 2}};
    for (const Value& value : line) {
        std::int32_t chosen = value.fallback;
        if (value.given) {
            chosen = *value.given;
        } else if (savedLine == SavedLine::Use) {
            chosen = saved.ReadDword(kSectionSerial, value.name).value_or(value.fallback);
        }
        run.WriteDword(kSectionSerial, value.name, chosen);
    }
}

void PutSerialPort(ISettingsStore& saved, ISettingsStore& run, const std::string& portPath,
                   const SerialLineChoice& given, SavedLine savedLine) {
    PutSerialLine(saved, run, given, savedLine);
    run.WriteString(kSectionSerial, "PortName", portPath);
    run.WriteDword(kSectionOptions, "DeviceType", 0);
}

std::unique_ptr<COverlaySettingsStore> SerialPortOverlay(ISettingsStore& saved,
                                                         const std::string& portPath,
                                                         SavedLine savedLine) {
    auto overlay = std::make_unique<COverlaySettingsStore>(
        saved, std::set<std::string>{kSectionSerial, kSectionMIDI, "Options/DeviceType"});
    PutSerialPort(saved, *overlay, portPath, {}, savedLine);
    return overlay;
}
