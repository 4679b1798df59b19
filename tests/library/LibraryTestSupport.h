#pragma once
// Helpers of the library tests: a temporary folder, whole-file reads, raw SQL on a database file.

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "link/Host.h"
#include "tests/support/RecordingHost.h"

class CTempFolder {
public:
    CTempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quorlin-library-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~CTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    std::filesystem::path path;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
}

// Runs `sql` on the database file `path` directly; true when it ran.
inline bool RawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
              sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// A program text as the unit sends it: its name between the first two double quotes.
inline std::string ProgramText(const std::string& name, const std::string& body = "mix 50") {
    return "PROGRAM \"" + name + "\"\n" + body + "\n";
}

// A recording host that also answers questions, and records them.
class CAskingHost : public CRecordingHost {
public:
    bool AskYesNo(const std::string& text, const std::string&) override {
        questions.push_back(text);
        return answer;
    }
    std::vector<std::string> questions;
    bool answer = false;
};
