// FileWriter.h on POSIX systems: exclusive creation with O_CREAT | O_EXCL | O_NOFOLLOW, rename(2)
// over the target, and a fixed table of the run's temporary files guarded by one mutex.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <system_error>

#include "archive/FileWriter.h"

namespace filewriter {
namespace {

std::string SystemText(int error) {
    return std::system_category().message(error);
}

// The temporary files of the run. Plain arrays: the table needs no destructor, so the signal
// thread can still use it while the program is being torn down.
constexpr int kSlots = 8;
struct Slot {
    bool used;
    char path[PATH_MAX];
};
Slot g_slots[kSlots];
std::mutex g_mutex;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string RandomLetters(std::size_t count) {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += kLetters[pick(generator)];
    return text;
}

bool WriteAll(int fd, const std::string& data, std::string& error) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = SystemText(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes a fifo or a character device as it is.
bool WriteInPlace(const std::string& path, const std::string& data, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error =
            errno == ELOOP ? "it is a symbolic link; links are not followed" : SystemText(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode));
    if (!ok) error = "it is not a regular file";
    ok = ok && WriteAll(fd, data, error);
    if (::close(fd) != 0 && ok) {
        error = SystemText(errno);
        ok = false;
    }
    return ok;
}

// What stands at `path`: 0 and `st` filled, ENOENT for nothing, another errno on failure.
int Look(const std::string& path, struct stat& st) {
    return ::lstat(path.c_str(), &st) == 0 ? 0 : errno;
}

// A reason to refuse what stands at `path`, or nothing.
std::string Refusal(const struct stat& st, Target target) {
    if (S_ISLNK(st.st_mode)) return "it is a symbolic link; links are not followed";
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    if (S_ISREG(st.st_mode)) return {};
    if (target == Target::FileOrStream && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) return {};
    return "it is not a regular file";
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
        const std::string path = folder + "/.quorlin-" + RandomLetters(10) + ".tmp";
        if (path.size() >= PATH_MAX) {
            error = SystemText(ENAMETOOLONG);
            return false;
        }
        // Exclusive: fails on anything that stands there, a symbolic link included.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error = SystemText(errno);
            return false;
        }
        std::memcpy(g_slots[slot].path, path.c_str(), path.size() + 1);
        g_slots[slot].used = true;
        m_nSlot = slot;
        m_nFd = fd;
        return true;
    }
    error = "no free temporary name";
    return false;
}

bool CTemporaryFile::Finish(std::string& error) {
    int result = ::fsync(m_nFd);
    if (result != 0 && errno == EINVAL) result = 0;  // a file system without fsync
    const int fsyncError = errno;
    const int closed = ::close(m_nFd);
    const int closeError = errno;
    m_nFd = -1;
    if (result != 0) {
        error = SystemText(fsyncError);
        return false;
    }
    if (closed != 0) {
        error = SystemText(closeError);
        return false;
    }
    return true;
}

bool CTemporaryFile::Commit(const std::string& target, std::string& error) {
    std::lock_guard lock(g_mutex);
    if (m_nSlot < 0 || ::rename(g_slots[m_nSlot].path, target.c_str()) != 0) {
        error = SystemText(m_nSlot < 0 ? ENOENT : errno);
        return false;
    }
    g_slots[m_nSlot].used = false;
    m_nSlot = -1;
    return true;
}

void CTemporaryFile::Discard() {
    if (m_nFd >= 0) ::close(m_nFd);
    m_nFd = -1;
    if (m_nSlot < 0) return;
    std::lock_guard lock(g_mutex);
    if (g_slots[m_nSlot].used) ::unlink(g_slots[m_nSlot].path);
    g_slots[m_nSlot].used = false;
    m_nSlot = -1;
}

bool CTemporaryFile::Write(const std::string& data, std::string& error) {
    return WriteAll(m_nFd, data, error);
}

bool WriteFileWhole(const std::string& path, const std::string& data, Target target,
                    std::string& error, FileId* written) {
    if (target == Target::FileOrStream && path == "-") {
        std::fflush(stdout);
        return WriteAll(STDOUT_FILENO, data, error);
    }
    struct stat st {};
    const int looked = Look(path, st);
    if (looked != 0 && looked != ENOENT) {
        error = SystemText(looked);
        return false;
    }
    const bool exists = looked == 0;
    if (exists) {
        error = Refusal(st, target);
        if (!error.empty()) return false;
        if (!S_ISREG(st.st_mode)) return WriteInPlace(path, data, error);
    }

    CTemporaryFile temporary;
    if (!temporary.Create(FolderOf(path), error)) return false;
    // A replaced file keeps its permissions.
    if (exists) (void)::fchmod(temporary.Fd(), st.st_mode & 07777);
    struct stat made {};
    if (!WriteAll(temporary.Fd(), data, error) || ::fstat(temporary.Fd(), &made) != 0 ||
        !temporary.Finish(error) || !temporary.Commit(path, error)) {
        if (error.empty()) error = SystemText(errno);
        temporary.Discard();
        return false;
    }
    if (written != nullptr) *written = {made.st_dev, made.st_ino};
    return true;
}

bool CheckFolderWritable(const std::string& folder, std::string& error) {
    CTemporaryFile probe;
    return probe.Create(folder, error);
}

bool CheckWritable(const std::string& path, Target target, std::string& error) {
    if (target == Target::FileOrStream && path == "-") return true;
    struct stat st {};
    const int looked = Look(path, st);
    if (looked != 0 && looked != ENOENT) {
        error = SystemText(looked);
        return false;
    }
    if (looked == 0) {
        error = Refusal(st, target);
        if (!error.empty()) return false;
        if (!S_ISREG(st.st_mode)) {
            if (::access(path.c_str(), W_OK) == 0) return true;
            error = SystemText(errno);
            return false;
        }
    }
    return CheckFolderWritable(FolderOf(path), error);
}

bool IdentifyFile(const std::string& path, FileId& id) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

void RemoveTemporaryFiles() {
    // Taken for good: the program ends right after, and no new temporary file may appear.
    g_mutex.lock();
    for (auto& slot : g_slots) {
        if (slot.used) ::unlink(slot.path);
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
