#pragma once
// File names made from a program's name, for backups and for dragging a program out.
//
// SafeFileName: characters that are path separators or that common file systems refuse
// (/ \ : * ? " < > | and the control characters) become "_"; an empty name becomes "_", and a
// leading "." becomes "_" (so no name is ".", "..", or hidden). Every other byte stays, so a
// name of letters, digits and blanks is unchanged. The extension is not added.
//
// Names are UTF-8 (the engine's names are: UnitText.h), and so are the file names made from them.
//
// CBackupNamer: the ".sig" file names of one backup run. Each name is the safe name, shortened
// (never inside a character) so that the whole file name, with its extension and any collision
// suffix, fits the file system's limit; a name already given in this run (letter case ignored, since some file
// systems ignore it) gets " (2)", " (3)", … before the extension. Callers ask in program-number
// order, so the first program keeps the plain name.
//
// Pure functions and a plain value class, callable from any thread.

#include <cstddef>
#include <set>
#include <string>

std::string SafeFileName(const std::string& programName);

class CBackupNamer {
public:
    // File names are limited to this many bytes of UTF-8.
    static constexpr std::size_t kMaxFileNameBytes = 255;

    // The next file name for `programName`, "<safe name>.sig" or "<safe name> (n).sig".
    std::string Next(const std::string& programName);
    // Forgets the names given so far (a new run).
    void Reset() { m_given.clear(); }

private:
    std::set<std::string> m_given;  // the names given, folded to lower case
};
