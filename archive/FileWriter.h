#pragma once
// The files Quorlin writes (backups, fetched and dragged-out programs), written so that no reader
// ever sees a cut-off file and nothing is written anywhere but where the user pointed:
//
// - A regular file is written whole under a temporary name in the target's own folder and then
//   renamed over the target. The temporary name is new for every file (".quorlin-" and random
//   letters), created exclusively and never through a symbolic link, so a name planted in the
//   folder cannot redirect the write. On any failure the temporary file is removed and the
//   target is left as it was; the reason is the system's own ("No space left on device").
// - A fifo or a character device (fetch only) is written in place: it is opened as it is, with no
//   temporary file and no rename, so a device is never replaced by a file.
// - "-" (fetch only) is standard output.
// - A symbolic link, a folder or any other kind of file is refused and left alone.
//
// The temporary files of the run are kept in a table that the signal handling (CliSignals.h)
// empties before the program ends on SIGINT, SIGTERM or SIGHUP: exactly the files this run
// created, removed by their full names.
//
// One backend per platform (FileWriterPosix.cpp, FileWriterWin.cpp). Called by the thread that
// runs the commands; RemoveTemporaryFiles may be called from any thread.

#include <cstdint>
#include <set>
#include <string>
#include <utility>

namespace filewriter {

enum class Target {
    // Backup: only a regular file (or nothing) may stand at the path.
    RegularFile,
    // Fetch: also a fifo or a character device (written in place), and "-" for standard output.
    FileOrStream,
};

// Identifies a file on its file system (device and file number).
using FileId = std::pair<std::uint64_t, std::uint64_t>;

// Writes `data` to `path`, as the header describes. False with a reason in `error` (a lower-case
// phrase or the system's text, to follow "Cannot write <path>: "). `written`, when given, receives
// the identity of the file written (regular files only).
bool WriteFileWhole(const std::string& path, const std::string& data, Target target,
                    std::string& error, FileId* written = nullptr);

// Checks, before anything is fetched, that `path` could be written: what stands there is
// acceptable for `target`, and a regular file could be created in its folder (a temporary file
// is created there and removed again). False with a reason in `error`.
bool CheckWritable(const std::string& path, Target target, std::string& error);

// Checks that files can be created in `folder` (by creating and removing a temporary file).
bool CheckFolderWritable(const std::string& folder, std::string& error);

// The identity of what stands at `path` (not following a link), if anything.
bool IdentifyFile(const std::string& path, FileId& id);

// Removes every temporary file of the run that still exists and keeps any more from being
// created. Used on the way out after a signal; the process must end right after.
void RemoveTemporaryFiles();

// How many temporary files the run holds at the moment (for tests).
int TemporaryFileCount();

// One temporary file of the run: created new in a folder under a name of its own, entered in
// the run's table until it is renamed over its target or removed. Removed when the object goes
// unless committed. WriteFileWhole is made of these steps.
class CTemporaryFile {
public:
    CTemporaryFile() = default;
    CTemporaryFile(const CTemporaryFile&) = delete;
    CTemporaryFile& operator=(const CTemporaryFile&) = delete;
    ~CTemporaryFile() { Discard(); }

    // Creates the file, exclusively, in `folder`. False with the system's reason.
    bool Create(const std::string& folder, std::string& error);
    // The open file, for writing (until Finish).
    int Fd() const { return m_nFd; }
    // Appends `data` to the open file. False with the system's reason.
    bool Write(const std::string& data, std::string& error);
    // Makes the content whole on disk and closes the file.
    bool Finish(std::string& error);
    // Renames the file over `target`; it is then no longer the run's to remove.
    bool Commit(const std::string& target, std::string& error);
    // Closes and removes the file (harmless after Commit).
    void Discard();

private:
    int m_nSlot = -1;  // its entry in the run's table
    int m_nFd = -1;
};

// The files one run has written, so that a later file of the same run never replaces one of
// them (two names the file system takes for the same file, such as letters in another case).
class CRunFiles {
public:
    void Add(const FileId& id) { m_ids.insert(id); }
    // True when `path` is a file this run wrote.
    bool Holds(const std::string& path) const {
        FileId id;
        return IdentifyFile(path, id) && m_ids.count(id) != 0;
    }

private:
    std::set<FileId> m_ids;
};

}  // namespace filewriter
