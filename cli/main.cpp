// quorlin-cli: the librarian's commands from the command line (see CliOptions.h). Results go to
// stdout, every message to stderr as it comes; exit status 0 done, 1 failed, 2 usage error.
// The saved settings are read but never changed: the run's settings live in an overlay.
// SIGPIPE is ignored and SIGINT/SIGTERM/SIGHUP remove the run's temporary files (CliSignals.h).

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "CliArchiveCommands.h"
#include "CliCommands.h"
#include "CliHost.h"
#include "CliOptions.h"
#include "CliSignals.h"
#include "Librarian.h"
#include "LinkSettings.h"
#include "OverlaySettingsStore.h"
#include "QtSettingsStore.h"
#include "SettingsStore.h"
#include "SimLink.h"
#include "SimUnit.h"

namespace {

std::int32_t SavedOr(ISettingsStore& saved, const char* section, const char* name,
                     std::int32_t fallback) {
    return saved.ReadDword(section, name).value_or(fallback);
}

// The serial line of this run: given values first, then the saved ones, then the defaults
// (38400 baud, no parity, 8 data bits, 2 stop bits). All five are set, so the serial link does
// not ask for a first setup when a connection was named on the command line.
void PutSerialLine(const CliOptions& o, ISettingsStore& saved, ISettingsStore& run) {
    run.WriteDword(kSectionSerial, "PortNumber", SavedOr(saved, kSectionSerial, "PortNumber", 1));
    run.WriteDword(kSectionSerial, "BaudRate",
                   o.baudRate.value_or(SavedOr(saved, kSectionSerial, "BaudRate", 38400)));
    run.WriteDword(kSectionSerial, "Parity",
                   o.parity ? static_cast<unsigned char>(*o.parity)
                            : SavedOr(saved, kSectionSerial, "Parity", 'n'));
    run.WriteDword(kSectionSerial, "DataBits",
                   o.dataBits.value_or(SavedOr(saved, kSectionSerial, "DataBits", 8)));
    run.WriteDword(kSectionSerial, "StopBits",
                   o.stopBits.value_or(SavedOr(saved, kSectionSerial, "StopBits", 2)));
}

void PutConnection(const CliOptions& o, ISettingsStore& saved, ISettingsStore& run) {
    switch (o.connection) {
        case CliOptions::Connection::Saved:
            // A run over the saved MIDI connection does not use the serial line: its settings,
            // missing or not, are no reason for the serial link's first-run request.
            if (SavedOr(saved, kSectionOptions, "DeviceType", 0) == 1) PutSerialLine(o, saved, run);
            return;
        case CliOptions::Connection::Serial:
            PutSerialLine(o, saved, run);
            run.WriteString(kSectionSerial, "PortName", o.serialPath);
            run.WriteDword(kSectionOptions, "DeviceType", 0);
            return;
        case CliOptions::Connection::MIDI:
            PutSerialLine(o, saved, run);
            run.WriteDword(kSectionMIDI, "InputDevice", o.midiIn);
            run.WriteDword(kSectionMIDI, "OutputDevice", o.midiOut);
            run.WriteDword(kSectionOptions, "DeviceType", 1);
            return;
        case CliOptions::Connection::Demo:
            run.WriteDword(kSectionOptions, "DeviceType", 0);
            return;
    }
}

int Clamp(std::int32_t value, int low, int high, int fallback) {
    return value < low || value > high ? fallback : static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread exists (see CliSignals.h).
    StartSignalHandling();
    std::string error;
    const auto options = CliOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "quorlin-cli: " << error << "\n" << CliOptions::Usage();
        return 2;
    }

    // Checking a backup needs no unit: no settings are read and no port is opened.
    if (options->command == CliOptions::Command::Verify) {
        CCliHost host;
        return RunVerify(options->path, std::cout, host);
    }

    CQtSettingsStore saved;
    // Shadows every section: whatever this run's settings records save stays in memory.
    COverlaySettingsStore run(saved);
    PutConnection(*options, saved, run);
    SetSettingsStore(&run);

    int result = 1;
    {
        CCliHost host;
        std::unique_ptr<CSimUnit> demoUnit;
        std::unique_ptr<CLibrarian> engine;
        if (options->connection == CliOptions::Connection::Demo) {
            // The simulated unit in this process. Pauses move its clock instead of sleeping, so
            // it sees the key presses as far apart as the engine spaces them.
            demoUnit = std::make_unique<CSimUnit>();
            auto serial = std::make_unique<CSimLink>(*demoUnit, CSimLink::ReplyStyle::Serial);
            auto midi = std::make_unique<CSimLink>(*demoUnit, CSimLink::ReplyStyle::MIDI);
            CSimLink* serialLink = serial.get();
            CSimLink* midiLink = midi.get();
            host.SetPauseHook([serialLink, midiLink](int ms) {
                serialLink->AdvanceClock(ms);
                midiLink->AdvanceClock(ms);
            });
            engine = std::make_unique<CLibrarian>(host, std::move(serial), std::move(midi));
        } else {
            engine = std::make_unique<CLibrarian>(host);
        }

        host.SetPauseMargin(engine->GetLinkSettings().deviceType == 1
                                ? CCliHost::kMIDIPauseMarginMs
                                : CCliHost::kSerialPauseMarginMs);

        std::uint32_t missing = 0;
        const int dsp = options->dsp.value_or(
            Clamp(ReadSettingDword(kSectionOptions, "BankChangeDevice", 1, missing), 1, 2, 1));
        const int channel = options->channel.value_or(
            Clamp(ReadSettingDword(kSectionOptions, "Channel", 0, missing), 0, 15, 0));

        result = CCliCommands(*engine, host, std::cout, dsp, channel).Run(*options);
        engine.reset();
    }
    SetSettingsStore(nullptr);
    return result;
}
