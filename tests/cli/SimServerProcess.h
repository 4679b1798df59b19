#pragma once
// quorlin-sim (QUORLIN_SIM_PATH) as a child process serving the simulated unit on a
// pseudo-terminal: Path() is the terminal's slave side, read from the program's first output
// line. Ended by its PID when the object goes.

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

class CSimServerProcess {
public:
    // `collectStderr`: keep what the program writes to stderr (its log, with --verbose).
    explicit CSimServerProcess(std::vector<std::string> args, bool collectStderr = false)
        : m_process(QUORLIN_SIM_PATH, std::move(args), collectStderr),
          m_path(m_process.ReadLine()) {}

    // Empty when the program did not start.
    const std::string& Path() const { return m_path; }
    // What the program wrote to stderr so far (collectStderr only).
    std::string Stderr() { return m_process.StderrSince(0); }

private:
    CChildProcess m_process;
    std::string m_path;
};
