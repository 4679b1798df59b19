#pragma once
// The unit's texts (bank and program entries, information texts) are 8-bit; Latin-1 maps every
// byte to one character and back, so nothing is lost on the way through the window.

#include <QString>
#include <string>

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

// The number of an entry: the decimal value of the leading digits of the text before its first
// blank (a text without digits gives 0).
inline int EntryNumber(const QString& entry) {
    const QString head = entry.trimmed().section(QLatin1Char(' '), 0, 0);
    int value = 0;
    for (QChar c : head) {
        if (!c.isDigit()) break;
        value = value * 10 + c.digitValue();
        if (value > 1000000) break;
    }
    return value;
}
