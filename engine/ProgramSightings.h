#pragma once
// IProgramSightings: what the engine tells about every program text that passes through it, so
// that a program library (library/) can keep a copy of each. The engine calls it when a program
// is fetched from the unit, when a ".sig" file is loaded into the unit, and before a user program
// is deleted; the whole-unit backup and the restore call it for what they write and send.
//
// The interface has no Qt and no storage of its own: the program around the engine implements it
// (or sets none, and nothing is recorded). Called on the thread that runs the engine.

#include <string>

class IProgramSightings {
public:
    // How a text was seen.
    enum class How { Fetched, BackedUp, LoadedFromFile, Imported, Deleted, Restored };

    // Where it was seen. On the unit: bank and program (either -1 when not known) over the link
    // `link` describes. In a file: `path`; a backup folder's manifest entry adds `entry` (the
    // path relative to the folder, as the manifest lists it) beside the folder in `path`.
    struct Where {
        int bank = -1;
        int program = -1;
        std::string link;
        std::string path;
        std::string entry;
    };

    virtual ~IProgramSightings() = default;

    // Records `text` (the program's bytes, with or without the frame's end byte) under `name`.
    // False with a reason in `error` when it could not be recorded (the library is locked,
    // damaged or the disk is full); the operation that saw the text goes on regardless.
    virtual bool ProgramSeen(const std::string& text, const std::string& name, How how,
                             const Where& where, std::string& error) = 0;

    // The unit's info text of the program at `where` (the one last selected). Recorded with the
    // text seen there, now or when it is seen. Optional.
    virtual void ProgramInfoSeen(const std::string& /*info*/, const Where& /*where*/) {}

    // True when a user program is fetched and recorded before Delete removes it from the unit.
    virtual bool KeepsDeletedPrograms() const = 0;

    // False when what is recorded is gone when the run ends (the demo unit's library of its
    // own): a text recorded there is not safe, so nothing may be replaced on the strength of it.
    virtual bool KeepsTextsBeyondThisRun() const { return true; }
};
