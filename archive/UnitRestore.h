#pragma once
// Restoring a whole-unit backup (UnitBackup.h) into the unit. The unit numbers a loaded program
// itself, so a restore makes sure that every backed-up user program is present again in its bank;
// it does not promise the same program numbers.
//
// The plan comes first, from the manifest and the unit's current lists, bank by bank in bank
// order:
//   create bank N NAME                              the unit lacks the bank (NAME as it will be
//                                                   typed: characters the unit cannot type are
//                                                   blanks); also for a bank without user programs
//   keep bank N "UNIT NAME" (backup: "BACKUP NAME")  the bank is there under another name; kept
//   skip N PROGRAM (present)                         the bank already lists the name (same
//                                                   letters, trailing blanks ignored), counted by
//                                                   name: two of one name in the backup and one on
//                                                   the unit load one
//   load N FILE                                     otherwise
//   refuse N FILE (changed since backup)            the file's size or SHA-256 is not the
//                                                   manifest's (or "(missing)": it is not there;
//                                                   or the reason it cannot be read or sent: a
//                                                   link, a fifo, a device, too large, a byte
//                                                   that would end the load frame early)
// FILE is the manifest's relative path. Factory programs are never loaded; a bank that needs
// nothing has no lines.
//
// A manifest that cannot be read, that names any file outside the folder once symbolic links
// are resolved, or a bank the unit cannot have (a number outside 0 to 99, a name longer than
// nametable::kMaxNameLength characters), is refused whole before the unit is asked anything.
//
// Each file is read once, while planning: only a regular file (a symbolic link is refused
// wherever it points) of at most CLibrarian::kMaxPatchFileSize bytes. The bytes whose size and
// SHA-256 match the manifest are kept in the load step, and exactly those are loaded.
//
// Carrying the plan out creates the banks, loads the files (a load the unit refuses is reported
// and the restore goes on), then reads every touched bank's program list again: every loaded
// program's name must be listed. When the connection to the unit is lost, that is told once
// (CLibrarian::BeginHeldOperation) and the rest of the plan is counted as not made.
//
// Called on the thread that owns the engine; progress and Cancel through the visitor. Every text
// in and out (names, paths, messages, the summary) is UTF-8.

#include <map>
#include <string>
#include <vector>

#include "archive/ArchiveVisitor.h"
#include "archive/BackupManifest.h"
#include "engine/WorkEstimate.h"

class CLibrarian;

namespace archive {

struct RestoreStep {
    enum class Kind { CreateBank, KeepBank, Skip, Load, Refuse };
    Kind kind = Kind::Load;
    int bank = -1;
    std::string name;        // create: as typed; keep: the unit's; skip/load/refuse: the program's
    std::string backupName;  // keep: the bank's name in the backup
    std::string file;        // load, refuse
    bool missing = false;    // refuse: the file is not there at all
    std::string reason;      // refuse: why, when neither missing nor changed since backup
    std::string content;     // load: the file's bytes as read and checked when planning
};

struct RestorePlan {
    std::string folder;
    std::vector<RestoreStep> steps;
    estimate::Line line;  // the link the plan was made for
    int unitBanks = 0;    // banks the unit listed then
    // Every planned bank's name: the unit's for a bank it has, else the name it will be created
    // with.
    std::map<int, std::string> bankNames;
};

// One plan line, in the forms above.
std::string StepLine(const RestoreStep& step);

class CUnitRestore {
public:
    enum class Result { Done, Failed, Refused };

    // `dsp`: 1 DSP A, 2 DSP B (bank selects and loads).
    CUnitRestore(CLibrarian& engine, IArchiveVisitor& visitor, int dsp)
        : m_engine(engine), m_visitor(visitor), m_nDsp(dsp) {}

    // Makes the plan for the banks `banks` of the backup in `folder` (empty: all). Refused (told
    // through the visitor, nothing asked of the unit) for a manifest that cannot be read, names
    // a file outside the folder or a bank the unit cannot have, and for a bank the backup does
    // not hold; Failed when the unit's lists cannot be read. Loads and bank changes are never
    // sent here.
    Result Plan(const std::string& folder, const std::vector<int>& banks, RestorePlan& plan);

    // Carries the plan out and checks the result. Done only when every step was carried out
    // and verified (a refuse step is a failure).
    Result Carry(const RestorePlan& plan);

    // "Restore finished: L programs loaded, B banks created, P already present, N not loaded."
    // for the last Carry. After a cancel it begins "Restore cancelled:", after the connection to
    // the unit was lost "Restore interrupted:", and ends ", M planned loads not made." (naming
    // the planned bank creations not made, if any), then names the banks left half-way
    // ("Partly restored: bank 40") and those not reached ("Not reached: bank 41, 42"). Every
    // planned program counts once.
    std::string Summary() const;
    // True when the last Carry stopped because the connection to the unit was lost.
    bool Interrupted() const { return m_bInterrupted; }

private:
    // The load step of `program` of bank `bank`: its file read once and checked against the
    // manifest and the current link, or the refuse step that says why not.
    RestoreStep PlannedLoad(const std::string& folder, int bank,
                            const ManifestProgram& program) const;

    CLibrarian& m_engine;
    IArchiveVisitor& m_visitor;
    int m_nDsp;
    int m_nLoaded = 0;
    int m_nPresent = 0;
    int m_nNotLoaded = 0;  // refused by the plan or by the unit
    int m_nBanksCreated = 0;
    int m_nLoadsNotMade = 0;      // planned loads left after a cancel
    int m_nBanksNotCreated = 0;   // planned bank creations left after a cancel
    bool m_bCancelled = false;
    bool m_bInterrupted = false;  // the connection to the unit was lost
    std::vector<int> m_partlyRestored;  // banks with some planned steps made, some not
    std::vector<int> m_notReached;      // banks with planned steps, none of them made
};

}  // namespace archive
