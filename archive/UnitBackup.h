#pragma once
// The backup of the whole unit into one folder: every bank in order, every user program fetched,
// written whole and read back, and "manifest.json" written last (BackupManifest.h), also after a
// cancel or a failure, so that a partial backup says what it holds.
//
// Layout: one folder per bank that has user programs, "<bank number, 2 digits> <safe bank
// name>", holding "<safe program name>.sig" (SafeFileName.h: the same rule and collision suffixes
// as a bank backup, given in program-number order).
//
// What the run checks:
// - each program is fetched as CLibrarian::FetchProgram does (ProgramFetch.h): the name inside the
//   text the unit sent must be the listed one, and a program not delivered, or delivered under
//   another name (a program change that did not take effect sends the previous program), is asked
//   once more;
// - a program still not delivered is skipped with the reason; after two programs in a row not
//   delivered the unit is asked nothing more, every user program not yet written is skipped, and
//   banks not read go to the unread banks;
// - a name that still differs is recorded as mismatched and the file is kept;
// - when the connection to the unit is lost (the port gone, the line hung up), that is told once
//   (CLibrarian::BeginHeldOperation) and the unit is asked nothing more: the program being
//   fetched and the rest are skipped, the banks not read go to the unread banks;
// - after a bank's programs its program list is read again; a list that differs (the unit was
//   changed meanwhile) puts the bank among the changed banks;
// - what the unit lists beyond the reach of a bank select (banks outside 0 to 99) or a program
//   change (user programs outside 0 to 127) cannot be fetched: each is skipped with that reason
//   (a whole bank as program -1), so such a backup is never complete.
//
// Called on the thread that owns the engine; progress and Cancel through the visitor. Every text
// in and out (names, paths, messages, the summary) is UTF-8.

#include <string>

#include "archive/ArchiveVisitor.h"
#include "archive/BackupManifest.h"

class CLibrarian;

namespace archive {

struct BackupOutcome {
    enum class Status {
        Complete,    // every user program of every bank written and verified
        Incomplete,  // something skipped, mismatched, changed, unread or cancelled
        Failed,      // nothing could be backed up, or the manifest could not be written
        Refused,     // the folder is not a folder or not empty: nothing written
    };
    Status status = Status::Failed;
    Manifest manifest;
    int banksWritten = 0;  // banks with at least one program written
    bool manifestWritten = false;
    bool interrupted = false;  // the unit stopped answering: the rest was not asked for
};

class CUnitBackup {
public:
    // `dsp`: 1 DSP A, 2 DSP B (bank selects); `channel`: 0 to 15 (program changes).
    CUnitBackup(CLibrarian& engine, IArchiveVisitor& visitor, int dsp, int channel)
        : m_engine(engine), m_visitor(visitor), m_nDsp(dsp), m_nChannel(channel) {}

    // Backs the unit up into `folder`, which must not exist (it is created; its parent must
    // exist) or be empty. `link` describes the connection for the manifest. Every problem is
    // told through the visitor's OnMessage.
    BackupOutcome Run(const std::string& folder, const std::string& link);

private:
    void BackUpBank(const std::string& folder, ManifestBank& bank, Manifest& manifest,
                    int& banksWritten);
    void SkipRest(ManifestBank& bank, std::size_t from, Manifest& manifest,
                  const std::string& reason);
    bool Stopped() const { return m_bDead || m_bCancelled; }
    // True when the engine lost the link: the unit is asked nothing more, and the loss is told
    // (once, by the engine).
    bool LinkLost();

    CLibrarian& m_engine;
    IArchiveVisitor& m_visitor;
    int m_nDsp;
    int m_nChannel;
    int m_nFailuresInRow = 0;      // programs in a row the unit did not deliver
    int m_nListFailuresInRow = 0;  // program lists in a row the unit did not deliver
    bool m_bDead = false;          // the unit is asked nothing more
    bool m_bLost = false;          // because the connection to it was lost
    bool m_bCancelled = false;
    bool m_bUncertain = false;  // a bank's list could not be read again after its programs
};

// "Backup finished: N programs from M banks written, K skipped." ("Backup cancelled: …" or
// "Backup interrupted: …" when it did not go through to its end) and, one per line, the programs
// skipped and mismatched, the banks changed or not read, and whether it was cancelled.
std::string BackupSummary(const BackupOutcome& outcome);

// The connection the engine uses, in words, as the manifest describes it ("serial /dev/ttyUSB0,
// 38400 baud", "MIDI in 1, out 2").
std::string LinkDescription(CLibrarian& engine);

// The name of a bank's folder: "<number, 2 digits> <safe name>".
std::string BankFolderName(int number, const std::string& name);

// The number and the name of an entry of the unit's lists ("12 Lead"), as the engine reads an
// entry (CReplyParser::SplitEntry); number -1 and no name for an entry without a number.
int ListEntryNumber(const std::string& entry);
std::string ListEntryName(const std::string& entry);

}  // namespace archive
