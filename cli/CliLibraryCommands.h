#pragma once
// The program library from the command line, without a unit (no settings are read, no port is
// opened). The library is the file DefaultLibraryPath gives ($QUORLIN_LIBRARY, else the
// application's data folder).
//
//   library search TEXT       one line per stored text whose name or info text contains TEXT
//                             (any letter case): "<12 hex digits>\t<name>\t<last known place>";
//                             exit 1 when none does
//   library show SHA          the text's name, size, info text and every sighting
//   library export SHA FILE   writes the text to FILE ("-": standard output)
//   library duplicates        one block per text seen in more than one place or under more than
//                             one name: "<12 hex digits>  <name>", then one line per sighting,
//                             indented by two blanks; blocks separated by an empty line
//   import PATH...            adds ".sig" files and folders (recursively; backup folders through
//                             their manifests); prints how many were added
//
// SHA is any unique prefix of at least 6 hexadecimal digits. Messages go to the host; exit status
// 0 done, 1 failed (the library cannot be opened, nothing found, a file not imported).
//
// Also here: the library that the unit commands feed (CCliLibraryFeed). A build without the
// library layer (Windows without Qt) says that these commands need the desktop build, and its
// feed records nothing.

#include <memory>
#include <ostream>
#include <string>

#include "cli/CliOptions.h"
#include "link/Host.h"

class CLibrarian;

// Checks the arguments of library / import (o.arguments); false with a one-line reason.
bool CheckLibraryArguments(const CliOptions& o, std::string& error);

int RunLibraryCommand(const CliOptions& o, std::ostream& out, IHost& host);

// The library a unit command feeds: opened at once; when it cannot be opened or written, the
// reason is told once, when the command first has a program to record, and the command goes on
// without it (a delete then asks, and the command-line tool answers No).
class CCliLibraryFeed {
public:
    // `keepDeleted`: fetch and keep a copy of a program before deleting it. `demoUnit`: the
    // engine talks to the demo unit, whose programs go to a library of this run's own, never the
    // user's (library/DemoLibraryPlace.h). The engine must not run operations after this object
    // is gone.
    CCliLibraryFeed(CLibrarian& engine, IHost& host, const std::string& link, bool keepDeleted,
                    bool demoUnit = false);
    ~CCliLibraryFeed();

private:
    // The open library and its sightings; none in a build without the library layer.
    struct Parts;
    std::unique_ptr<Parts> m_pParts;
};
