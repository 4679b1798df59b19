#pragma once
// CProgramLibrary: the local library of every program text Quorlin has seen, in one SQLite
// database file (WAL mode). Each text is stored once, keyed by the SHA-256 of the text without a
// trailing end byte (0xF7, which the MIDI link keeps and the serial link drops), with its name,
// size, first sighting and the unit's info text where one was given; every sighting adds a row
// saying where (a bank and program on the unit, a file, a backup folder's manifest entry), when
// and how (fetched, backed up, loaded from a file, imported, deleted, restored).
//
// Each stored copy must still match its key: the check on opening hashes every text (a copy
// that no longer matches its SHA-256 or its size is damaged: the library opens all the same and
// names it), and Text refuses a damaged copy every time. Storing the same text again replaces a
// damaged copy.
//
// Schema versions (PRAGMA user_version): 1 texts and sightings; 2 adds the info text and the
// full-text index over names and info texts (FTS5, trigram tokenizer). A database of an older
// version is brought up to date when it is opened; one of a newer version, or one that is not a
// sound SQLite database, is left untouched and the library stays closed.
//
// Text: names, info texts, paths, searches and reasons are UTF-8 (a stored text's own name is read
// from its bytes by engine/UnitText.h's rule); program texts are stored byte for byte.
//
// Faults: every function reports failure with a reason; a database locked by another program is
// waited for kBusyTimeoutMs, then reported. Nothing here ever deletes or recreates a database.
//
// One object per thread; SQLite is opened in its serialized mode, but the object keeps no lock of
// its own. Several objects (in one or several processes) may open the same file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/ProgramSightings.h"

struct sqlite3;

namespace library {

using How = IProgramSightings::How;
using Where = IProgramSightings::Where;

inline constexpr int kSchemaVersion = 2;
inline constexpr int kBusyTimeoutMs = 2000;
inline constexpr const char* kLibraryPathVariable = "QUORLIN_LIBRARY";

// One sighting of a text.
struct Sighting {
    How how = How::Imported;
    std::string name;  // the program's or file's name as seen there
    Where where;
    std::string when;  // UTC, ISO 8601
};

// One stored text as searches list it.
struct StoredText {
    std::string sha256;
    std::string name;
    std::int64_t size = 0;
    std::string info;
    std::string firstSeen;
    std::string lastSeen;
    Sighting last;  // the latest sighting: where the text lives now
};

// A stored text whose copy no longer matches its key.
struct DamagedText {
    std::string sha256;
    std::string name;
};

// What a search lists.
enum class Filter {
    All,
    OnUnit,      // last seen on the unit (fetched, backed up, loaded or restored there)
    Deleted,     // last seen being deleted from the unit
    Duplicates,  // seen in more than one place or under more than one name
};

// "fetched", "backed up", "loaded from a file", "imported", "deleted", "restored".
std::string HowText(How how);
// Where a sighting says the text lives: "bank 3 program 12 (serial /dev/ttyUSB0, 38400 baud)",
// "deleted from bank 3", "/home/me/Lead.sig", "backup /home/me/Unit (03 Live/Lead.sig)".
std::string PlaceText(const Sighting& sighting);
// The text as it is hashed and stored: without a trailing 0xF7.
std::string CanonicalText(const std::string& text);
// Lower-case hexadecimal SHA-256 of CanonicalText(text).
std::string TextSha256(const std::string& text);
// Why a stored copy is refused: "the library's copy of "Lead" is damaged: it no longer matches
// its SHA-256; fetch, import or back up the program again to replace it".
std::string DamagedCopyText(const std::string& name);
// The database file: $QUORLIN_LIBRARY when set, else "library.sqlite" in the application's data
// folder (QStandardPaths::AppDataLocation). A run against the demo unit keeps another
// (DemoLibraryPlace.h).
std::string DefaultLibraryPath();

class CProgramLibrary {
public:
    CProgramLibrary() = default;
    ~CProgramLibrary();
    CProgramLibrary(const CProgramLibrary&) = delete;
    CProgramLibrary& operator=(const CProgramLibrary&) = delete;

    // Opens (creating it and its folder when missing) and brings the schema up to date. False
    // with a message for the user when the file cannot be opened, is not a sound database, is of
    // a newer schema, or stays locked; the library is then closed and the file untouched.
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    const std::string& Path() const { return m_path; }
    // Why the last Open failed, in a few words ("it is damaged or not a Quorlin library").
    const std::string& OpenReason() const { return m_openReason; }
    // The schema version of the open database.
    int SchemaVersion();
    // The damaged copies the check on opening found (less those stored again since), by name.
    const std::vector<DamagedText>& DamagedTexts() const { return m_damaged; }
    // For the user, when there are damaged copies: "The program library PATH holds 1 damaged
    // copy: "Lead" (3f2a1b9c0d4e). It cannot be shown or exported; fetch, import or back up
    // the program again to replace it." Empty otherwise.
    std::string DamageReport() const;

    // Stores `text` (once per content) with one sighting; `info`, when not empty, becomes the
    // text's info text. A file's place (where.path) is kept as an absolute path: a relative one
    // is taken from the current folder. False with the reason when nothing could be stored (nothing is then
    // half-stored: each call is one transaction). `sha256Out` gets the text's key.
    bool Store(const std::string& text, const std::string& name, How how, const Where& where,
               std::string& error, const std::string& info = {},
               std::string* sha256Out = nullptr);
    // Many stores in one transaction (an import): Store then commits nothing of its own until
    // CommitBatch, which also ends the batch. A store that fails inside a batch undoes only its
    // own part; a CommitBatch that fails loses the whole batch (false with the reason).
    bool BeginBatch(std::string& error);
    bool CommitBatch(std::string& error);
    bool InBatch() const { return m_bBatch; }

    bool SetInfo(const std::string& sha256, const std::string& info, std::string& error);
    // Gives `info` to the text last fetched or backed up from the unit at `where` (bank, program
    // and link), unless the program there was deleted since.
    bool SetInfoAt(const Where& where, const std::string& info, std::string& error);

    // Texts whose name or info text contains `query` (case-insensitive; every text for an empty
    // query), newest sighting first, at most `limit`.
    std::vector<StoredText> Search(const std::string& query, Filter filter = Filter::All,
                                   int limit = 1000);
    // The full key of the one stored text whose key starts with `prefix` (at least 6 hex digits).
    // Nothing, with the reason in `error`, for a short, unknown or ambiguous prefix.
    std::optional<std::string> Resolve(const std::string& prefix, std::string& error);
    std::optional<StoredText> Find(const std::string& sha256);
    // The stored text; nothing when there is none or its copy is damaged (it no longer matches
    // its SHA-256 or size), and then `error`, when given, says which (DamagedCopyText).
    std::optional<std::string> Text(const std::string& sha256, std::string* error = nullptr);
    // Every sighting of a text, oldest first.
    std::vector<Sighting> Sightings(const std::string& sha256);
    // The texts seen in more than one place or under more than one name, by name.
    std::vector<StoredText> Duplicates() { return Search({}, Filter::Duplicates, -1); }
    std::int64_t TextCount();

private:
    bool Exec(const char* sql, std::string& error);
    bool Migrate(std::string& error);
    // Hashes every stored text; false (with the reason) only when the texts cannot be read.
    bool FindDamagedTexts(std::string& error);
    std::string Reason(int code) const;
    std::vector<StoredText> Query(const std::string& sql, const std::vector<std::string>& binds,
                                  int limit);

    sqlite3* m_db = nullptr;
    std::string m_openReason;
    bool m_bBatch = false;
    std::string m_batchLost;  // why SQLite undid the batch (a full disk), until CommitBatch
    std::string m_path;
    std::vector<DamagedText> m_damaged;
};

}  // namespace library
