#pragma once
// The unit's texts (bank and program entries, information texts) are 8-bit; Latin-1 maps every
// byte to one character and back, so nothing is lost on the way through the window.

#include <QCoreApplication>
#include <QString>
#include <string>

#include "engine/ReplyParser.h"

inline QString FromUnit(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToUnit(const QString& text) {
    return text.toLatin1().toStdString();
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
    const auto parts = CReplyParser::SplitEntry(ToUnit(entry));
    return parts && parts->number >= 0 ? parts->number : -1;
}

// The title of an open bank: "Bank <number>: <name>" from the bank's entry as the list shows it.
inline QString BankTitle(const QString& entry) {
    const qsizetype blank = entry.indexOf(QLatin1Char(' '));
    return QCoreApplication::translate("UnitText", "Bank %1: %2")
        .arg(blank < 0 ? entry : entry.left(blank), blank < 0 ? QString() : entry.mid(blank + 1));
}
