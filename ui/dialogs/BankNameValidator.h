#pragma once
// Accepts only the characters the unit can enter in a bank name (its name table). A rejected
// character is refused at once and reported through rejected(), whose text says which
// characters the unit accepts. A name of blanks only, or none, is Intermediate: it may be on its
// way to a name but is not one yet (nametable::IsBlankName), so a field that uses this validator
// does not take it with Enter.

#include <QValidator>

class CBankNameValidator : public QValidator {
    Q_OBJECT
public:
    explicit CBankNameValidator(QObject* parent = nullptr) : QValidator(parent) {}

    State validate(QString& input, int& pos) const override;

    // Whether every character of `name` can be entered on the unit.
    static bool IsAcceptable(const QString& name);
    // Whether `name` can be a bank's name: acceptable, and not blanks only.
    static bool IsBankName(const QString& name);
    // "A bank name needs at least one character other than a blank."
    static QString BlankNameMessage();
    // "The unit accepts only these characters in a bank name: ..."
    static QString AcceptedCharactersMessage();
    // `message` broken into lines of about 40 characters, for a tool tip that stays within the
    // window instead of running off it as one long line.
    static QString ToolTipText(const QString& message);

signals:
    void rejected(const QString& message) const;
};
