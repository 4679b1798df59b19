// quorlin-cli: the librarian's commands from the command line (see CliOptions.h). Results go to
// stdout, every message to stderr as it comes; exit status 0 done, 1 failed, 2 usage error.
// The saved settings are read but never changed: the run's settings live in an overlay.
// SIGPIPE is ignored and SIGINT/SIGTERM/SIGHUP remove the run's temporary files (CliSignals.h).
// A failed write of the results, or of the --trace file, ends the run with status 1 (CliOutput.h,
// CliTrace.h).

#include <cerrno>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliArchiveCommands.h"
#include "cli/CliCommands.h"
#include "cli/CliDoctor.h"
#include "cli/CliHost.h"
#include "cli/CliLibraryCommands.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliSignals.h"
#include "cli/CliTrace.h"
#include "cli/SavedSettings.h"
#include "demo/InProcessDemoUnit.h"
#include "engine/Librarian.h"
#include "quorlin/Version.h"
#include "settings/LinkSettings.h"
#include "settings/LogFileLocation.h"
#include "settings/OptionsSettings.h"
#include "settings/OverlaySettingsStore.h"
#include "settings/RunSettings.h"
#include "settings/SerialSettings.h"
#include "settings/SettingsStore.h"

namespace {

std::int32_t SavedOr(ISettingsStore& saved, const char* section, const char* name,
                     std::int32_t fallback) {
    return saved.ReadDword(section, name).value_or(fallback);
}

// The serial line values given on the command line; the saved ones and then the defaults stand
// in for the others (RunSettings.h).
SerialLineChoice GivenLine(const CliOptions& o) {
    SerialLineChoice given;
    given.baudRate = o.baudRate;
    if (o.parity) given.parity = static_cast<unsigned char>(*o.parity);
    given.dataBits = o.dataBits;
    given.stopBits = o.stopBits;
    return given;
}

void PutConnection(const CliOptions& o, ISettingsStore& saved, ISettingsStore& run) {
    switch (o.connection) {
        case CliOptions::Connection::Saved:
            // A run over the saved MIDI connection does not use the serial line: its settings,
            // missing or not, are no reason for the serial link's first-run request.
            if (SavedOr(saved, kSectionOptions, "DeviceType", 0) == 1)
                PutSerialLine(saved, run, GivenLine(o), SavedLine::Use);
            return;
        case CliOptions::Connection::Serial:
            PutSerialPort(saved, run, o.serialPath, GivenLine(o), SavedLine::Use);
            return;
        case CliOptions::Connection::MIDI:
            PutSerialLine(saved, run, GivenLine(o), SavedLine::Use);
            run.WriteDword(kSectionMIDI, "InputDevice", o.midiIn);
            run.WriteDword(kSectionMIDI, "OutputDevice", o.midiOut);
            run.WriteDword(kSectionOptions, "DeviceType", 1);
            return;
        case CliOptions::Connection::Demo:
            run.WriteDword(kSectionOptions, "DeviceType", 0);
            return;
    }
}

// A run over the saved connection when nothing chose a unit: the serial line (which such a run
// uses) is not saved. The desktop program would ask for it on its first start; here the user
// learns how to choose a unit and where the desktop program keeps its choice. The run then goes
// on over the saved device, or the default one, with the default line values, which are put into
// the run's settings so that the serial link does not ask again. Empty when a unit was chosen.
std::string ExplainNoUnitChosen(const CliOptions& o) {
    if (o.connection != CliOptions::Connection::Saved) return {};
    CSerialSettings line;
    line.m_bPersist = false;
    if (line.Load() == 0) return {};
    line.Save();  // into the run's settings only
    return "No unit has been chosen: no serial line settings are saved.\n"
           "Choose one with --serial DEVICE (and --baud, --parity, --data, --stop), with "
           "--midi-in N --midi-out N, or try the simulated unit with --demo.\n"
           "The desktop program (quorlin) saves the unit chosen in Options | Communications "
           "Setup in " +
           SavedSettingsLocation() +
           "; quorlin-cli uses that choice when given none.\n"
           "This run tries the serial port " +
           line.PortPath() + " at " + std::to_string(line.m_nBaudRate) + " baud.";
}

// std::cout writes through a CCheckedOutput while this lives.
class CCheckedStdout {
public:
    CCheckedStdout() : m_pPrevious(std::cout.rdbuf(&m_buffer)) {}
    ~CCheckedStdout() {
        std::cout.flush();
        std::cout.rdbuf(m_pPrevious);
    }
    CCheckedStdout(const CCheckedStdout&) = delete;
    CCheckedStdout& operator=(const CCheckedStdout&) = delete;

    // The end of a command that does not watch its output itself: a failed write is said once
    // and makes the status 1; a reader that has gone (a closed pipe) ends the run quietly.
    int Checked(int result) {
        std::cout.flush();
        const int error = m_buffer.Error();
        if (error == 0 || error == EPIPE) return result;
        CCliHost().ShowMessage(OutputFailedText(error));
        return result != 0 ? result : 1;
    }

private:
    CCheckedOutput m_buffer;
    std::streambuf* m_pPrevious;
};

}  // namespace

int main(int argc, char** argv) {
    const auto programStart = std::chrono::steady_clock::now();
    // Before any thread exists (see CliSignals.h).
    StartSignalHandling();
    CCheckedStdout output;
    std::string error;
    const auto options = CliOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "quorlin-cli: " << error << "\n" << CliOptions::Usage();
        return 2;
    }
    if (options->help || options->version) {
        std::cout << (options->help ? CliOptions::Usage()
                                    : std::string("quorlin-cli ") + kQuorlinVersion + "\n");
        return output.Checked(0);
    }

    // Checking a backup needs no unit: no settings are read and no port is opened.
    if (options->command == CliOptions::Command::Verify) {
        CCliHost host;
        return output.Checked(RunVerify(options->path, std::cout, host));
    }
    if (options->command == CliOptions::Command::Library ||
        options->command == CliOptions::Command::Import) {
        CCliHost host;
        return output.Checked(RunLibraryCommand(*options, std::cout, host));
    }

    const std::unique_ptr<ISettingsStore> savedStore = OpenSavedSettings();
    ISettingsStore& saved = *savedStore;
    // Shadows every section: whatever this run's settings records save stays in memory.
    COverlaySettingsStore run(saved);
    PutConnection(*options, saved, run);
    SetSettingsStore(&run);

    const bool keepLog =
        options->verbose || run.ReadDword(kSectionOptions, kVerboseLogValue).value_or(0) != 0;
    // Declared before the engine, so that it outlives the engine's last frame.
    CCliTrace trace(programStart);
    if (!trace.Start(options->tracePath, keepLog, error)) {
        std::cerr << "quorlin-cli: " << error << "\n";
        SetSettingsStore(nullptr);
        return 2;
    }

    const std::string noUnitChosen = ExplainNoUnitChosen(*options);
    int result = 1;
    if (options->command == CliOptions::Command::Doctor) {
        if (!noUnitChosen.empty()) CCliHost().ShowMessage(noUnitChosen);
        // The check makes links of its own; with --demo it asks the demo unit.
        std::unique_ptr<CInProcessDemoUnit> demoUnit;
        std::unique_ptr<CDeviceLink> demoLink;
        if (options->connection == CliOptions::Connection::Demo) {
            demoUnit = std::make_unique<CInProcessDemoUnit>();
            demoLink = demoUnit->TakeSerialLink();
        }
        result = output.Checked(RunDoctor(std::cout, demoLink.get()));
    } else {
        CCliHost host;
        host.SetMessageHook([&trace](const std::string& text) { trace.Message(text); });
        if (!noUnitChosen.empty()) host.ShowMessage(noUnitChosen);
        std::unique_ptr<CInProcessDemoUnit> demoUnit;
        std::unique_ptr<CLibrarian> engine;
        if (options->connection == CliOptions::Connection::Demo) {
            // The demo unit in this process. Pauses move its clock instead of sleeping, so it
            // sees the key presses as far apart as the engine spaces them.
            demoUnit = std::make_unique<CInProcessDemoUnit>();
            CInProcessDemoUnit* unit = demoUnit.get();
            host.SetPauseHook([unit](int ms) { unit->AdvanceClock(ms); });
            engine = std::make_unique<CLibrarian>(host, demoUnit->TakeSerialLink(),
                                                  demoUnit->TakeMIDILink());
        } else {
            engine = std::make_unique<CLibrarian>(host);
        }

        // One command: after a hang-up its later calls fail at once instead of each reporting
        // the port gone.
        engine->SetHoldLinkLoss(true);
        host.SetPauseMargin(engine->GetLinkSettings().deviceType == 1
                                ? CCliHost::kMIDIPauseMarginMs
                                : CCliHost::kSerialPauseMarginMs);

        COptionsSettings stored;
        stored.Load();
        const int dsp = options->dsp.value_or(stored.m_nBankChangeDevice);
        const int channel = options->channel.value_or(stored.m_nChannel);

        CCliLibraryFeed library(
            *engine, host,
            CCliArchiveCommands::LinkDescription(
                *engine, options->connection == CliOptions::Connection::Demo),
            SavedOr(saved, kSectionOptions, "LibraryKeepsDeleted", 1) != 0,
            options->connection == CliOptions::Connection::Demo);
        result = CCliCommands(*engine, host, std::cout, dsp, channel).Run(*options);
        engine.reset();
    }
    // Every frame is in the trace now; a write of it that failed was said when it happened.
    if (!trace.Finish() && result == 0) result = 1;
    SetSettingsStore(nullptr);
    return result;
}
