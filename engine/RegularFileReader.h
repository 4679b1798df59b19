#pragma once
// Reading a file that someone else may have put in place (a ".sig" file, a backup's manifest, a
// file to import) without ever blocking or running out of memory: only a regular file is read,
// and never more than a limit.
//
// What stands at the path is looked at before it is opened (a fifo, a device, a socket or a
// folder is refused without being opened, so a fifo never blocks the open and a device such as
// /dev/zero is never read); the file is then opened without waiting (POSIX: O_NONBLOCK) and, where
// links are refused, without following a symbolic link in its last part (POSIX: O_NOFOLLOW;
// Windows: the reparse point itself is opened and refused); what was opened is checked again to
// be a regular file, and at most limit + 1 bytes are read, so a file that grows meanwhile is
// still refused as too large. Links in the folders on the way are followed either way.
//
// One backend per platform (RegularFileReaderPosix.cpp, RegularFileReaderWin.cpp). No shared
// state; any thread.

#include <cstdint>
#include <string>

namespace filereader {

enum class Links {
    Follow,  // a symbolic link is followed to what it points at (which must be a regular file)
    Refuse,  // a symbolic link is refused wherever it points
};

enum class Result {
    Read,        // `data` holds the whole file
    TooLarge,    // the file holds more than `limit` bytes (`size`: how many, as far as known)
    NotRegular,  // a folder, fifo, device, socket, or (Links::Refuse) a symbolic link
    Failed,      // the system's error (no such file, permission denied, ...)
};

struct Outcome {
    Result result = Result::Failed;
    // Why it was not read: a lower-case phrase to follow "Cannot read <path>: ", such as
    // "it is a fifo, not a regular file", "it is larger than 1048570 bytes (4096000 bytes)" or
    // the system's text ("No such file or directory").
    std::string error;
    std::uintmax_t size = 0;  // TooLarge: the size found
    bool missing = false;     // Failed: nothing stands at the path
};

// Reads the regular file at `path` (at most `limit` bytes) into `data`, as described above.
// `data` is changed only when the result is Read.
Outcome ReadRegularFile(const std::string& path, std::uintmax_t limit, Links links,
                        std::string& data);

}  // namespace filereader
