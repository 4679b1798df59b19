#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "link/serial/ISerialPort.h"
#include "link/serial/PortDiagnosis.h"

namespace serial {

namespace {

std::string SystemText(int errorNumber) {
    return std::system_category().message(errorNumber);
}

std::string KindOf(mode_t mode) {
    if (S_ISREG(mode)) return "a regular file";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISBLK(mode)) return "a block device";
    return "something else";
}

std::string GroupName(gid_t gid) {
    if (const group* g = ::getgrgid(gid)) return g->gr_name;
    return std::to_string(gid);
}

std::string UserName() {
    if (const passwd* p = ::getpwuid(::getuid())) return p->pw_name;
    return "your user";
}

// "name (process N)" for every other process that has the device `device` open. Linux lists
// each process's open files under /proc; elsewhere nothing is found.
std::vector<std::string> Holders([[maybe_unused]] dev_t device) {
    std::vector<std::string> holders;
#if defined(__linux__)
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string self = std::to_string(::getpid());
    for (fs::directory_iterator proc("/proc", ec), end; !ec && proc != end; proc.increment(ec)) {
        const std::string pid = proc->path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos ||
            pid == self)
            continue;
        std::error_code fdError;
        bool holds = false;
        for (fs::directory_iterator fd(proc->path() / "fd", fdError), fdEnd;
             !fdError && fd != fdEnd && !holds; fd.increment(fdError)) {
            struct stat info {};
            holds = ::stat(fd->path().c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
                    info.st_rdev == device;
        }
        if (!holds) continue;
        std::string name;
        std::getline(std::ifstream(proc->path() / "comm"), name);
        holders.push_back((name.empty() ? std::string("a program") : name) + " (process " + pid +
                          ")");
    }
#endif
    return holders;
}

}  // namespace

std::string PortPathProblem(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return SystemText(errno);
    if (!S_ISCHR(info.st_mode)) return KindOf(info.st_mode) + ", not a terminal device";
    return {};
}

std::string ExplainOpenFailure(const std::string& path, const std::string& whyNot) {
    struct stat info {};
    const bool known = ::stat(path.c_str(), &info) == 0;
    if (whyNot == ISerialPort::kHeldByAnother) {
        const auto holders = known ? Holders(info.st_rdev) : std::vector<std::string>{};
        if (holders.empty()) return "another program holds the port";
        std::string text = "another program holds the port: ";
        for (std::size_t i = 0; i < holders.size(); ++i) text += (i ? ", " : "") + holders[i];
        return text;
    }
    if (whyNot == SystemText(EACCES) || whyNot == SystemText(EPERM)) {
        if (!known) return whyNot;
        const std::string group = GroupName(info.st_gid);
        if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
            // Joining the group would not help: only the owner may use the device.
            const passwd* owner = ::getpwuid(info.st_uid);
            return whyNot + ": only the port's owner, " +
                   (owner ? std::string(owner->pw_name) : std::to_string(info.st_uid)) +
                   ", may use it; have it given to a group that may (such as dialout) and "
                   "add " + UserName() + " to that group";
        }
        return whyNot + ": the port belongs to group " + group + "; add " + UserName() +
               " to that group (sudo usermod -aG " + group + " " + UserName() +
               ") and log in again";
    }
    return whyNot;
}

}  // namespace serial
