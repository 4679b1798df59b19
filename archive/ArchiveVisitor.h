#pragma once
// What a whole-unit backup or a restore tells its caller while it runs, and how the caller stops
// it: the desktop program shows a progress dialog with Cancel, the command line prints the files
// written and the messages. Every function has a default that does nothing (and never cancels),
// so a caller overrides only what it shows.
//
// Called on the thread that runs the backup or restore (the one that owns the engine). Names and
// messages are UTF-8.

#include <string>

class IArchiveVisitor {
public:
    virtual ~IArchiveVisitor() = default;

    // What OnProgress counts.
    enum class Count {
        Banks,     // backup: the banks of the unit, told before each bank is read
        Programs,  // backup: the user programs of the bank being backed up, told before each
                   // program; restore: every planned load, told before each bank and each load
    };
    // How far the run is: `done` of `total` are finished (written, loaded or given up).
    virtual void OnProgress(Count /*what*/, int /*done*/, int /*total*/) {}

    // A bank is about to be read (backup) or restored.
    virtual void OnBank(int /*bank*/, const std::string& /*name*/) {}
    // A program is about to be fetched (backup) or loaded (restore).
    virtual void OnProgram(int /*bank*/, int /*program*/, const std::string& /*name*/) {}
    // Backup: a program file was written and read back intact; `path` is relative to the backup
    // folder, with "/".
    virtual void OnFileWritten(int /*bank*/, int /*program*/, const std::string& /*path*/) {}
    // Something the user must be told (a program skipped, a bank changed meanwhile, a load the
    // unit refused); one complete sentence.
    virtual void OnMessage(const std::string& /*text*/) {}
    // Asked between programs: true stops the run there (the backup still writes its manifest).
    virtual bool ShouldCancel() { return false; }
};
