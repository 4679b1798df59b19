#include "ui/dialogs/BankNameValidator.h"

#include "engine/NameTable.h"

bool CBankNameValidator::IsAcceptable(const QString& name) {
    for (QChar c : name) {
        if (c.unicode() > 0x7F || nametable::Position(static_cast<char>(c.unicode())) < 0) {
            return false;
        }
    }
    return true;
}

bool CBankNameValidator::IsBankName(const QString& name) {
    return IsAcceptable(name) && !nametable::IsBlankName(name.toStdString());
}

QString CBankNameValidator::BlankNameMessage() {
    return tr("A bank name needs at least one character other than a blank.");
}

QString CBankNameValidator::AcceptedCharactersMessage() {
    QString symbols;
    for (char c : nametable::kCharacters) {
        const QChar q = QLatin1Char(c);
        if (q.isLetterOrNumber() || q == QLatin1Char(' ') || symbols.contains(q)) continue;
        symbols += q;
    }
    return tr("The unit accepts only these characters in a bank name: letters A-Z and a-z, "
              "digits 0-9, the blank and %1")
        .arg(symbols);
}

QString CBankNameValidator::ToolTipText(const QString& message) {
    constexpr int kLineLength = 40;
    QStringList lines;
    QString line;
    for (const QString& word : message.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > kLineLength) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty()) lines << line;
    return lines.join(QLatin1Char('\n'));
}

QValidator::State CBankNameValidator::validate(QString& input, int& /*pos*/) const {
    if (!IsAcceptable(input)) {
        emit rejected(AcceptedCharactersMessage());
        return Invalid;
    }
    return IsBankName(input) ? Acceptable : Intermediate;
}
