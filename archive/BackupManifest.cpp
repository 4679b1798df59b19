#include "archive/BackupManifest.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QString>

#include <filesystem>

#include "engine/RegularFileReader.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string S(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QJsonArray Numbers(const std::vector<int>& numbers) {
    QJsonArray array;
    for (int n : numbers) array.append(n);
    return array;
}

// Reading: each helper notes the first field that is missing or of the wrong kind.
struct Reader {
    std::string error;

    bool Fail(const std::string& what) {
        if (error.empty()) error = what;
        return false;
    }
    int Int(const QJsonObject& o, const char* key, const std::string& where) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isDouble()) Fail(where + " has no number \"" + key + "\"");
        return v.toInt(-1);
    }
    std::string Text(const QJsonObject& o, const char* key, const std::string& where) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isString()) Fail(where + " has no text \"" + key + "\"");
        return S(v.toString());
    }
    QJsonArray Array(const QJsonObject& o, const char* key, const std::string& where) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isArray()) Fail(where + " has no list \"" + key + "\"");
        return v.toArray();
    }
    QJsonObject Object(const QJsonValue& v, const std::string& where) {
        if (!v.isObject()) Fail(where + " is not an object");
        return v.toObject();
    }
};

// Line and column (from 1) of byte `offset` in `text`.
std::pair<int, int> LineAndColumn(const QByteArray& text, int offset) {
    int line = 1;
    int column = 1;
    for (int i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

}  // namespace

std::string SkippedWhat(const SkippedProgram& s) {
    std::string what = "bank " + std::to_string(s.bank);
    if (!s.wholeBank) what += " program " + std::to_string(s.program);
    return what + " \"" + s.name + "\"";
}

std::vector<std::string> GapLines(const Manifest& m) {
    std::vector<std::string> lines;
    for (const auto& s : m.skipped) lines.push_back("skipped " + SkippedWhat(s) + ": " + s.reason);
    for (const auto& s : m.mismatched)
        lines.push_back("mismatched bank " + std::to_string(s.bank) + " program " +
                        std::to_string(s.program) + " \"" + s.name + "\": the unit sent \"" +
                        s.got + "\"");
    for (int bank : m.changedBanks) lines.push_back("changed bank " + std::to_string(bank));
    for (int bank : m.unreadBanks) lines.push_back("not read bank " + std::to_string(bank));
    if (m.cancelled) lines.push_back("cancelled");
    return lines;
}

std::string ManifestJson(const Manifest& m) {
    QJsonArray banks;
    for (const auto& bank : m.banks) {
        QJsonArray programs;
        for (const auto& p : bank.programs) {
            QJsonObject program{{"number", p.number}, {"name", Q(p.name)}, {"user", p.user}};
            if (!p.file.empty()) {
                program.insert("file", Q(p.file));
                program.insert("bytes", static_cast<qint64>(p.bytes));
                program.insert("sha256", Q(p.sha256));
            }
            programs.append(program);
        }
        banks.append(
            QJsonObject{{"number", bank.number}, {"name", Q(bank.name)}, {"programs", programs}});
    }
    QJsonArray skipped;
    for (const auto& s : m.skipped) {
        QJsonObject entry{{"bank", s.bank}, {"name", Q(s.name)}, {"reason", Q(s.reason)}};
        if (!s.wholeBank) entry.insert("program", s.program);
        skipped.append(entry);
    }
    QJsonArray mismatched;
    for (const auto& s : m.mismatched)
        mismatched.append(QJsonObject{
            {"bank", s.bank}, {"program", s.program}, {"name", Q(s.name)}, {"got", Q(s.got)}});
    const QJsonObject result{{"written", m.written},
                             {"skipped", skipped},
                             {"mismatched", mismatched},
                             {"cancelled", m.cancelled},
                             {"changed_banks", Numbers(m.changedBanks)},
                             {"unread_banks", Numbers(m.unreadBanks)}};
    const QJsonObject top{{"format", m.format},
                          {"created", Q(m.created)},
                          {"link", Q(m.link)},
                          {"banks", banks},
                          {"result", result}};
    const QByteArray json = QJsonDocument(top).toJson(QJsonDocument::Indented);
    return std::string(json.constData(), static_cast<std::size_t>(json.size()));
}

bool LoadManifest(const std::string& folder, Manifest& manifest, std::string& error) {
    const std::string path = (fs::path(folder) / kManifestFileName).string();
    std::string text;
    std::string why;
    if (!ReadWholeFile(path, text, why)) {
        error = "Cannot read " + path + ": " + why;
        return false;
    }
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError) {
        const auto [line, column] = LineAndColumn(bytes, parse.offset);
        error = path + " is not valid JSON: " + S(parse.errorString()) + " at line " +
                std::to_string(line) + ", column " + std::to_string(column) + ".";
        return false;
    }
    if (!document.isObject()) {
        error = path + " is not a backup manifest: it holds no JSON object.";
        return false;
    }
    const QJsonObject top = document.object();
    const QJsonValue format = top.value("format");
    if (!format.isDouble() || format.toDouble() != kManifestFormat) {
        std::string given = "names no format number";
        if (format.isDouble()) {
            const QByteArray number = QByteArray::number(format.toDouble(), 'g', 17);
            given = "is of format " + std::string(number.constData());
        }
        error = path + " " + given + "; this version reads format " +
                std::to_string(kManifestFormat) + " backups.";
        return false;
    }
    Reader r;
    Manifest m;
    m.created = r.Text(top, "created", "the manifest");
    m.link = r.Text(top, "link", "the manifest");
    const QJsonArray banks = r.Array(top, "banks", "the manifest");
    for (const auto& bankValue : banks) {
        const QJsonObject b = r.Object(bankValue, "a bank");
        ManifestBank bank;
        bank.number = r.Int(b, "number", "a bank");
        const std::string where = "bank " + std::to_string(bank.number);
        bank.name = r.Text(b, "name", where);
        for (const auto& programValue : r.Array(b, "programs", where)) {
            const QJsonObject p = r.Object(programValue, "a program of " + where);
            ManifestProgram program;
            program.number = r.Int(p, "number", "a program of " + where);
            const std::string at = "program " + std::to_string(program.number) + " of " + where;
            program.name = r.Text(p, "name", at);
            program.user = p.value("user").toBool(false);
            if (p.contains("file")) {
                program.file = r.Text(p, "file", at);
                if (program.file.empty()) r.Fail(at + " has an empty \"file\"");
                const QJsonValue size = p.value("bytes");
                if (!size.isDouble()) r.Fail(at + " has no number \"bytes\"");
                program.bytes = static_cast<std::int64_t>(size.toDouble(-1));
                program.sha256 = r.Text(p, "sha256", at);
            }
            bank.programs.push_back(std::move(program));
        }
        m.banks.push_back(std::move(bank));
    }
    // The result is what the backup says of itself; a manifest without it still lists its
    // files, so only its parts that are there are read.
    const QJsonObject result = top.value("result").toObject();
    m.written = result.value("written").toInt(0);
    m.cancelled = result.value("cancelled").toBool(false);
    for (const auto& v : result.value("changed_banks").toArray())
        m.changedBanks.push_back(v.toInt());
    for (const auto& v : result.value("unread_banks").toArray()) m.unreadBanks.push_back(v.toInt());
    for (const auto& v : result.value("skipped").toArray()) {
        const QJsonObject s = v.toObject();
        m.skipped.push_back({s.value("bank").toInt(-1), s.value("program").toInt(-1),
                             S(s.value("name").toString()), S(s.value("reason").toString()),
                             !s.contains("program")});
    }
    for (const auto& v : result.value("mismatched").toArray()) {
        const QJsonObject s = v.toObject();
        m.mismatched.push_back({s.value("bank").toInt(-1), s.value("program").toInt(-1),
                                S(s.value("name").toString()), S(s.value("got").toString())});
    }
    if (!r.error.empty()) {
        error = path + " is not a backup manifest: " + r.error + ".";
        return false;
    }
    manifest = std::move(m);
    return true;
}

std::string Sha256Hex(const std::string& data) {
    const QByteArray hash = QCryptographicHash::hash(
        QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size())),
        QCryptographicHash::Sha256);
    const QByteArray hex = hash.toHex();
    return std::string(hex.constData(), static_cast<std::size_t>(hex.size()));
}

std::string TrimmedName(const std::string& name) {
    std::size_t end = name.size();
    while (end > 0 && name[end - 1] == ' ') --end;
    return name.substr(0, end);
}

bool InsideFolder(const std::string& folder, const std::string& relative) {
    const fs::path rel(relative);
    if (relative.empty() || rel.is_absolute() || rel.has_root_name()) return false;
    std::error_code error;
    const fs::path root = fs::canonical(folder, error);
    if (error) return false;
    const fs::path resolved = fs::weakly_canonical(root / rel, error);
    if (error) return false;
    // Inside: the resolved path continues the root's path by at least one part.
    auto r = root.begin();
    auto p = resolved.begin();
    for (; r != root.end(); ++r, ++p) {
        if (p == resolved.end() || *p != *r) return false;
    }
    return p != resolved.end();
}

bool ReadWholeFile(const std::string& path, std::string& data, std::string& error) {
    const auto read = filereader::ReadRegularFile(path, kMaxArchiveFileBytes,
                                                  filereader::Links::Follow, data);
    if (read.result == filereader::Result::Read) return true;
    error = read.error;
    return false;
}

}  // namespace archive
