#include "archive/BackupCheck.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

#include "archive/BackupManifest.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

bool HasSigExtension(const fs::path& path) {
    std::string extension = path.extension().string();
    for (auto& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".sig";
}

}  // namespace

CheckOutcome CheckBackup(const std::string& folder) {
    CheckOutcome outcome;
    Manifest manifest;
    if (!LoadManifest(folder, manifest, outcome.error)) return outcome;
    outcome.manifestRead = true;
    outcome.gaps = GapLines(manifest);

    using Kind = CheckFinding::Kind;
    std::set<std::string> listed;
    for (const auto& bank : manifest.banks) {
        for (const auto& program : bank.programs) {
            if (program.file.empty()) continue;
            ++outcome.listed;
            listed.insert(fs::path(program.file).lexically_normal().generic_string());
            if (!InsideFolder(folder, program.file)) {
                outcome.findings.push_back({Kind::Outside, program.file});
                continue;
            }
            const std::string path = (fs::path(folder) / program.file).string();
            std::error_code error;
            if (!fs::is_regular_file(path, error)) {
                outcome.findings.push_back({Kind::Missing, program.file});
                continue;
            }
            std::string data;
            std::string why;
            if (!ReadWholeFile(path, data, why)) {
                outcome.findings.push_back({Kind::Missing, program.file});
                continue;
            }
            if (static_cast<std::int64_t>(data.size()) != program.bytes ||
                Sha256Hex(data) != program.sha256)
                outcome.findings.push_back({Kind::Changed, program.file});
        }
    }

    // Every ".sig" file below the folder (links to folders are not followed).
    std::vector<std::string> unlisted;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (it->is_directory(error) || !HasSigExtension(it->path())) continue;
        const std::string relative =
            it->path().lexically_relative(folder).lexically_normal().generic_string();
        if (listed.count(relative) == 0) unlisted.push_back(relative);
    }
    std::sort(unlisted.begin(), unlisted.end());
    for (auto& file : unlisted) outcome.findings.push_back({Kind::Unlisted, std::move(file)});
    return outcome;
}

std::string FindingLine(const CheckFinding& finding) {
    switch (finding.kind) {
        case CheckFinding::Kind::Missing:
            return "missing " + finding.file;
        case CheckFinding::Kind::Changed:
            return "changed " + finding.file;
        case CheckFinding::Kind::Unlisted:
            return "unlisted " + finding.file;
        case CheckFinding::Kind::Outside:
            return "outside " + finding.file;
    }
    return {};
}

}  // namespace archive
