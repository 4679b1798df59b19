#pragma once
// Adding ".sig" files and backup folders to the program library without a unit
// (quorlin-cli import). A folder is walked recursively (symbolic links to folders are not
// followed); a folder holding a whole-unit backup's manifest is read through the manifest, so
// that each file is recorded with its bank, program and manifest entry; every other ".sig" file
// is recorded with its path. Files larger than the unit takes are skipped.
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
