// FileWriter.h on Windows: exclusive creation with CREATE_NEW (which fails on anything that
// stands at the name, a symbolic link or junction included), MoveFileEx over the target, and a
// fixed table of the run's temporary files guarded by one mutex. Texts are FormatMessage's.
// Only regular files and "-" are written: Windows programs have no fifos to write into, and a
// device name (NUL, COM1) is refused like any other kind of file.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <random>

#include "archive/FileWriter.h"
#include "settings/WinText.h"

namespace filewriter {
namespace {

using wintext::SystemText;
using wintext::Wide;

// The temporary files of the run. Plain arrays: the table needs no destructor, so the console
// handler can still use it while the program is being torn down.
constexpr int kSlots = 8;
constexpr std::size_t kPathMax = 32768;
struct Slot {
    bool used;
    wchar_t path[kPathMax];
};
Slot g_slots[kSlots];
std::mutex g_mutex;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) {
        // "C:name" is relative to the drive's current folder.
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) + "." : ".";
    }
    if (slash == 0) return path.substr(0, 1);
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, slash);
}

std::string RandomLetters(std::size_t count) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += kLetters[pick(generator)];
    return text;
}

bool WriteAll(HANDLE handle, const std::string& data, std::string& error) {
    std::size_t done = 0;
    while (done < data.size()) {
        const std::size_t chunk = std::min<std::size_t>(data.size() - done, 1u << 30);
        DWORD put = 0;
        if (!::WriteFile(handle, data.data() + done, static_cast<DWORD>(chunk), &put, nullptr)) {
            error = SystemText(::GetLastError());
            return false;
        }
        done += put;
    }
    return true;
}

enum class Kind { Nothing, Regular, Folder, Link, Other, Failed };

// What stands at `path`, not following a link. `error` holds the reason for Failed.
Kind Look(const std::string& path, DWORD& error) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
        error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Kind::Nothing
                                                                              : Kind::Failed;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Kind::Link;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Kind::Folder;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return Kind::Other;
    return Kind::Regular;
}

// A reason to refuse what stands at `path` (empty: a regular file), for a kind that exists.
std::string Refusal(Kind kind) {
    switch (kind) {
        case Kind::Link: return "it is a symbolic link; links are not followed";
        case Kind::Folder: return "it is a folder";
        case Kind::Regular: return {};
        default: return "it is not a regular file";
    }
}

// Refuses device names such as NUL or COM1, which open the device wherever they stand.
bool IsDeviceName(const std::string& path) {
    wchar_t full[MAX_PATH];
    const DWORD n = ::GetFullPathNameW(Wide(path).c_str(), MAX_PATH, full, nullptr);
    return n > 4 && std::wcsncmp(full, L"\\\\.\\", 4) == 0;
}

// Checks `path` before a regular file is written there: false with `error` set to the reason.
bool Admissible(const std::string& path, bool& exists, std::string& error) {
    if (IsDeviceName(path)) {
        error = "it is not a regular file";
        return false;
    }
    DWORD looked = 0;
    const Kind kind = Look(path, looked);
    if (kind == Kind::Failed) {
        error = SystemText(looked);
        return false;
    }
    exists = kind != Kind::Nothing;
    if (exists) error = Refusal(kind);
    return error.empty();
}

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

}  // namespace

bool CTemporaryFile::Create(const std::string& folder, std::string& error) {
    std::lock_guard lock(g_mutex);
    int slot = 0;
    while (slot < kSlots && g_slots[slot].used) ++slot;
    if (slot == kSlots) {
        error = "too many temporary files";
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = Wide(folder + "\\.quorlin-" + RandomLetters(10) + ".tmp");
        if (path.size() >= kPathMax) {
            error = SystemText(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        // Exclusive: fails on anything that stands there, a link included. Others may read it
        // but neither write nor remove it while it is being written.
        const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD failure = ::GetLastError();
            if (failure == ERROR_FILE_EXISTS || failure == ERROR_ALREADY_EXISTS) continue;
            error = SystemText(failure);
            return false;
        }
        const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            ::CloseHandle(handle);
            ::DeleteFileW(path.c_str());
            error = SystemText(ERROR_TOO_MANY_OPEN_FILES);
            return false;
        }
        std::wmemcpy(g_slots[slot].path, path.c_str(), path.size() + 1);
        g_slots[slot].used = true;
        m_nSlot = slot;
        m_nFd = fd;
        return true;
    }
    error = "no free temporary name";
    return false;
}

bool CTemporaryFile::Finish(std::string& error) {
    const bool flushed = ::FlushFileBuffers(HandleOf(m_nFd)) != 0;
    const DWORD flushError = ::GetLastError();
    const bool closed = ::_close(m_nFd) == 0;
    m_nFd = -1;
    if (!flushed) {
        error = SystemText(flushError);
        return false;
    }
    if (!closed) {
        error = SystemText(ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

bool CTemporaryFile::Commit(const std::string& target, std::string& error) {
    std::lock_guard lock(g_mutex);
    if (m_nSlot < 0) {
        error = SystemText(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!::MoveFileExW(g_slots[m_nSlot].path, Wide(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = SystemText(::GetLastError());
        return false;
    }
    g_slots[m_nSlot].used = false;
    m_nSlot = -1;
    return true;
}

void CTemporaryFile::Discard() {
    if (m_nFd >= 0) ::_close(m_nFd);
    m_nFd = -1;
    if (m_nSlot < 0) return;
    std::lock_guard lock(g_mutex);
    if (g_slots[m_nSlot].used) ::DeleteFileW(g_slots[m_nSlot].path);
    g_slots[m_nSlot].used = false;
    m_nSlot = -1;
}

bool CTemporaryFile::Write(const std::string& data, std::string& error) {
    return WriteAll(HandleOf(m_nFd), data, error);
}

bool WriteFileWhole(const std::string& path, const std::string& data, Target target,
                    std::string& error, FileId* written) {
    if (target == Target::FileOrStream && path == "-") {
        std::fflush(stdout);
        return WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), data, error);
    }
    bool exists = false;
    if (!Admissible(path, exists, error)) return false;

    CTemporaryFile temporary;
    if (!temporary.Create(FolderOf(path), error)) return false;
    BY_HANDLE_FILE_INFORMATION made{};
    if (!WriteAll(HandleOf(temporary.Fd()), data, error) ||
        !::GetFileInformationByHandle(HandleOf(temporary.Fd()), &made) ||
        !temporary.Finish(error) || !temporary.Commit(path, error)) {
        if (error.empty()) error = SystemText(::GetLastError());
        temporary.Discard();
        return false;
    }
    if (written != nullptr) {
        *written = {made.dwVolumeSerialNumber,
                    (std::uint64_t{made.nFileIndexHigh} << 32) | made.nFileIndexLow};
    }
    return true;
}

bool CheckFolderWritable(const std::string& folder, std::string& error) {
    CTemporaryFile probe;
    return probe.Create(folder, error);
}

bool CheckWritable(const std::string& path, Target target, std::string& error) {
    if (target == Target::FileOrStream && path == "-") return true;
    bool exists = false;
    if (!Admissible(path, exists, error)) return false;
    return CheckFolderWritable(FolderOf(path), error);
}

bool IdentifyFile(const std::string& path, FileId& id) {
    const HANDLE handle = ::CreateFileW(
        Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    if (ok) {
        id = {info.dwVolumeSerialNumber,
              (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    }
    return ok;
}

void RemoveTemporaryFiles() {
    // Taken for good: the program ends right after, and no new temporary file may appear.
    g_mutex.lock();
    for (auto& slot : g_slots) {
        if (slot.used) ::DeleteFileW(slot.path);
        slot.used = false;
    }
}

int TemporaryFileCount() {
    std::lock_guard lock(g_mutex);
    int count = 0;
    for (const auto& slot : g_slots) count += slot.used ? 1 : 0;
    return count;
}

}  // namespace filewriter
