#include "engine/RotatingLogFile.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The path is UTF-8 on every system (on Windows a plain std::string would be read in the
// system's code page).
fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

CRotatingLogFile::CRotatingLogFile(std::string path, std::uintmax_t maxBytes, int keep)
    : m_strPath(std::move(path)), m_nMaxBytes(maxBytes > 0 ? maxBytes : 1), m_nKeep(keep) {
    std::error_code error;
    const fs::path parent = PathOf(m_strPath).parent_path();
    if (!parent.empty()) fs::create_directories(parent, error);
    m_nSize = fs::file_size(PathOf(m_strPath), error);
    if (error) m_nSize = 0;
    m_file.open(PathOf(m_strPath), std::ios::binary | std::ios::app);
}

void CRotatingLogFile::Write(const std::string& line) {
    std::lock_guard lock(m_mutex);
    if (!m_file.is_open()) return;
    const std::uintmax_t adding = line.size() + 1;
    if (m_nSize > 0 && m_nSize + adding > m_nMaxBytes) Rotate();
    if (!m_file.is_open()) return;
    // A single line longer than the bound is cut: the bound holds whatever is written.
    if (adding > m_nMaxBytes) {
        m_file.write(line.data(), static_cast<std::streamsize>(m_nMaxBytes - 1));
    } else {
        m_file.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    m_file.put('\n');
    m_file.flush();
    m_nSize += adding > m_nMaxBytes ? m_nMaxBytes : adding;
}

void CRotatingLogFile::Rotate() {
    m_file.close();
    std::error_code error;
    const auto numbered = [this](int n) { return PathOf(m_strPath + "." + std::to_string(n)); };
    if (m_nKeep <= 0) {
        fs::remove(PathOf(m_strPath), error);
    } else {
        fs::remove(numbered(m_nKeep), error);
        for (int n = m_nKeep - 1; n >= 1; --n) fs::rename(numbered(n), numbered(n + 1), error);
        fs::rename(PathOf(m_strPath), numbered(1), error);
    }
    m_file.open(PathOf(m_strPath), std::ios::binary | std::ios::trunc);
    m_nSize = 0;
}
