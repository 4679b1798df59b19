#pragma once
// A private temporary folder for one test: a config home for quorlin-cli (its saved settings are
// the file Brisca/Quorlin.conf below it) and room for patch files and backups. Removed with
// everything in it when the object goes.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

class CCliSandbox {
public:
    CCliSandbox() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quorlin-cli-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) m_dir = pattern;
        std::filesystem::create_directories(m_dir / "config");
    }
    ~CCliSandbox() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    CCliSandbox(const CCliSandbox&) = delete;
    CCliSandbox& operator=(const CCliSandbox&) = delete;

    const std::filesystem::path& Dir() const { return m_dir; }
    std::string ConfigHome() const { return (m_dir / "config").string(); }
    std::filesystem::path SettingsFile() const {
        return m_dir / "config" / "Brisca" / "Quorlin.conf";
    }

    void WriteSettings(const std::string& text) const {
        std::filesystem::create_directories(SettingsFile().parent_path());
        WriteFile(SettingsFile(), text);
    }
    // The saved settings file's bytes; nothing when there is no such file.
    std::optional<std::string> ReadSettings() const {
        if (!std::filesystem::exists(SettingsFile())) return std::nullopt;
        return ReadFile(SettingsFile());
    }

    static void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

private:
    std::filesystem::path m_dir;
};
