#pragma once
// The backup of one bank's user programs into a folder the user chose: the command line's
// "backup BANK FOLDER" and the desktop program's "Back Up This Bank…" both run it, so that
// both write the same files and skip the same programs for the same reasons.
//
// What a run does, in this order:
// - the folder is checked before the unit is asked anything (CheckBankBackupFolder): it must be
//   a folder, and a file must be creatable in it;
// - the caller's lister gives the bank's programs (the command line selects the bank and reads
//   its list; the desktop program gives the list it shows);
// - every user program with a number is fetched as CLibrarian::FetchProgram does (ProgramFetch.h):
//   a program the unit does not send, or sends under another name, is skipped with the reason,
//   and another program's text is never written under this program's name;
// - each fetched program is written as "<name>.sig" (CBackupNamer: characters a file system
//   refuses become "_", names equal but for letter case get " (2)", " (3)", ... in program-number
//   order), whole and never through a planted link (FileWriter.h); a regular file that stood at
//   the name before the run is replaced only when it holds the same program (the name inside
//   it matches: a refresh of an earlier backup) and only once its earlier text is recorded in
//   the library; a file holding another program, no program, or one that cannot be read or
//   kept in the library stays as it is and the program takes the next name (" (2)", ...), as
//   names that collide do; a file of this run is never
//   replaced by a later one, also where the file system takes two names for one file. File names
//   are UTF-8: a name that is valid UTF-8 stays as it is, any other is read as 8-bit (Latin-1)
//   characters, as the whole-unit backup names its files;
// - a file that cannot be written is skipped with the system's reason, and the run goes on;
// - when the connection to the unit is lost, that is told once (CLibrarian::BeginHeldOperation)
//   and the unit is asked nothing more: the program being fetched and every later one are
//   skipped (ConnectionLost, NotAsked), and the outcome is interrupted;
// - at the end the files are counted as they stand on disk, each file once.
//
// The visitor hears, for each program, OnProgram before it is fetched, OnFileWritten with the
// file's name (relative to the folder) once it is written, and OnMessage with SkipLine for each
// program skipped; ShouldCancel is asked before each program and stops the run there.
//
// No Qt: the command line without Qt has it too. Called on the thread that owns the engine.

#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveVisitor.h"
#include "engine/ProgramEntry.h"

class CLibrarian;

namespace archive {

// What CheckBankBackupFolder found.
struct BankBackupFolder {
    enum class Problem {
        None,
        NotAFolder,   // nothing there, or not a folder
        NotWritable,  // a folder that cannot be looked into or written to
    };
    Problem problem = Problem::None;
    // NotAFolder: "it is not a folder."; NotWritable: the system's reason ("Permission denied",
    // "Read-only file system"). To follow "Cannot back up into <folder>: ".
    std::string why;
};

// Whether files can be written into `folder` (a file is created there and removed again).
BankBackupFolder CheckBankBackupFolder(const std::string& folder);

// One program that was not backed up.
struct BankBackupSkip {
    enum class Why {
        NotSent,       // the unit did not send it
        WrongProgram,  // the unit sent another program
        NotWritten,    // its file could not be written
        ConnectionLost,  // the connection to the unit was lost while it was fetched
        NotAsked,        // not asked for: the connection to the unit was lost before
    };
    Why why = Why::NotSent;
    int program = -1;
    std::string entry;     // as the bank's list gives it: "<number> <name>"
    std::string name;      // the name the list gives it
    std::string sentName;  // WrongProgram: the name inside the text the unit sent
    std::string path;      // NotWritten: the file that could not be written
    std::string error;     // NotWritten: the system's reason
    // In words, without a full stop: "the unit did not send it", "the unit sent "Lead" instead
    // of "Pad"", "cannot write <path>: <error>".
    std::string reason;
};

// "Skipped <entry>: <reason>." (a file not written: without the full stop, after the system's
// reason).
std::string SkipLine(const BankBackupSkip& skip);

struct BankBackupOutcome {
    enum class Status {
        Done,       // every user program was tried (or the run was cancelled)
        Refused,    // the folder cannot take the files: nothing was asked of the unit
        NotListed,  // the lister could not give the bank's programs (it has said why)
    };
    Status status = Status::Done;
    BankBackupFolder folder;         // Refused: why
    int userPrograms = 0;            // the user programs with a number that the list gave
    std::vector<std::string> files;  // the paths written, in the order written
    int onDisk = 0;                  // of those, the files that stand there at the end, each once
    std::vector<std::string> replaced;  // of `files`, those that replaced an earlier backup of
                                        // the same program (its text is in the library)
    std::vector<std::string> kept;      // files that stood at a name and were left as they are
    std::vector<BankBackupSkip> skipped;
    bool cancelled = false;
    bool interrupted = false;  // the connection to the unit was lost: the rest was not asked for
};

class CBankBackup {
public:
    // Appends the bank's programs; false when they cannot be listed (after saying why).
    using ProgramLister = std::function<bool(std::vector<ProgramEntry>& programs)>;

    // `channel`: the MIDI channel of the program changes, 0 to 15.
    CBankBackup(CLibrarian& engine, IArchiveVisitor& visitor, int channel)
        : m_engine(engine), m_visitor(visitor), m_nChannel(channel) {}

    // Backs up the user programs of bank `bank`, as `list` gives them, into `folder`.
    BankBackupOutcome Run(const std::string& folder, int bank, const ProgramLister& list);

private:
    // What stands at `path` for the program `name` with text `data`.
    enum class Standing {
        Free,         // nothing a run must keep: written there (a link or folder is refused)
        SameProgram,  // an earlier backup of this program, its text now in the library
        Kept,         // a file to keep: the program takes the next name
    };
    Standing WhatStands(const std::string& path, const std::string& data, const std::string& name);

    CLibrarian& m_engine;
    IArchiveVisitor& m_visitor;
    int m_nChannel;
};

}  // namespace archive
