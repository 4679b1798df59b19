#pragma once
// What quorlin-cli records of a run besides its output: with --trace FILE, every frame to and
// from the unit as a line of TraceWriter.h in FILE ("-": stderr); with --verbose (or the saved
// "VerboseLog" option), those lines and every message shown, in the log file
// (LogFileLocation.h), whose path is named on stderr at the start.
//
// Both observe the shared traffic tap (LinkTap.h) from Start until Finish (or destruction), which
// delivers every frame still queued before it closes the files. The times count from `start`, the
// program's start.
//
// The trace file is refused when it is a symbolic link (as fetch refuses one), a folder or
// anything else fetch would not write. Each line is flushed to the file as its frame is
// delivered, so a run ended by a signal loses no line written before. A write that fails is said
// on stderr once, when it happens ("quorlin-cli: cannot write the trace file PATH: REASON"), no
// further line is tried, and Finish returns false.
//
// Threads: Start, Message, Finish and destruction on the main thread; the lines are written on
// the tap's delivery thread.

#include <atomic>
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
    // Delivers what is queued, stops observing and closes the trace file. False when a line of
    // the trace could not be written. Later calls do nothing and return the same.
    bool Finish();

private:
    // Delivery thread: one line of the trace, flushed.
    void WriteTraceLine(const std::string& line);

    std::chrono::steady_clock::time_point m_start;
    std::string m_strTraceName;  // the trace file's path, or "standard error"
    std::atomic<bool> m_bTraceFailed{false};
    std::FILE* m_pTraceFile = nullptr;
    bool m_bOwnsTraceFile = false;
    std::unique_ptr<CRotatingLogFile> m_pLog;
    std::unique_ptr<CTraceWriter> m_pTraceWriter;
    std::unique_ptr<CTraceWriter> m_pLogWriter;
};
