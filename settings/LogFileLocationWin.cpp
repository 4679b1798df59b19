// The log file's folder on Windows without Qt: the user's local application data folder, the
// place QStandardPaths names there, so that both builds of a program keep one log.
#include "settings/LogFileLocation.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "settings/WinText.h"

namespace {

std::string LocalAppData() {
    PWSTR folder = nullptr;
    std::string path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder)))
        path = wintext::Utf8(folder);
    ::CoTaskMemFree(folder);
    return path;
}

}  // namespace

std::string LogFilePath(const std::string& program) {
    std::string folder = LocalAppData();
    if (folder.empty()) folder = ".";
    // Forward slashes, as QStandardPaths gives them; Windows takes both.
    for (char& c : folder)
        if (c == '\\') c = '/';
    return folder + "/Brisca/Quorlin/log/" + program + ".log";
}
