// CProgramLibrary over the SQLite C library.
#include "library/ProgramLibrary.h"

#include <sqlite3.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "archive/BackupManifest.h"
#include "engine/Protocol.h"
#include "engine/UnitText.h"

namespace library {

namespace {

// Each step takes the database from version i to i + 1, inside one transaction.
const char* const kMigrations[] = {
    // 1: texts stored once by content, and every sighting of them.
    "CREATE TABLE texts("
    "  id INTEGER PRIMARY KEY,"
    "  sha256 TEXT NOT NULL UNIQUE,"
    "  name TEXT NOT NULL,"
    "  size INTEGER NOT NULL,"
    "  first_seen TEXT NOT NULL,"
    "  body BLOB NOT NULL);"
    "CREATE TABLE sightings("
    "  id INTEGER PRIMARY KEY,"
    "  text_id INTEGER NOT NULL REFERENCES texts(id),"
    "  how TEXT NOT NULL,"
    "  name TEXT NOT NULL,"
    "  bank INTEGER NOT NULL,"
    "  program INTEGER NOT NULL,"
    "  link TEXT NOT NULL,"
    "  path TEXT NOT NULL,"
    "  entry TEXT NOT NULL,"
    "  seen TEXT NOT NULL);"
    "CREATE INDEX sightings_by_text ON sightings(text_id, id);",
    // 2: the unit's info text, and a trigram index over names and info texts, so that any
    // substring of three characters or more is found through the index whatever its case.
    "ALTER TABLE texts ADD COLUMN info TEXT NOT NULL DEFAULT '';"
    "CREATE VIRTUAL TABLE texts_search USING fts5(name, info, content='texts',"
    "  content_rowid='id', tokenize='trigram');"
    "CREATE TRIGGER texts_search_insert AFTER INSERT ON texts BEGIN"
    "  INSERT INTO texts_search(rowid, name, info) VALUES (new.id, new.name, new.info); END;"
    "CREATE TRIGGER texts_search_delete AFTER DELETE ON texts BEGIN"
    "  INSERT INTO texts_search(texts_search, rowid, name, info)"
    "  VALUES ('delete', old.id, old.name, old.info); END;"
    "CREATE TRIGGER texts_search_update AFTER UPDATE ON texts BEGIN"
    "  INSERT INTO texts_search(texts_search, rowid, name, info)"
    "  VALUES ('delete', old.id, old.name, old.info);"
    "  INSERT INTO texts_search(rowid, name, info) VALUES (new.id, new.name, new.info); END;"
    "INSERT INTO texts_search(texts_search) VALUES ('rebuild');",
};
static_assert(std::size(kMigrations) == kSchemaVersion);

// "quorlin library" as a number: a database of another program is never taken for ours.
constexpr int kApplicationId = 0x51524C42;  // "QRLB"

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

Statement Prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &s, nullptr);
    return Statement(s);
}

void BindText(sqlite3_stmt* s, int i, const std::string& text) {
    sqlite3_bind_text(s, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* s, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, i))) : std::string();
}

const char* HowWord(How how) {
    switch (how) {
        case How::Fetched: return "fetched";
        case How::BackedUp: return "backed-up";
        case How::LoadedFromFile: return "loaded";
        case How::Imported: return "imported";
        case How::Deleted: return "deleted";
        case How::Restored: return "restored";
    }
    return "imported";
}

How HowFromWord(const std::string& word) {
    for (How how : {How::Fetched, How::BackedUp, How::LoadedFromFile, How::Imported, How::Deleted,
                    How::Restored})
        if (word == HowWord(how)) return how;
    return How::Imported;
}

// The number of characters (not bytes) of UTF-8 text.
std::size_t CharacterCount(const std::string& text) {
    std::size_t n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string LikeEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string Now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
}

// The columns every listing reads, the text and its latest sighting.
constexpr const char* kListing =
    "SELECT t.sha256, t.name, t.size, t.info, t.first_seen, s.seen, s.how, s.name, s.bank,"
    " s.program, s.link, s.path, s.entry"
    " FROM texts t JOIN sightings s ON s.id = (SELECT max(id) FROM sightings WHERE text_id = t.id)";

}  // namespace

std::string HowText(How how) {
    switch (how) {
        case How::Fetched: return "fetched";
        case How::BackedUp: return "backed up";
        case How::LoadedFromFile: return "loaded from a file";
        case How::Imported: return "imported";
        case How::Deleted: return "deleted";
        case How::Restored: return "restored";
    }
    return {};
}

std::string PlaceText(const Sighting& s) {
    const Where& w = s.where;
    if (s.how == How::Deleted)
        return w.bank >= 0 ? "deleted from bank " + std::to_string(w.bank) : "deleted";
    std::string unit;
    if (w.bank >= 0) {
        unit = "bank " + std::to_string(w.bank);
        if (w.program >= 0) unit += " program " + std::to_string(w.program);
    }
    if (!w.path.empty()) {
        std::string file = w.entry.empty() ? w.path : "backup " + w.path + " (" + w.entry + ")";
        // A backup or a file seen going to the unit: the unit is where it lives now.
        if (!unit.empty() && s.how != How::Imported && s.how != How::BackedUp) return unit;
        return file;
    }
    if (!unit.empty()) return w.link.empty() ? unit : unit + " (" + w.link + ")";
    return w.link.empty() ? std::string("the unit") : "the unit (" + w.link + ")";
}

namespace {

// A file's place as the library keeps it: absolute (a relative path is taken from the current
// folder), without "." parts or a trailing separator; ".." is resolved on the disk where it can be
// (so that a link in the path is not jumped over), lexically otherwise.
std::string AbsolutePlace(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty()) return path;
    std::error_code ec;
    fs::path place = fs::absolute(fs::path(std::u8string(path.begin(), path.end())), ec);
    if (ec) return path;
    bool up = false;
    for (const auto& part : place) up = up || part == "..";
    if (up) {
        const fs::path resolved = fs::weakly_canonical(place, ec);
        place = ec ? place.lexically_normal() : resolved;
    } else {
        place = place.lexically_normal();
    }
    if (place.filename().empty() && place.has_relative_path()) place = place.parent_path();
    const std::u8string text = place.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string CanonicalText(const std::string& text) {
    if (!text.empty() && static_cast<unsigned char>(text.back()) == 0xF7)
        return text.substr(0, text.size() - 1);
    return text;
}

std::string TextSha256(const std::string& text) {
    return archive::Sha256Hex(CanonicalText(text));
}

std::string DamagedCopyText(const std::string& name) {
    return "the library's copy of \"" + name +
           "\" is damaged: it no longer matches its SHA-256; fetch, import or back up the "
           "program again to replace it";
}

std::string DefaultLibraryPath() {
    if (const char* path = std::getenv(kLibraryPathVariable); path && *path) return path;
    // The application's data folder; a program that has not named itself (the command-line tool)
    // gets the one the desktop program uses.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (QCoreApplication::organizationName().isEmpty() ||
        QCoreApplication::applicationName().isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                 QStringLiteral("/Brisca/Quorlin");
    return (std::filesystem::path(folder.toStdString()) / "library.sqlite").string();
}

CProgramLibrary::~CProgramLibrary() {
    Close();
}

void CProgramLibrary::Close() {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_damaged.clear();
}

bool CProgramLibrary::FindDamagedTexts(std::string& error) {
    m_damaged.clear();
    Statement s = Prepare(m_db, "SELECT sha256, name, size, body FROM texts ORDER BY name, sha256");
    int step = s ? sqlite3_step(s.get()) : SQLITE_ERROR;
    for (; step == SQLITE_ROW; step = sqlite3_step(s.get())) {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(s.get(), 3));
        const std::string body(p ? p : "",
                               static_cast<std::size_t>(sqlite3_column_bytes(s.get(), 3)));
        const std::string sha = ColumnText(s.get(), 0);
        if (archive::Sha256Hex(body) != sha ||
            sqlite3_column_int64(s.get(), 2) != static_cast<sqlite3_int64>(body.size()))
            m_damaged.push_back({sha, ColumnText(s.get(), 1)});
    }
    if (step == SQLITE_DONE) return true;
    error = Reason(sqlite3_extended_errcode(m_db));
    m_damaged.clear();
    return false;
}

std::string CProgramLibrary::DamageReport() const {
    if (m_damaged.empty()) return {};
    const bool one = m_damaged.size() == 1;
    std::string names;
    for (const auto& d : m_damaged)
        names += (names.empty() ? "\"" : ", \"") + d.name + "\" (" + d.sha256.substr(0, 12) + ")";
    return "The program library " + m_path + " holds " + std::to_string(m_damaged.size()) +
           " damaged " + (one ? "copy: " : "copies: ") + names + ". " +
           (one ? "It cannot be shown or exported; fetch, import or back up the program again "
                  "to replace it."
                : "They cannot be shown or exported; fetch, import or back up those programs "
                  "again to replace them.");
}

std::string CProgramLibrary::Reason(int code) const {
    switch (code & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "it is in use by another program (another Quorlin?)";
        case SQLITE_FULL:
            return "the disk is full";
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
            return "it cannot be written (" + std::string(sqlite3_errstr(code)) + ")";
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return "it is damaged or not a Quorlin library";
        default:
            return m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    }
}

bool CProgramLibrary::Exec(const char* sql, std::string& error) {
    char* message = nullptr;
    const int r = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (r == SQLITE_OK) return true;
    error = Reason(sqlite3_extended_errcode(m_db));
    return false;
}

int CProgramLibrary::SchemaVersion() {
    if (!m_db) return -1;
    Statement s = Prepare(m_db, "PRAGMA user_version");
    return s && sqlite3_step(s.get()) == SQLITE_ROW ? sqlite3_column_int(s.get(), 0) : -1;
}

bool CProgramLibrary::Open(const std::string& path, std::string& error) {
    Close();
    m_path = path;
    m_openReason.clear();
    const auto fail = [&](const std::string& why) {
        m_openReason = why;
        error = "The program library " + (path.empty() ? std::string() : path + " ") +
                "cannot be used: " + why + ". Quorlin goes on without it.";
        Close();
        return false;
    };
    // SQLite would take the empty name for a private database that goes when it is closed.
    if (path.empty()) return fail("no place could be made for it");
    std::error_code ec;
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);

    const int r = sqlite3_open_v2(path.c_str(), &m_db,
                                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                  nullptr);
    if (r != SQLITE_OK) return fail(Reason(r));
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);

    // Read before anything is written: a damaged file, another program's database or a newer
    // library is left exactly as it is.
    Statement version = Prepare(m_db, "SELECT (SELECT user_version FROM pragma_user_version),"
                                      " (SELECT application_id FROM pragma_application_id),"
                                      " (SELECT count(*) FROM sqlite_master)");
    if (!version) return fail(Reason(sqlite3_extended_errcode(m_db)));
    const int step = sqlite3_step(version.get());
    if (step != SQLITE_ROW) return fail(Reason(sqlite3_extended_errcode(m_db)));
    const int schema = sqlite3_column_int(version.get(), 0);
    const int application = sqlite3_column_int(version.get(), 1);
    const int objects = sqlite3_column_int(version.get(), 2);
    version.reset();
    if (objects > 0 && application != kApplicationId)
        return fail("it is not a Quorlin library (another program's database)");
    if (schema > kSchemaVersion)
        return fail("it was written by a newer Quorlin (library version " +
                    std::to_string(schema) + "; this Quorlin reads up to " +
                    std::to_string(kSchemaVersion) + ")");
    if (objects > 0) {
        Statement check = Prepare(m_db, "PRAGMA quick_check");
        if (!check) return fail(Reason(sqlite3_extended_errcode(m_db)));
        const int c = sqlite3_step(check.get());
        if (c != SQLITE_ROW) return fail(Reason(sqlite3_extended_errcode(m_db)));
        if (ColumnText(check.get(), 0) != "ok") return fail("it is damaged");
    }

    std::string why;
    if (!Exec("PRAGMA journal_mode=WAL", why)) return fail(why);
    if (!Migrate(why)) return fail(why);
    // The stored copies themselves: SQLite's check does not look inside them.
    if (!FindDamagedTexts(why)) return fail(why);
    error.clear();
    return true;
}

bool CProgramLibrary::Migrate(std::string& error) {
    if (SchemaVersion() == kSchemaVersion) return true;
    if (!Exec("BEGIN IMMEDIATE", error)) return false;
    int from = SchemaVersion();
    bool ok = from >= 0;
    if (!ok) error = Reason(sqlite3_extended_errcode(m_db));
    for (int v = from; ok && v < kSchemaVersion; ++v) ok = Exec(kMigrations[v], error);
    if (ok && from < kSchemaVersion) {
        const std::string pragmas = "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                    "; PRAGMA user_version=" + std::to_string(kSchemaVersion);
        ok = Exec(pragmas.c_str(), error);
    }
    if (ok && Exec("COMMIT", error)) return true;
    std::string ignored;
    Exec("ROLLBACK", ignored);
    return false;
}

bool CProgramLibrary::Store(const std::string& text, const std::string& name, How how,
                            const Where& where, std::string& error, const std::string& info,
                            std::string* sha256Out) {
    if (!m_db) {
        error = "the program library is not open";
        return false;
    }
    const std::string body = CanonicalText(text);
    const std::string sha = archive::Sha256Hex(body);
    if (sha256Out) *sha256Out = sha;
    const std::string ownName = UnitBytesToUtf8(protocol::PatchName(body));
    const std::string seenName = name.empty() ? ownName : name;
    const std::string textName = ownName.empty() ? seenName : ownName;
    const std::string now = Now();

    if (!Exec(m_bBatch ? "SAVEPOINT store" : "BEGIN IMMEDIATE", error)) return false;
    int failure = SQLITE_OK;
    const auto step = [&](Statement s) {
        if (s && sqlite3_step(s.get()) == SQLITE_DONE) return true;
        failure = sqlite3_extended_errcode(m_db);
        return false;
    };
    bool ok;
    {
        Statement s = Prepare(m_db,
                              "INSERT INTO texts(sha256, name, size, first_seen, body, info)"
                              " VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT(sha256) DO NOTHING");
        if (s) {
            BindText(s.get(), 1, sha);
            BindText(s.get(), 2, textName);
            sqlite3_bind_int64(s.get(), 3, static_cast<sqlite3_int64>(body.size()));
            BindText(s.get(), 4, now);
            sqlite3_bind_blob(s.get(), 5, body.data(), static_cast<int>(body.size()),
                              SQLITE_TRANSIENT);
            BindText(s.get(), 6, info);
        }
        ok = step(std::move(s));
    }
    if (ok) {
        // A damaged copy of the same text is replaced.
        Statement s = Prepare(m_db,
                              "UPDATE texts SET body = ?1, size = ?2 WHERE sha256 = ?3"
                              " AND (size <> ?2 OR body <> ?1)");
        if (s) {
            sqlite3_bind_blob(s.get(), 1, body.data(), static_cast<int>(body.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int64(s.get(), 2, static_cast<sqlite3_int64>(body.size()));
            BindText(s.get(), 3, sha);
        }
        ok = step(std::move(s));
    }
    if (ok && !info.empty()) {
        Statement s = Prepare(m_db, "UPDATE texts SET info = ?1 WHERE sha256 = ?2 AND info <> ?1");
        if (s) {
            BindText(s.get(), 1, info);
            BindText(s.get(), 2, sha);
        }
        ok = step(std::move(s));
    }
    if (ok) {
        Statement s = Prepare(
            m_db,
            "INSERT INTO sightings(text_id, how, name, bank, program, link, path, entry, seen)"
            " SELECT id, ?, ?, ?, ?, ?, ?, ?, ? FROM texts WHERE sha256 = ?");
        if (s) {
            BindText(s.get(), 1, HowWord(how));
            BindText(s.get(), 2, seenName);
            sqlite3_bind_int(s.get(), 3, where.bank);
            sqlite3_bind_int(s.get(), 4, where.program);
            BindText(s.get(), 5, where.link);
            BindText(s.get(), 6, AbsolutePlace(where.path));
            BindText(s.get(), 7, where.entry);
            BindText(s.get(), 8, now);
            BindText(s.get(), 9, sha);
        }
        ok = step(std::move(s));
    }
    if (ok && Exec(m_bBatch ? "RELEASE store" : "COMMIT", error)) {
        std::erase_if(m_damaged, [&](const DamagedText& d) { return d.sha256 == sha; });
        return true;
    }
    if (!ok) error = Reason(failure);
    std::string ignored;
    if (m_bBatch && sqlite3_get_autocommit(m_db)) {
        // SQLite rolled the whole transaction back (a full disk, an I/O error).
        m_bBatch = false;
        m_batchLost = error;
    } else if (m_bBatch) {
        Exec("ROLLBACK TO store; RELEASE store", ignored);
    } else {
        Exec("ROLLBACK", ignored);
    }
    return false;
}

bool CProgramLibrary::BeginBatch(std::string& error) {
    if (!m_db) {
        error = "the program library is not open";
        return false;
    }
    if (m_bBatch) return true;
    m_batchLost.clear();
    m_bBatch = Exec("BEGIN IMMEDIATE", error);
    return m_bBatch;
}

bool CProgramLibrary::CommitBatch(std::string& error) {
    if (!m_bBatch) {
        error = m_batchLost;
        m_batchLost.clear();
        return error.empty();
    }
    m_bBatch = false;
    if (Exec("COMMIT", error)) return true;
    std::string ignored;
    Exec("ROLLBACK", ignored);
    return false;
}

bool CProgramLibrary::SetInfo(const std::string& sha256, const std::string& info,
                              std::string& error) {
    if (!m_db) {
        error = "the program library is not open";
        return false;
    }
    Statement s = Prepare(m_db, "UPDATE texts SET info = ? WHERE sha256 = ?");
    if (s) {
        BindText(s.get(), 1, info);
        BindText(s.get(), 2, sha256);
    }
    if (s && sqlite3_step(s.get()) == SQLITE_DONE) return true;
    error = Reason(sqlite3_extended_errcode(m_db));
    return false;
}

bool CProgramLibrary::SetInfoAt(const Where& where, const std::string& info,
                                std::string& error) {
    if (!m_db) {
        error = "the program library is not open";
        return false;
    }
    Statement s = Prepare(m_db,
                          "UPDATE texts SET info = ?1 WHERE info <> ?1 AND id = (SELECT text_id"
                          " FROM sightings WHERE bank = ?2 AND program = ?3 AND link = ?4"
                          " AND how IN ('fetched', 'backed-up', 'deleted')"
                          " ORDER BY id DESC LIMIT 1) AND (SELECT how FROM sightings"
                          " WHERE bank = ?2 AND program = ?3 AND link = ?4"
                          " AND how IN ('fetched', 'backed-up', 'deleted')"
                          " ORDER BY id DESC LIMIT 1) <> 'deleted'");
    if (s) {
        BindText(s.get(), 1, info);
        sqlite3_bind_int(s.get(), 2, where.bank);
        sqlite3_bind_int(s.get(), 3, where.program);
        BindText(s.get(), 4, where.link);
    }
    if (s && sqlite3_step(s.get()) == SQLITE_DONE) return true;
    error = Reason(sqlite3_extended_errcode(m_db));
    return false;
}

std::vector<StoredText> CProgramLibrary::Query(const std::string& sql,
                                               const std::vector<std::string>& binds, int limit) {
    std::vector<StoredText> result;
    if (!m_db) return result;
    Statement s = Prepare(m_db, sql + " LIMIT " + std::to_string(limit));
    if (!s) return result;
    for (std::size_t i = 0; i < binds.size(); ++i)
        BindText(s.get(), static_cast<int>(i + 1), binds[i]);
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        StoredText t;
        t.sha256 = ColumnText(s.get(), 0);
        t.name = ColumnText(s.get(), 1);
        t.size = sqlite3_column_int64(s.get(), 2);
        t.info = ColumnText(s.get(), 3);
        t.firstSeen = ColumnText(s.get(), 4);
        t.lastSeen = ColumnText(s.get(), 5);
        t.last.when = t.lastSeen;
        t.last.how = HowFromWord(ColumnText(s.get(), 6));
        t.last.name = ColumnText(s.get(), 7);
        t.last.where.bank = sqlite3_column_int(s.get(), 8);
        t.last.where.program = sqlite3_column_int(s.get(), 9);
        t.last.where.link = ColumnText(s.get(), 10);
        t.last.where.path = ColumnText(s.get(), 11);
        t.last.where.entry = ColumnText(s.get(), 12);
        result.push_back(std::move(t));
    }
    return result;
}

std::vector<StoredText> CProgramLibrary::Search(const std::string& query, Filter filter,
                                                int limit) {
    std::string sql = kListing;
    std::vector<std::string> binds;
    std::vector<std::string> conditions;
    if (CharacterCount(query) >= 3) {
        // One FTS5 string: the whole query as a phrase, its quotes doubled.
        std::string phrase = "\"";
        for (char c : query) phrase += c == '"' ? std::string("\"\"") : std::string(1, c);
        phrase += '"';
        conditions.push_back(
            "t.id IN (SELECT rowid FROM texts_search WHERE texts_search MATCH ?)");
        binds.push_back(phrase);
    } else if (!query.empty()) {
        conditions.push_back(
            "(t.name LIKE ?1 ESCAPE '\\' OR t.info LIKE ?1 ESCAPE '\\')");
        binds.push_back("%" + LikeEscaped(query) + "%");
    }
    switch (filter) {
        case Filter::All: break;
        case Filter::OnUnit:
            conditions.push_back("s.bank >= 0 AND s.how NOT IN ('deleted', 'imported')");
            break;
        case Filter::Deleted: conditions.push_back("s.how = 'deleted'"); break;
        case Filter::Duplicates:
            conditions.push_back(
                "(SELECT count(DISTINCT name) FROM sightings WHERE text_id = t.id) > 1 OR"
                " (SELECT count(DISTINCT CASE WHEN path <> '' THEN 'f' || path || char(0) || entry"
                "  ELSE 'u' || bank || '/' || program || '/' || link END)"
                "  FROM sightings WHERE text_id = t.id) > 1");
            break;
    }
    for (std::size_t i = 0; i < conditions.size(); ++i)
        sql += (i == 0 ? " WHERE (" : " AND (") + conditions[i] + ")";
    sql += filter == Filter::Duplicates ? " ORDER BY t.name, t.sha256" : " ORDER BY s.id DESC";
    return Query(sql, binds, limit);
}

std::optional<std::string> CProgramLibrary::Resolve(const std::string& prefix,
                                                    std::string& error) {
    std::string lower;
    for (char c : prefix) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.size() < 6 || lower.size() > 64 ||
        lower.find_first_not_of("0123456789abcdef") != std::string::npos) {
        error = "\"" + prefix + "\" is not a SHA-256 prefix of at least 6 hexadecimal digits";
        return std::nullopt;
    }
    if (!m_db) {
        error = "the program library is not open";
        return std::nullopt;
    }
    Statement s = Prepare(m_db, "SELECT sha256 FROM texts WHERE sha256 >= ?1 AND sha256 < ?1 || 'g'"
                                " ORDER BY sha256 LIMIT 2");
    if (!s) {
        error = Reason(sqlite3_extended_errcode(m_db));
        return std::nullopt;
    }
    BindText(s.get(), 1, lower);
    std::vector<std::string> found;
    while (sqlite3_step(s.get()) == SQLITE_ROW) found.push_back(ColumnText(s.get(), 0));
    if (found.empty()) {
        error = "no program in the library has a SHA-256 starting with " + lower;
        return std::nullopt;
    }
    if (found.size() > 1) {
        error = "more than one program in the library has a SHA-256 starting with " + lower +
                "; give more digits";
        return std::nullopt;
    }
    return found.front();
}

std::optional<StoredText> CProgramLibrary::Find(const std::string& sha256) {
    auto found = Query(std::string(kListing) + " WHERE t.sha256 = ?", {sha256}, 1);
    if (found.empty()) return std::nullopt;
    return found.front();
}

std::optional<std::string> CProgramLibrary::Text(const std::string& sha256, std::string* error) {
    const auto fail = [error](std::string why) -> std::optional<std::string> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    if (!m_db) return fail("the program library is not open");
    Statement s = Prepare(m_db, "SELECT body, size, name FROM texts WHERE sha256 = ?");
    if (!s) return fail(Reason(sqlite3_extended_errcode(m_db)));
    BindText(s.get(), 1, sha256);
    const int step = sqlite3_step(s.get());
    if (step == SQLITE_DONE) return fail("no program in the library has the SHA-256 " + sha256);
    if (step != SQLITE_ROW) return fail(Reason(sqlite3_extended_errcode(m_db)));
    const auto* p = static_cast<const char*>(sqlite3_column_blob(s.get(), 0));
    std::string body(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(s.get(), 0)));
    if (archive::Sha256Hex(body) != sha256 ||
        sqlite3_column_int64(s.get(), 1) != static_cast<sqlite3_int64>(body.size()))
        return fail(DamagedCopyText(ColumnText(s.get(), 2)));
    return body;
}

std::vector<Sighting> CProgramLibrary::Sightings(const std::string& sha256) {
    std::vector<Sighting> result;
    if (!m_db) return result;
    Statement s = Prepare(m_db,
                          "SELECT s.how, s.name, s.bank, s.program, s.link, s.path, s.entry, s.seen"
                          " FROM sightings s JOIN texts t ON t.id = s.text_id"
                          " WHERE t.sha256 = ? ORDER BY s.id");
    if (!s) return result;
    BindText(s.get(), 1, sha256);
    while (sqlite3_step(s.get()) == SQLITE_ROW) {
        Sighting g;
        g.how = HowFromWord(ColumnText(s.get(), 0));
        g.name = ColumnText(s.get(), 1);
        g.where.bank = sqlite3_column_int(s.get(), 2);
        g.where.program = sqlite3_column_int(s.get(), 3);
        g.where.link = ColumnText(s.get(), 4);
        g.where.path = ColumnText(s.get(), 5);
        g.where.entry = ColumnText(s.get(), 6);
        g.when = ColumnText(s.get(), 7);
        result.push_back(std::move(g));
    }
    return result;
}

std::int64_t CProgramLibrary::TextCount() {
    if (!m_db) return 0;
    Statement s = Prepare(m_db, "SELECT count(*) FROM texts");
    return s && sqlite3_step(s.get()) == SQLITE_ROW ? sqlite3_column_int64(s.get(), 0) : 0;
}

}  // namespace library
