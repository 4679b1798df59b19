// RegularFileReader.h on POSIX: lstat/stat first, then open with O_NONBLOCK (and O_NOFOLLOW
// where links are refused), fstat, and reads capped at limit + 1 bytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/RegularFileReader.h"

namespace filereader {
namespace {

// Why a file of mode `mode` is not read; empty for a regular file.
std::string KindRefusal(mode_t mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return "it is a folder";
    if (S_ISLNK(mode)) return "it is a symbolic link, which is not followed here";
    if (S_ISFIFO(mode)) return "it is a fifo, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    return "it is not a regular file";
}

Outcome SystemError(int error) {
    Outcome outcome;
    outcome.result = Result::Failed;
    outcome.error = std::strerror(error);
    outcome.missing = error == ENOENT;
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

class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

Outcome ReadRegularFile(const std::string& path, std::uintmax_t limit, Links links,
                        std::string& data) {
    // Look first: a fifo or a device is never opened.
    struct stat before {};
    const int looked =
        links == Links::Refuse ? ::lstat(path.c_str(), &before) : ::stat(path.c_str(), &before);
    if (looked != 0) return SystemError(errno);
    if (std::string why = KindRefusal(before.st_mode); !why.empty()) return Refused(why);
    if (static_cast<std::uintmax_t>(before.st_size) > limit)
        return TooLarge(static_cast<std::uintmax_t>(before.st_size), limit);

    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (links == Links::Refuse) flags |= O_NOFOLLOW;
    CFileDescriptor file(::open(path.c_str(), flags));
    if (file.Get() < 0) {
        // Something else took the name since it was looked at.
        if (errno == ELOOP && links == Links::Refuse)
            return Refused(KindRefusal(S_IFLNK));
        return SystemError(errno);
    }
    struct stat opened {};
    if (::fstat(file.Get(), &opened) != 0) return SystemError(errno);
    if (std::string why = KindRefusal(opened.st_mode); !why.empty()) return Refused(why);
    if (static_cast<std::uintmax_t>(opened.st_size) > limit)
        return TooLarge(static_cast<std::uintmax_t>(opened.st_size), limit);

    std::string text;
    text.resize(static_cast<std::size_t>(
        std::min<std::uintmax_t>(static_cast<std::uintmax_t>(opened.st_size), limit) + 1));
    std::size_t got = 0;
    for (;;) {
        if (got == text.size()) {
            if (got > limit) break;
            text.resize(static_cast<std::size_t>(
                std::min<std::uintmax_t>(static_cast<std::uintmax_t>(got) * 2 + 4096, limit + 1)));
        }
        const ssize_t n = ::read(file.Get(), text.data() + got, text.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return SystemError(errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got > limit) return TooLarge(got, limit);  // it grew since it was looked at
    text.resize(got);
    data = std::move(text);
    Outcome outcome;
    outcome.result = Result::Read;
    return outcome;
}

}  // namespace filereader
