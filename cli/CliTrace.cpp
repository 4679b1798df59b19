#include "cli/CliTrace.h"

#include <cerrno>
#include <cstring>

#include "link/LinkTap.h"
#include "settings/LogFileLocation.h"

bool CCliTrace::Start(const std::string& tracePath, bool verbose, std::string& error) {
    if (!tracePath.empty()) {
        if (tracePath == "-") {
            m_pTraceFile = stderr;
        } else {
            m_pTraceFile = std::fopen(tracePath.c_str(), "w");
            if (m_pTraceFile == nullptr) {
                error = "cannot write the trace file " + tracePath + ": " + std::strerror(errno);
                return false;
            }
            m_bOwnsTraceFile = true;
        }
        std::FILE* file = m_pTraceFile;
        m_pTraceWriter = std::make_unique<CTraceWriter>(
            [file](const std::string& line) {
                std::fwrite(line.data(), 1, line.size(), file);
                std::fputc('\n', file);
            },
            m_start);
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

CCliTrace::~CCliTrace() {
    if (m_pTraceWriter) CLinkTap::Shared()->RemoveObserver(m_pTraceWriter.get());
    if (m_pLogWriter) CLinkTap::Shared()->RemoveObserver(m_pLogWriter.get());
    if (m_pTraceFile != nullptr) {
        if (m_bOwnsTraceFile) {
            std::fclose(m_pTraceFile);
        } else {
            std::fflush(m_pTraceFile);
        }
    }
}
