#pragma once
// Where the programs keep their log file (--verbose, or the "VerboseLog" option): the file
// PROGRAM.log in the folder "Brisca/Quorlin/log" of the user's data folder (on Linux
// $XDG_DATA_HOME, by default ~/.local/share; on Windows the local application data folder; on
// macOS Application Support).
//
// Callable from any thread.

#include <string>

// The option in the "Options" group that keeps the log file on (1) without --verbose.
inline constexpr const char* kVerboseLogValue = "VerboseLog";

std::string LogFilePath(const std::string& program);
