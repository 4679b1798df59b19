#pragma once
// CLibrarySightings: the engine's sightings (engine/ProgramSightings.h) recorded into a program
// library. Unit sightings without a link description get the one set here. When the library could
// not be opened, every sighting fails with the reason it gave, so that Delete asks before going
// on; other operations go on without the library.
//
// Called on the thread that runs the engine.

#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "engine/ProgramSightings.h"
#include "library/ProgramLibrary.h"

namespace library {

class CLibrarySightings : public IProgramSightings {
public:
    // `library` may be closed; `openError` then says why, in a few words (OpenReason).
    explicit CLibrarySightings(CProgramLibrary& library, std::string openError = {})
        : m_library(library), m_openError(std::move(openError)) {}

    bool ProgramSeen(const std::string& text, const std::string& name, How how,
                     const Where& where, std::string& error) override;
    void ProgramInfoSeen(const std::string& info, const Where& where) override;
    bool KeepsDeletedPrograms() const override { return m_bKeepDeleted; }
    bool KeepsTextsBeyondThisRun() const override { return !m_bForThisRunOnly; }
    // The library is removed when the run ends (the demo unit's own).
    void SetForThisRunOnly(bool only) { m_bForThisRunOnly = only; }

    // May be called from any thread.
    void SetKeepsDeletedPrograms(bool keep) { m_bKeepDeleted = keep; }
    // The connection in words, as the whole-unit backup's manifest gives it.
    void SetLink(std::string link) { m_link = std::move(link); }
    // Called once, with the reason in a few words, the first time a sighting cannot be recorded
    // (on the thread that runs the engine): the front end tells the user once, when the library
    // is first needed, not on every command.
    void SetFailureReporter(std::function<void(const std::string& reason)> reporter) {
        m_reporter = std::move(reporter);
    }
    // The reason the last sighting could not be recorded (empty: all were).
    const std::string& LastError() const { return m_lastError; }
    int Failures() const { return m_nFailures; }

private:
    CProgramLibrary& m_library;
    std::string m_openError;
    std::string m_link;
    std::string m_lastError;
    int m_nFailures = 0;
    std::function<void(const std::string&)> m_reporter;
    // The info texts the unit gave, by bank and program, for texts seen there later.
    std::map<std::pair<int, int>, std::string> m_info;
    std::atomic<bool> m_bForThisRunOnly{false};
    std::atomic<bool> m_bKeepDeleted{true};  // set on the GUI thread, read by the engine's
};

// The settings value that turns keeping deleted programs off: "Options", "LibraryKeepsDeleted",
// 1 (the default) or 0.
inline constexpr const char* kKeepDeletedSetting = "LibraryKeepsDeleted";

}  // namespace library
