// CliArchiveCommands.h in a build without the archive layer (the Windows build without Qt): the
// whole-unit commands say that they need the desktop build, and touch neither the unit nor a file.
#include "cli/CliArchiveCommands.h"

namespace {

int NeedsDesktopBuild(const char* command, IHost& host) {
    host.ShowMessage(std::string("quorlin-cli: ") + command +
                     " needs the desktop build of Quorlin (Linux); this build has the unit's own "
                     "commands: banks, programs, info, load, backup, fetch, delete, delete-bank, "
                     "name-bank, find, doctor.");
    return 2;
}

}  // namespace

int RunVerify(const std::string&, std::ostream&, IHost& host) {
    return NeedsDesktopBuild("verify", host);
}

int CCliArchiveCommands::BackupUnit(const std::string&, const std::string&) {
    return NeedsDesktopBuild("backup-unit", m_host);
}

int CCliArchiveCommands::Restore(const std::string&, const std::vector<int>&, bool) {
    return NeedsDesktopBuild("restore", m_host);
}

std::string CCliArchiveCommands::LinkDescription(CLibrarian&, bool demo) {
    return demo ? "demo unit" : "";
}
