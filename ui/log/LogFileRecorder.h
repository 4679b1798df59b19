#pragma once
// The desktop program's log file for bug reports: while it runs, every frame to and from the
// unit (as a trace line, TraceWriter.h), every message the program shows and Qt's own warnings go
// to quorlin.log in the user's data folder (LogFileLocation.h), rotated so that it never takes
// more than a few MB. Each line begins with the local date and time it was written
// ("2026-03-14 15:09:26.535", a tab), then the trace line, whose first field is the
// milliseconds since the program started; a message's line has "--" for the direction. It runs
// when the program is started with --verbose or when the "VerboseLog" option is on
// (Options ▸ Keep a Log File); the About box names the file.
//
// Threads: Start, Stop and the toggle on the GUI thread; Message and the Qt message handler from
// any thread.

#include <QString>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "link/Host.h"

class QAction;
class QObject;
class CRotatingLogFile;
class CTraceWriter;

class CLogFileRecorder {
public:
    static CLogFileRecorder& Instance();

    // The time the lines count from (the program's start); set before Start.
    void SetStart(std::chrono::steady_clock::time_point start) { m_start = start; }
    // Opens the file and begins recording; false when the file cannot be written.
    bool Start();
    void Stop();
    bool Running() const;
    // The file's path, whether it runs or not.
    static QString Path();
    // Whether the saved option asks for the log file.
    static bool Wanted();

    // A message the program showed.
    void Message(const std::string& text);

    // Options ▸ Keep a Log File: checked while recording; toggling it records the option and
    // starts or stops the recording.
    static QAction* CreateToggle(QObject* parent);

private:
    CLogFileRecorder() = default;
    void Write(const std::string& kind, const std::string& text);

    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    mutable std::mutex m_mutex;
    std::shared_ptr<CRotatingLogFile> m_pFile;
    std::unique_ptr<CTraceWriter> m_pWriter;
};

// A host that writes every message it is asked to show into the log file, then lets `inner`
// show it.
class CMessageLoggingHost : public IHost {
public:
    explicit CMessageLoggingHost(IHost& inner) : m_inner(inner) {}
    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override {
        CLogFileRecorder::Instance().Message(text);
        m_inner.ShowMessage(text, caption, icon);
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        CLogFileRecorder::Instance().Message(text);
        return m_inner.AskYesNo(text, caption);
    }
    void BeginWaitCursor() override { m_inner.BeginWaitCursor(); }
    void EndWaitCursor() override { m_inner.EndWaitCursor(); }
    void Pause(int ms) override { m_inner.Pause(ms); }

private:
    IHost& m_inner;
};
