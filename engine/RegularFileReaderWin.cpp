// RegularFileReader.h on Windows: the attributes first (a folder, or with Links::Refuse a
// reparse point, is refused unopened), then CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT where
// links are refused, so that the link itself is opened and refused rather than followed;
// GetFileType must say FILE_TYPE_DISK (NUL, COM1 and pipes are not files) and the handle's
// information must not be a folder or a reparse point; reads are capped at limit + 1 bytes.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/RegularFileReader.h"
#include "settings/WinText.h"

namespace filereader {
namespace {

Outcome SystemError(DWORD error) {
    Outcome outcome;
    outcome.result = Result::Failed;
    outcome.missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    // A missing file is named in the words the other platforms use (and this program used
    // before it read files itself), so that scripts and messages do not differ by platform.
    outcome.error =
        outcome.missing ? std::string(std::strerror(ENOENT)) : wintext::SystemText(error);
    return outcome;
}

Outcome Refused(std::string why) {
    Outcome outcome;
    outcome.result = Result::NotRegular;
    outcome.error = std::move(why);
    return outcome;
}

Outcome TooLarge(std::uintmax_t size, std::uintmax_t limit) {
    Outcome outcome;
    outcome.result = Result::TooLarge;
    outcome.size = size;
    outcome.error = "it is larger than " + std::to_string(limit) + " bytes (" +
                    std::to_string(size) + " bytes)";
    return outcome;
}

// Why a file with `attributes` is not read; empty when it may be.
std::string AttributeRefusal(DWORD attributes, Links links) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a folder";
    if (links == Links::Refuse && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return "it is a symbolic link, which is not followed here";
    if (attributes & FILE_ATTRIBUTE_DEVICE) return "it is a device, not a regular file";
    return {};
}

struct CHandle {
    HANDLE h;
    ~CHandle() {
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
};

}  // namespace

Outcome ReadRegularFile(const std::string& path, std::uintmax_t limit, Links links,
                        std::string& data) {
    const std::wstring wide = wintext::Wide(path);
    WIN32_FILE_ATTRIBUTE_DATA look{};
    if (::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &look)) {
        if (std::string why = AttributeRefusal(look.dwFileAttributes, links); !why.empty())
            return Refused(why);
    }
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    if (links == Links::Refuse) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
    CHandle file{::CreateFileW(wide.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, flags, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) return SystemError(::GetLastError());
    if (::GetFileType(file.h) != FILE_TYPE_DISK)
        return Refused("it is a device or a pipe, not a regular file");
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.h, &info)) return SystemError(::GetLastError());
    if (std::string why = AttributeRefusal(info.dwFileAttributes, links); !why.empty())
        return Refused(why);
    const std::uintmax_t size =
        (static_cast<std::uintmax_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > limit) return TooLarge(size, limit);

    std::string text(static_cast<std::size_t>(std::min(size, limit) + 1), '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (got > limit) break;
            text.resize(static_cast<std::size_t>(
                std::min<std::uintmax_t>(static_cast<std::uintmax_t>(got) * 2 + 4096, limit + 1)));
        }
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(text.size() - got, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(file.h, text.data() + got, want, &n, nullptr))
            return SystemError(::GetLastError());
        if (n == 0) break;
        got += n;
    }
    if (got > limit) return TooLarge(got, limit);
    text.resize(got);
    data = std::move(text);
    Outcome outcome;
    outcome.result = Result::Read;
    return outcome;
}

}  // namespace filereader
