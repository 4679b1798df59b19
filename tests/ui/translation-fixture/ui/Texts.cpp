// The texts of the translation check's own test (TranslationTest.cpp): read by lupdate, never
// compiled. Beside each sound entry of translations/quorlin_de.ts is one fault of every kind.

#include <QCoreApplication>

void Texts(int n) {
    QCoreApplication::translate("Texts", "Sound");
    QCoreApplication::translate("Texts", "&Save");
    QCoreApplication::translate("Texts", "%n patches", nullptr, n);
    QCoreApplication::translate("Texts", "Bank %1 of %2");
    QCoreApplication::translate("Texts", "Left unfinished");
    QCoreApplication::translate("Texts", "&Open");
    QCoreApplication::translate("Texts", "Tip\nTool tip");
    QCoreApplication::translate("Texts", "%n programs", nullptr, n);
    QCoreApplication::translate("Texts", "A text added since the last update");
}
