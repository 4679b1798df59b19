#pragma once
// The commands of quorlin-cli, carried out through the engine: each reads what it needs from the
// unit, does its work, prints its results on `out` and returns the exit status (0 done, 1 the
// operation failed). Every failure is reported on the host: the engine's and the links' own
// messages where they give one, otherwise a line of this class's own.
//
// A BANK must be listed in the unit's bank list, and the PROGRAM of info, fetch and delete must
// be listed in that bank; otherwise the command fails before anything is changed. backup, fetch
// and info take a program's text only under the name the list gives it (CLibrarian::
// FetchProgram): when the unit sends another program, also when asked once more, backup skips
// that program ("the unit sent "Big Hall" instead of "Vocal Plate"") and goes on, fetch writes
// nothing and info prints nothing; each then ends with status 1. Files are
// written as FileWriter.h describes (whole, under a temporary name, then renamed into place), and
// backup and fetch check that they can write before they ask the unit for anything. backup is
// the bank backup the desktop program runs too (archive/BankBackup.h). When `out`
// fails (a closed pipe), that is said once and the command ends with status 1.
//
// Run is called once, on the thread that owns the engine.

#include <ostream>
#include <string>
#include <vector>

#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "engine/ProgramEntry.h"

class CLibrarian;

class CCliCommands {
public:
    // `dsp`: 1 DSP A, 2 DSP B (bank selects, information text); `channel`: 0 to 15.
    CCliCommands(CLibrarian& engine, CCliHost& host, std::ostream& out, int dsp, int channel);

    int Run(const CliOptions& options);

private:
    int Banks();
    int Programs(int bank);
    int Info(int bank, int program);
    int Load(int bank, const std::string& file);
    int Backup(int bank, const std::string& folder);
    int Fetch(int bank, int program, const std::string& file);
    int Delete(int bank, int program);
    int DeleteBank(int bank);
    int NameBank(int bank, const std::string& name);
    int Find(const std::string& text);

    // True when the unit lists bank `bank`; otherwise says so (unless the engine already said
    // why the list could not be read).
    bool RequireBank(int bank);
    // Selects `bank` on the chosen DSP and reads its programs.
    bool SelectAndList(int bank, std::vector<ProgramEntry>& programs);
    // The program numbered `program` in `programs`, or nullptr after saying it is not there.
    const ProgramEntry* RequireProgram(int bank, int program,
                                       const std::vector<ProgramEntry>& programs);
    // Reports `text` unless a message has been shown since `shownBefore` (the engine's reason).
    int Fail(const std::string& text, int shownBefore);
    // False once writing to `out` has failed (a closed pipe); the first time, says so.
    bool OutputWorks();

    CLibrarian& m_engine;
    CCliHost& m_host;
    std::ostream& m_out;
    int m_nDsp;
    int m_nChannel;
    bool m_bOutputFailed = false;
};
