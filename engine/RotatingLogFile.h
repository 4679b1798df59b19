#pragma once
// A log file that never grows beyond a bound: lines are appended to PATH; when it would pass
// `maxBytes`, PATH becomes PATH.1 (PATH.1 becomes PATH.2, and so on up to `keep` old files, the
// oldest dropped) and a new PATH begins. At most (keep + 1) * maxBytes bytes on disk.
//
// Threads: Write may be called from any thread; lines are written whole, one at a time, and
// flushed at once, so a crash loses nothing written before it.

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>

class CRotatingLogFile {
public:
    static constexpr std::uintmax_t kDefaultMaxBytes = std::uintmax_t{1} << 20;
    static constexpr int kDefaultKeep = 2;

    // Creates the folder if needed and opens PATH for appending. Ok() tells whether it opened.
    explicit CRotatingLogFile(std::string path, std::uintmax_t maxBytes = kDefaultMaxBytes,
                              int keep = kDefaultKeep);

    bool Ok() const { return m_file.is_open(); }
    const std::string& Path() const { return m_strPath; }
    // Appends `line` and a line end.
    void Write(const std::string& line);

private:
    void Rotate();

    std::string m_strPath;
    std::uintmax_t m_nMaxBytes;
    int m_nKeep;
    std::mutex m_mutex;
    std::ofstream m_file;
    std::uintmax_t m_nSize = 0;
};
