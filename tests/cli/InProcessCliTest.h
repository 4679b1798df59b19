#pragma once
// A test fixture that runs quorlin-cli's commands in-process, one command line on a fresh engine
// as one run of the program does, against the simulated unit behind a link that a test can make
// lose replies, key presses or the unit altogether (`arrange`, called before each run).

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "sim/SimUnit.h"
#include "tests/support/FaultLink.h"
#include "tests/support/ScopedSettingsStore.h"

// What one run printed and returned.
struct CliOutcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class CInProcessCliTest : public ::testing::Test {
protected:
    // Runs one command line (without connection options); a usage error is exit 2 with the
    // parser's message.
    CliOutcome Run(const std::vector<std::string>& args) {
        CliOutcome outcome;
        std::string error;
        const auto options = CliOptions::Parse(args, error);
        if (!options) {
            outcome.exitCode = 2;
            outcome.err = error;
            return outcome;
        }
        std::FILE* err = std::tmpfile();
        {
            CCliHost host(err);
            host.SetPauseHook([this](int ms) { inner.AdvanceClock(ms); });
            auto link = std::make_unique<CFaultLink>(inner);
            fault = link.get();
            if (arrange) arrange(*fault);
            CLibrarian engine(host, std::move(link), std::make_unique<CSimLink>(unit));
            std::ostringstream out;
            outcome.exitCode = CCliCommands(engine, host, out, 1, 0).Run(*options);
            outcome.out = out.str();
            sends = fault->sends;
            sendsAfterGone = fault->sendsAfterGone;
            fault = nullptr;
        }
        std::rewind(err);
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, err)) > 0;)
            outcome.err.append(buffer, n);
        std::fclose(err);
        return outcome;
    }

    CScopedSettingsStore store;
    CSimUnit unit;
    CSimLink inner{unit};
    CFaultLink* fault = nullptr;               // the link of the run under way
    std::function<void(CFaultLink&)> arrange;  // sets up the faults of the next run
    int sends = 0;                             // frames the last run offered the link
    int sendsAfterGone = 0;                    // of those, after the unit was gone
};
