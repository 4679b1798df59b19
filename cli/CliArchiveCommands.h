#pragma once
// The whole-unit commands of quorlin-cli, over the archive layer (UnitBackup.h, BackupCheck.h,
// UnitRestore.h):
//
//   backup-unit DIR   stdout: "<bank>\t<program>\t<path relative to DIR>" per file written;
//                     stderr: the messages and the summary. Exit 0 when every user program of
//                     every bank was written and verified, 1 otherwise, 2 when DIR is not a
//                     folder or not empty (nothing written).
//   verify DIR        offline (no engine, no port). stdout: "missing FILE", "changed FILE",
//                     "unlisted FILE", "outside FILE"; exit 0 all match, 1 otherwise, 2 no
//                     readable manifest (the reason on stderr).
//   restore DIR [--bank N]... [--dry-run]
//                     stdout: the plan, one line per step; stderr: messages and the summary.
//                     Exit 0 when every step was carried out and verified (a dry run: when the
//                     plan could be made), 1 otherwise, 2 when the manifest is refused or names
//                     no such bank (nothing sent).
//
// The command-line visitor prints nothing per step and never cancels. Called on the thread that
// owns the engine.

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliHost.h"

class CLibrarian;

// verify: needs neither the engine nor a connection.
int RunVerify(const std::string& folder, std::ostream& out, IHost& host);

class CCliArchiveCommands {
public:
    CCliArchiveCommands(CLibrarian& engine, IHost& host, std::ostream& out, int dsp, int channel)
        : m_engine(engine), m_host(host), m_out(out), m_nDsp(dsp), m_nChannel(channel) {}

    // `link`: the connection, as the manifest describes it.
    int BackupUnit(const std::string& folder, const std::string& link);
    int Restore(const std::string& folder, const std::vector<int>& banks, bool dryRun);

    // The connection the engine uses, in words ("serial /dev/ttyUSB0, 38400 baud").
    static std::string LinkDescription(CLibrarian& engine, bool demo);

private:
    CLibrarian& m_engine;
    IHost& m_host;
    std::ostream& m_out;
    int m_nDsp;
    int m_nChannel;
};
