#pragma once
// Adding ".sig" files and backup folders to the program library without a unit
// (quorlin-cli import). A folder is walked recursively (symbolic links to folders are not
// followed); a folder holding a whole-unit backup's manifest is read through the manifest, so
// that each file is recorded with its bank, program and manifest entry; every other ".sig" file
// is recorded with its path. Only regular files are read: a ".sig" that is a symbolic link is
// refused wherever it points (so a link cannot bring a file from elsewhere into the library), and
// a fifo or a device is refused without being opened for reading; files larger than the unit
// takes are skipped. A file reported as not imported is never stored.
//
// Called on one thread; messages (one line each: a file skipped and why) go to `onMessage`.

#include <functional>
#include <string>
#include <vector>

#include "library/ProgramLibrary.h"

namespace library {

struct ImportResult {
    int files = 0;     // texts recorded
    int newTexts = 0;  // of which the library did not hold before
    int failed = 0;    // files that could not be read or recorded
};

ImportResult ImportPaths(CProgramLibrary& library, const std::vector<std::string>& paths,
                         const std::function<void(const std::string&)>& onMessage);

}  // namespace library
