#include "library/LibraryImport.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "archive/BackupManifest.h"
#include "engine/Librarian.h"
#include "engine/RegularFileReader.h"

namespace fs = std::filesystem;

namespace library {

namespace {

bool IsSigFile(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".sig";
}

class CImport {
public:
    CImport(CProgramLibrary& library, const std::function<void(const std::string&)>& onMessage)
        : m_library(library), m_onMessage(onMessage) {}

    void Path(const fs::path& path) {
        std::error_code error;
        if (fs::is_directory(fs::status(path, error))) {
            Folder(path);
        } else {
            File(path, {}, {});  // which says why when it is not a file it may read
        }
    }

    ImportResult result;

private:
    void Folder(const fs::path& top) {
        // The backup folders first, so that their files are recorded with their manifest entries.
        std::vector<fs::path> folders{top};
        std::vector<fs::path> files;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(
                 top, fs::directory_options::skip_permission_denied, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            std::error_code e;
            const bool link = it->is_symlink(e);
            if (!link && it->is_directory(e))
                folders.push_back(it->path());
            else if (IsSigFile(it->path()))
                files.push_back(it->path());  // File refuses what is not a regular file
        }
        if (error) Fail(top.string() + ": " + error.message());
        std::sort(files.begin(), files.end());
        for (const auto& folder : folders) Manifest(folder);
        for (const auto& file : files)
            if (!m_done.count(Identity(file))) File(file, {}, {});
    }

    void Manifest(const fs::path& folder) {
        std::error_code error;
        if (!fs::exists(folder / archive::kManifestFileName, error)) return;
        archive::Manifest manifest;
        std::string why;
        if (!archive::LoadManifest(folder.string(), manifest, why)) {
            m_onMessage(why + " Its files are imported as plain files.");
            return;
        }
        for (const auto& bank : manifest.banks) {
            for (const auto& program : bank.programs) {
                if (program.file.empty()) continue;
                if (!archive::InsideFolder(folder.string(), program.file)) {
                    // Reported once: the walk of the folder does not take it up again.
                    m_done.insert(Identity(folder / program.file));
                    Fail((folder / program.file).string() + ": outside the backup folder");
                    continue;
                }
                Where where;
                where.bank = bank.number;
                where.program = program.number;
                where.path = folder.string();
                where.entry = program.file;
                where.link = manifest.link;
                File(folder / program.file, program.name, where);
            }
        }
    }

    void File(const fs::path& path, const std::string& name, Where where) {
        std::error_code error;
        m_done.insert(Identity(path));
        // Only a regular file, never through a symbolic link (wherever it points), never more
        // than the unit takes; a fifo or a device is not opened for reading.
        std::string text;
        const auto read = filereader::ReadRegularFile(path.string(), CLibrarian::kMaxPatchFileSize,
                                                      filereader::Links::Refuse, text);
        if (read.result == filereader::Result::TooLarge)
            return Fail(path.string() + ": too large for a program (" + std::to_string(read.size) +
                        " bytes)");
        if (read.result != filereader::Result::Read) return Fail(path.string() + ": " + read.error);
        std::string why;
        if (where.path.empty()) where.path = fs::absolute(path, error).lexically_normal().string();
        const bool known = m_library.Find(TextSha256(text)).has_value();
        const std::string seenName = name.empty() ? path.stem().string() : name;
        if (!m_library.InBatch() && !m_library.BeginBatch(why))
            return Fail(path.string() + ": " + why);
        if (!m_library.Store(text, seenName, How::Imported, where, why)) {
            Fail(path.string() + ": " + why);
            // A full disk undoes the whole batch: its files are not stored either.
            if (!m_library.InBatch()) Commit();
            return;
        }
        m_pending.push_back({path.string(), !known});
        if (m_pending.size() >= kBatchSize) Commit();
    }

public:
    // Stores are committed in batches: one transaction per file would spend most of an import
    // waiting for the disk. Counted as imported only once committed.
    void Commit() {
        if (m_pending.empty()) return;
        std::string why;
        if (m_library.CommitBatch(why)) {
            for (const auto& p : m_pending) {
                ++result.files;
                if (p.second) ++result.newTexts;
            }
        } else {
            for (const auto& p : m_pending) Fail(p.first + ": " + why);
        }
        m_pending.clear();
    }

private:
    static constexpr std::size_t kBatchSize = 500;
    std::vector<std::pair<std::string, bool>> m_pending;  // path, new to the library

    // A file as the import knows it: its folder with every link resolved, and its own name as
    // it is (a link is a file of its own, not the file it points at).
    static fs::path Identity(const fs::path& path) {
        std::error_code error;
        const fs::path absolute = fs::absolute(path, error).lexically_normal();
        return fs::weakly_canonical(absolute.parent_path(), error) / absolute.filename();
    }

    void Fail(const std::string& text) {
        ++result.failed;
        m_onMessage("Not imported: " + text);
    }

    CProgramLibrary& m_library;
    const std::function<void(const std::string&)>& m_onMessage;
    std::set<fs::path> m_done;
};

}  // namespace

ImportResult ImportPaths(CProgramLibrary& library, const std::vector<std::string>& paths,
                         const std::function<void(const std::string&)>& onMessage) {
    CImport import(library, onMessage);
    for (const auto& path : paths) import.Path(path);
    import.Commit();
    return import.result;
}

}  // namespace library
