// CliLibraryCommands.h in a build without the library layer (the Windows build without Qt): the
// library commands say that they need the desktop build, and the unit commands record nothing.
#include "cli/CliLibraryCommands.h"

struct CCliLibraryFeed::Parts {};

int RunLibraryCommand(const CliOptions& o, std::ostream&, IHost& host) {
    const char* command = o.command == CliOptions::Command::Import ? "import" : "library";
    host.ShowMessage(std::string("quorlin-cli: ") + command +
                     " needs the desktop build of Quorlin (Linux); this build keeps no program "
                     "library.");
    return 2;
}

CCliLibraryFeed::CCliLibraryFeed(CLibrarian&, IHost&, const std::string&, bool, bool) {}

CCliLibraryFeed::~CCliLibraryFeed() = default;
