#pragma once
// The connection settings of one run on a connection named for that run (quorlin --port,
// quorlin --demo, quorlin-cli): written into a store that shadows the saved settings, so the
// run's settings stay in memory and the saved ones are never changed.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "settings/OverlaySettingsStore.h"

// Serial line values given for the run. Missing ones come from the saved settings (unless the
// run ignores them) and then from the defaults: 38400 baud, no parity, 8 data bits, 2 stop bits.
struct SerialLineChoice {
    std::optional<std::int32_t> baudRate;
    std::optional<std::int32_t> parity;  // 'n', 'e' or 'o'
    std::optional<std::int32_t> dataBits;
    std::optional<std::int32_t> stopBits;
};

// Whether the saved line settings stand behind the given ones (a run on a named device) or not
// (the demo unit, whose line is always the default one).
enum class SavedLine { Use, Ignore };

// Writes all five serial line values (port number, baud rate, parity, data bits, stop bits)
// into `run`, so the serial link does not ask for a first setup.
void PutSerialLine(ISettingsStore& saved, ISettingsStore& run, const SerialLineChoice& given,
                   SavedLine savedLine);

// The serial line and the serial device `portPath` as the run's connection.
void PutSerialPort(ISettingsStore& saved, ISettingsStore& run, const std::string& portPath,
                   const SerialLineChoice& given, SavedLine savedLine);

// A store that reads `saved` but keeps the connection settings of this run (the serial and MIDI
// sections and the device type) to itself, set to the serial device `portPath`: PutSerialPort
// with no line values given.
std::unique_ptr<COverlaySettingsStore> SerialPortOverlay(ISettingsStore& saved,
                                                         const std::string& portPath,
                                                         SavedLine savedLine);
