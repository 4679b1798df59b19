// The Create Bank and Find Patch dialogs.

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolTip>

#include "ui/dialogs/BankNameValidator.h"
#include "ui/dialogs/CreateBankDlg.h"
#include "ui/dialogs/FindPatchDlg.h"

class SmallDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void createBankFocusesTheSelectedName() {
        CCreateBankDlg dialog;
        dialog.SetBank(3, QStringLiteral("Bank 3"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.NumberField()->value(), 3);
        QCOMPARE(QApplication::focusWidget(), dialog.NameField());
        QCOMPARE(dialog.NameField()->selectedText(), QStringLiteral("Bank 3"));
        QTest::keyClicks(dialog.NameField(), QStringLiteral("Drums"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.BankName(), QStringLiteral("Drums"));
        QCOMPARE(dialog.BankNumber(), 3);
    }

    void aBankWithoutANameIsNeverCreated() {
        CCreateBankDlg dialog;
        dialog.SetBank(3, QStringLiteral("Bank 3"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("IDOK"));
        QVERIFY(ok != nullptr);
        QVERIFY(ok->isEnabled());
        for (const QString& typed : {QString(), QStringLiteral("  ")}) {
            dialog.NameField()->selectAll();
            QTest::keyClick(dialog.NameField(), Qt::Key_Backspace);
            QTest::keyClicks(dialog.NameField(), typed);
            QCOMPARE(dialog.NameField()->text(), typed);
            QVERIFY(!ok->isEnabled());
            QTest::keyClick(dialog.NameField(), Qt::Key_Return);  // the default button
            dialog.accept();                                      // and OK by any other way
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
        }
        QTest::keyClicks(dialog.NameField(), QStringLiteral("A"));
        QVERIFY(ok->isEnabled());
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.BankName(), QStringLiteral("  A"));
    }

    void spinArrowsStopAtTheEnds() {
        CCreateBankDlg dialog;
        dialog.SetBank(99, QString());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.NumberField()->stepUp();
        QCOMPARE(dialog.NumberField()->value(), 99);
        dialog.NumberField()->setValue(0);
        dialog.NumberField()->stepDown();
        QCOMPARE(dialog.NumberField()->value(), 0);
        dialog.NumberField()->stepUp();
        QCOMPARE(dialog.NumberField()->value(), 1);
    }

    void aNumberOutOfRangeIsRefusedWithTheFocusBack() {
        CCreateBankDlg dialog;
        QStringList shown;
        dialog.m_fnShowRangeMessage = [&shown](const QString& text) { shown << text; };
        dialog.SetBank(3, QStringLiteral("Bank 3"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.NumberField()->setFocus();
        dialog.NumberField()->selectAll();
        QTest::keyClicks(dialog.NumberField(), QStringLiteral("120"));
        QTest::keyClick(dialog.NumberField(), Qt::Key_Tab);
        QTRY_COMPARE(shown,
                     QStringList{QStringLiteral("Please enter an integer between 0 and 99.")});
        QVERIFY(dialog.NumberField()->hasFocus());
        QVERIFY(dialog.isVisible());
        dialog.accept();  // OK validates the same way
        QVERIFY(dialog.isVisible());
        QCOMPARE(shown.size(), 2);
    }

    void bankNameValidatorNamesWhatTheUnitAccepts() {
        QVERIFY(CBankNameValidator::IsAcceptable(QStringLiteral("Jo's Bank-2 (live)")));
        QVERIFY(!CBankNameValidator::IsAcceptable(QStringLiteral("say \"hi\"")));
        QVERIFY(!CBankNameValidator::IsAcceptable(QStringLiteral("caf\u00e9")));
        const QString message = CBankNameValidator::AcceptedCharactersMessage();
        QVERIFY(message.startsWith(QStringLiteral("The unit accepts only these characters")));
        QVERIFY(message.contains(QLatin1Char('~')));
        QVERIFY(!message.contains(QLatin1Char('"')));
    }

    void aRefusedCharacterIsExplainedInLinesThatFitTheDialog() {
        CCreateBankDlg dialog;
        dialog.SetBank(0, QStringLiteral("Bank 3"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\""));
        QApplication::sendEvent(dialog.NameField(), &press);
        QCOMPARE(dialog.NameField()->text(), QStringLiteral("Bank 3"));  // refused
        QTRY_VERIFY(QToolTip::isVisible());
        const QString tip = QToolTip::text();
        QCOMPARE(QString(tip).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                 CBankNameValidator::AcceptedCharactersMessage());
        const QFontMetrics metrics(QToolTip::font());
        for (const QString& line : tip.split(QLatin1Char('\n'))) {
            QVERIFY2(metrics.horizontalAdvance(line) <= 420, qPrintable(line));
        }
    }

    void findPatchStartsEmptyAtEveryOpening() {
        for (int opening = 0; opening < 2; ++opening) {
            CFindPatchDlg dialog;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QCOMPARE(dialog.TextField()->text(), QString());
            QCOMPARE(QApplication::focusWidget(), dialog.TextField());
            if (opening == 0) QTest::keyClicks(dialog.TextField(), QStringLiteral("hall"));
            dialog.accept();
            QCOMPARE(dialog.FindWhat(), opening == 0 ? QStringLiteral("hall") : QString());
        }
    }
};

QTEST_MAIN(SmallDialogsTest)
#include "SmallDialogsTest.moc"
