#pragma once
// The manifest of a whole-unit backup ("manifest.json" at the top of the backup folder): every
// bank of the unit in order with every program it listed, the file, size and SHA-256 of each user
// program written, and the result of the run (what was skipped, what came back under another
// name, whether it was cancelled, which banks changed meanwhile or could not be read).
//
//   { "format": 1, "created": "2026-12-10T16:15:00+01:00", "link": "...",
//     "banks": [ { "number": 3, "name": "Live", "programs": [
//         { "number": 0, "name": "Hall", "user": false },
//         { "number": 12, "name": "Lead", "user": true, "file": "03 Live/Lead.sig",
//           "bytes": 412, "sha256": "<64 hex digits>" } ] } ],
//     "result": { "written": 1, "skipped": [ { "bank", "program", "name", "reason" } ],
//                 (a whole bank skipped: { "bank", "name", "reason" })
//                 "mismatched": [ { "bank", "program", "name", "got" } ], "cancelled": false,
//                 "changed_banks": [], "unread_banks": [] } }
//
// Names are UTF-8, as the engine gives them (the unit's bytes read by engine/UnitText.h's rule),
// and file names are made from the same text.
// File paths are relative to the backup folder, with "/".
//
// Qt Core (JSON, SHA-256); no Qt Widgets. Functions without shared state; any thread.

#include <cstdint>
#include <string>
#include <vector>

namespace archive {

inline constexpr int kManifestFormat = 1;
inline constexpr const char* kManifestFileName = "manifest.json";

struct ManifestProgram {
    int number = -1;
    std::string name;
    bool user = false;
    std::string file;  // empty: no file (a factory program, or a user program not written)
    std::int64_t bytes = 0;
    std::string sha256;  // lower-case hexadecimal
};

struct ManifestBank {
    int number = -1;
    std::string name;
    std::vector<ManifestProgram> programs;
};

struct SkippedProgram {
    int bank = -1;
    int program = -1;
    std::string name;  // the program's, or the bank's for a whole bank
    std::string reason;
    // The whole bank: one the unit lists but a bank select cannot reach ("program" is then left
    // out of the manifest entry).
    bool wholeBank = false;
};

struct MismatchedProgram {
    int bank = -1;
    int program = -1;
    std::string name;  // as the program list names it
    std::string got;   // the name in the text the unit sent
};

struct Manifest {
    int format = kManifestFormat;
    std::string created;
    std::string link;
    std::vector<ManifestBank> banks;
    int written = 0;
    std::vector<SkippedProgram> skipped;
    std::vector<MismatchedProgram> mismatched;
    bool cancelled = false;
    std::vector<int> changedBanks;
    std::vector<int> unreadBanks;
};

// "bank 3 program 12 "Lead"", or "bank 150 "Far"" for a whole bank.
std::string SkippedWhat(const SkippedProgram& skipped);

// What the manifest's result records as not backed up, one line each, in this order:
//   skipped bank 1 program 3 "A/B": the unit did not send it
//   mismatched bank 1 program 2 "lead": the unit sent "Lead"
//   changed bank 1          (changed on the unit during the backup)
//   not read bank 5
//   cancelled
// Empty when the result records nothing missing.
std::vector<std::string> GapLines(const Manifest& manifest);

// The manifest as pretty-printed UTF-8 JSON.
std::string ManifestJson(const Manifest& manifest);

// Reads `folder`/manifest.json. False with a message naming the problem in `error`: the file
// cannot be read, is not JSON (the parser's error with its line and column), is of another
// format number, or lacks a field this reader needs.
bool LoadManifest(const std::string& folder, Manifest& manifest, std::string& error);

// Lower-case hexadecimal SHA-256 of `data`.
std::string Sha256Hex(const std::string& data);

// `name` without trailing blanks (names are compared so).
std::string TrimmedName(const std::string& name);

// True when `relative` names a place inside `folder` once every symbolic link on the way is
// resolved (an absolute path, ".." that climbs out, or a link that leads elsewhere is outside).
bool InsideFolder(const std::string& folder, const std::string& relative);

// The largest manifest (or other archive file) ReadWholeFile reads: a manifest of a full unit
// (100 banks of 128 programs) takes a few MiB.
inline constexpr std::uintmax_t kMaxArchiveFileBytes = 64u << 20;

// Reads a whole regular file (a symbolic link is followed) of at most kMaxArchiveFileBytes,
// without blocking on a fifo or reading a device (engine/RegularFileReader.h); false with the
// reason ("it is a fifo, not a regular file", the system's text, ...).
bool ReadWholeFile(const std::string& path, std::string& data, std::string& error);

}  // namespace archive
