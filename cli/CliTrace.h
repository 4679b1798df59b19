#pragma once
// What quorlin-cli records of a run besides its output: with --trace FILE, every frame to and
// from the unit as a line of TraceWriter.h in FILE ("-": stderr); with --verbose (or the saved
// "VerboseLog" option), those lines and every message shown, in the log file
// (LogFileLocation.h), whose path is named on stderr at the start.
//
// Both observe the shared traffic tap (LinkTap.h) from Start until destruction, which delivers
// every frame still queued before it closes the files. The times count from `start`, the
// program's start.
//
// Threads: Start, Message and destruction on the main thread; the lines are written on the tap's
// delivery thread.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/RotatingLogFile.h"
#include "engine/TraceWriter.h"

struct CliOptions;

class CCliTrace {
public:
    explicit CCliTrace(std::chrono::steady_clock::time_point start) : m_start(start) {}
    ~CCliTrace();
    CCliTrace(const CCliTrace&) = delete;
    CCliTrace& operator=(const CCliTrace&) = delete;

    // False, with the reason in `error`, when the trace file cannot be written.
    bool Start(const std::string& tracePath, bool verbose, std::string& error);
    // A message the program showed: into the log file, when one is kept.
    void Message(const std::string& text);

private:
    std::chrono::steady_clock::time_point m_start;
    std::FILE* m_pTraceFile = nullptr;
    bool m_bOwnsTraceFile = false;
    std::unique_ptr<CRotatingLogFile> m_pLog;
    std::unique_ptr<CTraceWriter> m_pTraceWriter;
    std::unique_ptr<CTraceWriter> m_pLogWriter;
};
