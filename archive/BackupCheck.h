#pragma once
// Checks a backup folder against its manifest without the unit: every file the manifest lists
// must be there with its size and SHA-256, and every ".sig" file in the folder must be listed.
// An entry that points outside the folder (once symbolic links are resolved) is reported and
// never read. Files that all match do not make a backup whole: what the manifest records as not
// backed up (skipped, mismatched, changed, not read, cancelled) is given as its gaps.
//
// Qt Core through BackupManifest.h; no Qt Widgets. Any thread.

#include <string>
#include <vector>

namespace archive {

struct CheckFinding {
    enum class Kind { Missing, Changed, Unlisted, Outside };
    Kind kind;
    std::string file;  // relative to the folder, with "/"
};

struct CheckOutcome {
    bool manifestRead = false;
    std::string error;  // when the manifest could not be read: why
    int listed = 0;     // files the manifest lists
    std::vector<CheckFinding> findings;
    std::vector<std::string> gaps;  // GapLines of the manifest: empty for a complete backup
};

CheckOutcome CheckBackup(const std::string& folder);

// "missing FILE", "changed FILE", "unlisted FILE" or "outside FILE".
std::string FindingLine(const CheckFinding& finding);

}  // namespace archive
