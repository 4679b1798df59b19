// The Test button of the Communications Setup dialog: it checks the connection the dialog shows
// (not the saved one) against quorlin-sim, a missing port and a silent one, off the GUI thread,
// and saves nothing.

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "settings/LinkSettings.h"
#include "settings/MIDISettings.h"
#include "settings/SerialSettings.h"
#include "tests/cli/SimServerProcess.h"
#include "tests/link/serial/PtyPair.h"
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
