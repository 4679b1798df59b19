#include "cli/CliTrace.h"

#include <fcntl.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

#include "archive/FileWriter.h"
#include "link/LinkTap.h"
#include "settings/LogFileLocation.h"

namespace {

// Opens the trace file for writing, never through a symbolic link where the system can tell.
std::FILE* OpenTraceFile(const std::string& path) {
#if defined(O_NOFOLLOW)
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, "w");
    if (file == nullptr) ::close(fd);
    return file;
#else
    return std::fopen(path.c_str(), "w");
#endif
}

}  // namespace

bool CCliTrace::Start(const std::string& tracePath, bool verbose, std::string& error) {
    if (!tracePath.empty()) {
        if (tracePath == "-") {
            m_pTraceFile = stderr;
            m_strTraceName = "standard error";
        } else {
            // What stands at the path is looked at first, as fetch does: a link, a folder and
            // the like are refused and left alone.
            std::string why;
            if (!filewriter::CheckWritable(tracePath, filewriter::Target::FileOrStream, why)) {
                error = "cannot write the trace file " + tracePath + ": " + why;
                return false;
            }
            m_pTraceFile = OpenTraceFile(tracePath);
            if (m_pTraceFile == nullptr) {
                error = "cannot write the trace file " + tracePath + ": " +
                        (errno == ELOOP ? std::string("it is a symbolic link; links are not followed")
                                        : std::string(std::strerror(errno)));
                return false;
            }
            m_bOwnsTraceFile = true;
            m_strTraceName = tracePath;
        }
        m_pTraceWriter = std::make_unique<CTraceWriter>(
            [this](const std::string& line) { WriteTraceLine(line); }, m_start);
        CLinkTap::Shared()->AddObserver(m_pTraceWriter.get());
    }
    if (verbose) {
        m_pLog = std::make_unique<CRotatingLogFile>(LogFilePath("quorlin-cli"));
        if (!m_pLog->Ok()) {
            // The run goes on without its log; saying so is all there is to do.
            std::fprintf(stderr, "quorlin-cli: cannot write the log file %s\n",
                         m_pLog->Path().c_str());
            m_pLog.reset();
        } else {
            std::fprintf(stderr, "quorlin-cli: logging to %s\n", m_pLog->Path().c_str());
            m_pLog->Write(CTraceWriter::Milliseconds(std::chrono::steady_clock::now(), m_start) +
                          "\t--\tquorlin-cli started");
            CRotatingLogFile* log = m_pLog.get();
            m_pLogWriter = std::make_unique<CTraceWriter>(
                [log](const std::string& line) { log->Write(line); }, m_start);
            CLinkTap::Shared()->AddObserver(m_pLogWriter.get());
        }
    }
    return true;
}

void CCliTrace::Message(const std::string& text) {
    if (!m_pLog) return;
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    }
    m_pLog->Write(CTraceWriter::Milliseconds(std::chrono::steady_clock::now(), m_start) +
                  "\t--\tmessage: " + line);
}

void CCliTrace::WriteTraceLine(const std::string& line) {
    if (m_bTraceFailed) return;
    errno = 0;
    if (std::fwrite(line.data(), 1, line.size(), m_pTraceFile) == line.size() &&
        std::fputc('\n', m_pTraceFile) != EOF && std::fflush(m_pTraceFile) == 0)
        return;
    const int error = errno != 0 ? errno : EIO;
    m_bTraceFailed = true;
    std::fprintf(stderr, "quorlin-cli: cannot write the trace file %s: %s\n",
                 m_strTraceName.c_str(), std::strerror(error));
}

bool CCliTrace::Finish() {
    if (m_pTraceWriter) CLinkTap::Shared()->RemoveObserver(m_pTraceWriter.get());
    if (m_pLogWriter) CLinkTap::Shared()->RemoveObserver(m_pLogWriter.get());
    m_pTraceWriter.reset();
    m_pLogWriter.reset();
    if (m_pTraceFile != nullptr) {
        const bool closed =
            m_bOwnsTraceFile ? std::fclose(m_pTraceFile) == 0 : std::fflush(m_pTraceFile) == 0;
        if (!closed && !m_bTraceFailed) {
            m_bTraceFailed = true;
            std::fprintf(stderr, "quorlin-cli: cannot write the trace file %s: %s\n",
                         m_strTraceName.c_str(), std::strerror(errno));
        }
        m_pTraceFile = nullptr;
    }
    return !m_bTraceFailed;
}

CCliTrace::~CCliTrace() {
    Finish();
}
