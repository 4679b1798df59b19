#pragma once
// Text at the desktop program's edge. Every std::string that the layers below take or give (the
// engine's lists, names, information texts and messages, the archive's and the library's texts,
// what goes through IHost) is UTF-8: the unit's own bytes were made text by the engine
// (engine/UnitText.h). The desktop turns them into QString here and back, and nowhere else.
// File paths are the file system's: ToFilePath and FromFilePath, never text functions.

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <string>
#include <string_view>

#include "engine/ReplyParser.h"

inline QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// A path for the layers below, and one they give. On Windows those take UTF-8 and widen it
// themselves (settings/WinText.h); elsewhere a path is the file system's bytes (QFile's encoding:
// UTF-8, decomposed on macOS).
inline std::string ToFilePath(const QString& path) {
#ifdef Q_OS_WIN
    return ToUtf8(path);
#else
    const QByteArray bytes = QFile::encodeName(path);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
#endif
}

inline QString FromFilePath(std::string_view path) {
#ifdef Q_OS_WIN
    return FromUtf8(path);
#else
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
#endif
}

// An entry as the list shows it: the unit's leading blanks removed, the rest (trailing blanks
// included) unchanged.
inline QString StripLeadingBlanks(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace()) ++i;
    return text.mid(i);
}

// A name as the unit's names are compared (ProgramFetch.h): without trailing blanks.
inline QString WithoutTrailingBlanks(QString text) {
    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
    return text;
}

// The number of an entry, read as the engine reads it (CReplyParser::SplitEntry); -1 for an
// entry that has none ("12", "x Name") or a negative one: it is shown, but cannot be acted on.
inline int EntryNumber(const QString& entry) {
    const auto parts = CReplyParser::SplitEntry(ToUtf8(entry));
    return parts && parts->number >= 0 ? parts->number : -1;
}

// The title of an open bank: "Bank <number>: <name>" from the bank's entry as the list shows it.
inline QString BankTitle(const QString& entry) {
    const qsizetype blank = entry.indexOf(QLatin1Char(' '));
    return QCoreApplication::translate("UnitText", "Bank %1: %2")
        .arg(blank < 0 ? entry : entry.left(blank), blank < 0 ? QString() : entry.mid(blank + 1));
}
