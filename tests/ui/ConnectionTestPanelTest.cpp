// The Test button of the Communications Setup dialog: it checks the connection the dialog shows
// (not the saved one) against quorlin-sim, a missing port and a silent one, off the GUI thread,
// and saves nothing.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "link/SerialLink.h"
#include "settings/LinkSettings.h"
#include "settings/MIDISettings.h"
#include "settings/SerialSettings.h"
#include "tests/cli/SimServerProcess.h"
#include "tests/link/serial/PtyPair.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"
#include "ui/dialogs/CommSetupDlg.h"
#include "ui/dialogs/ConnectionTestPanel.h"

class ConnectionTestPanelTest : public QObject {
    Q_OBJECT

    struct Records {
        CScopedSettingsStore store;
        CSerialSettings serial;
        CMIDISettings midi;
        CLinkSettings link{&serial, &midi};
    };

    // The dialog over `records`, its port list the one path given (besides the stored one).
    static void Prepare(CCommSetupDlg& dialog, Records& records, const QString& listed) {
        records.serial.m_bPersist = false;
        records.midi.m_bPersist = false;
        dialog.SetSettings(&records.link);
        dialog.m_fnSerialPorts = [listed] { return QStringList{listed}; };
        dialog.InitDialog();
        dialog.m_pPort->setCurrentIndex(dialog.m_pPort->findText(listed));
    }

    static void RunTest(CCommSetupDlg& dialog) {
        QTest::mouseClick(dialog.m_pTest->m_pTestButton, Qt::LeftButton);
        QVERIFY(dialog.m_pTest->IsRunning());
        QVERIFY(!dialog.m_pTest->m_pTestButton->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.m_pTest->IsRunning(), 60000);
        QVERIFY(dialog.m_pTest->m_pTestButton->isEnabled());
    }

private slots:
    void theShownPortIsTestedAndNothingIsSaved() {
        CSimServerProcess sim({});
        QVERIFY(!sim.Path().empty());
        Records r;
        r.serial.m_strPortName = "/dev/ttyS0";  // saved: a port that leads nowhere
        CCommSetupDlg dialog;
        Prepare(dialog, r, QString::fromStdString(sim.Path()));
        dialog.show();
        QSignalSpy finished(dialog.m_pTest, &CConnectionTestPanel::testFinished);
        RunTest(dialog);

        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        const QStringList lines = dialog.m_pTest->Lines();
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], QString::fromStdString("ok port " + sim.Path() +
                                                  " \u2014 exists and is a terminal device"));
        for (const QString& line : lines) QVERIFY2(line.startsWith("ok "), qPrintable(line));
        QVERIFY(lines[3].contains(QStringLiteral("at 38400 baud")));
        // Not saved: neither the record nor the store saw the tested port.
        QCOMPARE(r.serial.m_strPortName, std::string("/dev/ttyS0"));
        QVERIFY(!(*r.store).ReadString("SerialSetup", "PortName").has_value());
        QVERIFY(dialog.isVisible());
    }

    void aMissingPortFailsWithTheSystemsReason() {
        Records r;
        const QString missing = QStringLiteral("/dev/quorlin-no-such-port");
        CCommSetupDlg dialog;
        Prepare(dialog, r, missing);
        RunTest(dialog);
        QCOMPARE(dialog.m_pTest->Lines(),
                 QStringList{QStringLiteral("FAIL port /dev/quorlin-no-such-port \u2014 No such "
                                            "file or directory")});
    }

    void theDialogStaysResponsiveWhileASilentUnitIsTested() {
        CPtyPair silent;
        Records r;
        CCommSetupDlg dialog;
        Prepare(dialog, r, QString::fromStdString(silent.SlavePath()));
        dialog.m_pTest->m_timings = {1500, 200, 1000};
        dialog.show();
        QTest::mouseClick(dialog.m_pTest->m_pTestButton, Qt::LeftButton);
        // The GUI thread keeps running its events while the check waits for the unit: a timer
        // fires, the lines found so far show, a list can be changed.
        bool timerFired = false;
        QTimer::singleShot(50, &dialog, [&timerFired] { timerFired = true; });
        QTRY_VERIFY_WITH_TIMEOUT(timerFired, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.m_pTest->Lines().size() >= 3, 5000);
        QVERIFY(dialog.m_pTest->IsRunning());
        dialog.m_pBaudRate->setCurrentIndex(0);
        QCOMPARE(dialog.m_pBaudRate->currentText(), QStringLiteral("2400"));

        QTRY_VERIFY_WITH_TIMEOUT(!dialog.m_pTest->IsRunning(), 60000);
        const QStringList lines = dialog.m_pTest->Lines();
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[3], QStringLiteral("FAIL unit answers \u2014 no answer to the root query "
                                          "within 1500 ms at 38400 baud"));
        QVERIFY(lines[4].startsWith(QStringLiteral("FAIL other speeds \u2014 no answer at")));
        // A second test takes the speed now shown.
        dialog.m_pTest->m_timings = {300, 100, 1000};
        RunTest(dialog);
        QVERIFY2(dialog.m_pTest->Lines().value(3).contains(QStringLiteral("at 2400 baud")),
                 qPrintable(dialog.m_pTest->Lines().join('\n')));
    }

    void closingTheDialogEndsARunningTest() {
        CPtyPair silent;
        Records r;
        CCommSetupDlg dialog;
        Prepare(dialog, r, QString::fromStdString(silent.SlavePath()));
        dialog.m_pTest->m_timings = {1000, 1000, 1000};
        dialog.show();
        QTest::mouseClick(dialog.m_pTest->m_pTestButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dialog.m_pTest->Lines().size() >= 3, 5000);
        dialog.reject();
        // The dialog closes once the check has ended and let go of the port: it did not go on
        // through the other speeds.
        QVERIFY(dialog.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 10000);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.m_pTest->IsRunning());
        QCOMPARE(CConnectionTestPanel::RunningChecks(), 0);
        const QStringList lines = dialog.m_pTest->Lines();
        QVERIFY2(lines.size() <= 5, qPrintable(lines.join('\n')));
        if (lines.size() == 5)
            QCOMPARE(lines[4], QStringLiteral("FAIL other speeds \u2014 the check was ended"));
    }

    // A path that the system does not list can be typed into the port field: Test checks that
    // port, and OK takes it into the settings, which save it. The list offers a longer path
    // that begins with the typed one; it must not be taken instead.
    void aTypedPortIsTestedAndTakenByOk() {
        CSimServerProcess sim({});
        QVERIFY(!sim.Path().empty());
        const QString typed = QString::fromStdString(sim.Path());
        Records r;
        r.serial.m_strPortName = "/dev/ttyS0";
        CCommSetupDlg dialog;
        Prepare(dialog, r, typed + QLatin1Char('0'));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit* field = dialog.m_pPort->lineEdit();
        QVERIFY2(field != nullptr, "the port field cannot be typed into");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, typed);
        QCOMPARE(dialog.m_pPort->currentText(), typed);

        QSignalSpy finished(dialog.m_pTest, &CConnectionTestPanel::testFinished);
        RunTest(dialog);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QCOMPARE(dialog.m_pTest->Lines().value(0),
                 QStringLiteral("ok port %1 — exists and is a terminal device").arg(typed));

        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(r.serial.m_strPortName), typed);
        r.serial.Save();
        QCOMPARE(QString::fromStdString(
                     (*r.store).ReadString("SerialSetup", "PortName").value_or(std::string())),
                 typed);
    }

    // Esc or Cancel while Test waits for a silent unit: the wait ends at once (the check's
    // waits are far longer than the test may take, and its line says it was ended), the dialog
    // closes and the port can be opened exclusively again.
    void escOrCancelDuringATestEndsItAndFreesThePort() {
        for (const bool escape : {true, false}) {
            const char* how = escape ? "Esc" : "Cancel";
            CPtyPair silent;
            Records r;
            CCommSetupDlg dialog;
            Prepare(dialog, r, QString::fromStdString(silent.SlavePath()));
            dialog.m_pTest->m_timings = {600000, 600000, 600000};
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QTest::mouseClick(dialog.m_pTest->m_pTestButton, Qt::LeftButton);
            // The root query is on the line: the check waits for the unit.
            std::string query;  // gathered: the macro evaluates its condition once more
            QTRY_VERIFY2_WITH_TIMEOUT(!(query += silent.ReadFrame(50)).empty(), how, 10000);
            QVERIFY(dialog.m_pTest->IsRunning());
            if (escape) {
                QWidget* focus = QApplication::focusWidget();
                QTest::keyClick(focus != nullptr ? focus : &dialog, Qt::Key_Escape);
            } else {
                QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("IDCANCEL")),
                                  Qt::LeftButton);
            }
            QTRY_VERIFY2_WITH_TIMEOUT(!dialog.isVisible(), how, 30000);
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(!dialog.m_pTest->IsRunning());
            QCOMPARE(dialog.m_pTest->Lines().value(3),
                     QStringLiteral("FAIL unit answers — the check was ended"));
            QCOMPARE(dialog.m_pTest->Lines().size(), 4);

            CRecordingHost host;
            CSerialSettings line;
            line.m_bPersist = false;
            line.m_strPortName = silent.SlavePath();
            CSerialLink link(host, line);
            QVERIFY2(link.Open(512) == 0, how);
            link.Close();
            QTRY_COMPARE(CConnectionTestPanel::RunningChecks(), 0);
        }
    }

    void destroyingThePanelDuringATestIsHarmless() {
        CPtyPair silent;
        Records r;
        auto dialog = std::make_unique<CCommSetupDlg>();
        Prepare(*dialog, r, QString::fromStdString(silent.SlavePath()));
        dialog->m_pTest->m_timings = {300, 50, 1000};
        QTest::mouseClick(dialog->m_pTest->m_pTestButton, Qt::LeftButton);
        QVERIFY(dialog->m_pTest->IsRunning());
        dialog.reset();
        // The check ends on its own; the lines it still finds, and its end, go nowhere.
        QTRY_COMPARE_WITH_TIMEOUT(CConnectionTestPanel::RunningChecks(), 0, 30000);
        QCoreApplication::sendPostedEvents();
    }
};

QTEST_MAIN(ConnectionTestPanelTest)
#include "ConnectionTestPanelTest.moc"
