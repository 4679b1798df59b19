#pragma once
// The fixture of the end-to-end tests: a fresh simulated unit behind the transport the test is
// instantiated with ("serial": quorlin-sim on a pseudo-terminal; "midi": a JACK route), a private
// config home with a saved settings file, and Run, which calls quorlin-cli with the transport's
// connection options and checks that the saved settings file is byte for byte what it was.
//
// A transport this machine cannot provide skips the test, unless QUORLIN_REQUIRE_JACK=1 (as in
// CI), which makes a missing JACK server a failure.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "tests/cli/CliRun.h"
#include "tests/cli/CliSandbox.h"
#include "tests/cli/MidiTransport.h"
#include "tests/cli/SerialTransport.h"

enum class TransportKind { Serial, MIDI };

inline std::string TransportName(const ::testing::TestParamInfo<TransportKind>& info) {
    return info.param == TransportKind::Serial ? "serial" : "midi";
}

class CliEndToEndTest : public ::testing::TestWithParam<TransportKind> {
protected:
    // Saved settings that every run must leave alone; the connection comes from the options.
    static constexpr const char* kSavedOptions =
        "[Options]\nChannel=0\nBankChangeDevice=1\nDisplayInfoPane=1\n";

    // 0..15: the unit takes program changes only on that channel; -1: on every channel.
    virtual int ReceiveChannel() const { return -1; }

    void SetUp() override {
        if (GetParam() == TransportKind::Serial) {
            m_pTransport = std::make_unique<CSerialTransport>();
        } else {
            m_pTransport = std::make_unique<CMidiTransport>();
        }
        std::string why;
        if (!m_pTransport->Start(ReceiveChannel(), why)) {
            const char* require = std::getenv("QUORLIN_REQUIRE_JACK");
            if (GetParam() == TransportKind::MIDI &&
                !(require != nullptr && std::string(require) == "1")) {
                GTEST_SKIP() << why;
            }
            FAIL() << why;
        }
        m_sandbox.WriteSettings(kSavedOptions);
    }

    void TearDown() override { m_pTransport.reset(); }

    // quorlin-cli with the transport's connection options, then `args`.
    CliResult Run(const std::vector<std::string>& args) {
        std::vector<std::string> all = m_pTransport->Options();
        all.insert(all.end(), args.begin(), args.end());
        return RunSaved(all);
    }

    // quorlin-cli with exactly `args`: without connection options it uses the saved settings.
    CliResult RunSaved(const std::vector<std::string>& args) {
        const auto before = m_sandbox.ReadSettings();
        CliResult result = RunCli(args, m_sandbox.ConfigHome());
        EXPECT_EQ(m_sandbox.ReadSettings(), before) << "the saved settings changed";
        return result;
    }

    std::string Path(const std::string& name) const { return (m_sandbox.Dir() / name).string(); }

    CCliSandbox m_sandbox;
    std::unique_ptr<IUnitTransport> m_pTransport;
};
