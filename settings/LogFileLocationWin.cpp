// The log file's folder on Windows without Qt: the user's local application data folder, the
// place QStandardPaths names there, so that both builds of a program keep one log.
#include "settings/LogFileLocation.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace {

std::string Utf8(const wchar_t* wide) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.pop_back();  // the terminating NUL
    return text;
}

std::string LocalAppData() {
    PWSTR folder = nullptr;
    std::string path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder)))
        path = Utf8(folder);
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
