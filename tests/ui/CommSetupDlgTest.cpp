// The communications setup dialog: what it shows from the settings, and what OK takes back.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "engine/Librarian.h"
#include "link/serial/BaudRates.h"
#include "settings/LinkSettings.h"
#include "settings/MIDISettings.h"
#include "settings/SerialSettings.h"
#include "settings/SettingsStore.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/ScopedSettingsStore.h"
#include "ui/dialogs/CommSetupDlg.h"

#include <QAbstractItemView>
#include <QTimer>
#include <map>

#if defined(Q_OS_LINUX)
#include <termios.h>

#include "tests/link/serial/PtyPair.h"
#endif

class CommSetupDlgTest : public QObject {
    Q_OBJECT

    struct Records {
        CScopedSettingsStore store;
        CSerialSettings serial;
        CMIDISettings midi;
        CLinkSettings link{&serial, &midi};
    };

    static void Prepare(CCommSetupDlg& dialog, Records& records) {
        dialog.SetSettings(&records.link);
        dialog.m_fnSerialPorts = [] {
            return QStringList{QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0")};
        };
        dialog.m_fnMidiInputs = [] {
            return QStringList{QStringLiteral("In 0"), QStringLiteral("In 1")};
        };
        dialog.m_fnMidiOutputs = [] {
            return QStringList{QStringLiteral("Out 0"), QStringLiteral("Out 1"),
                               QStringLiteral("Out 2")};
        };
    }

private slots:
    void firstStartDefaultsAreShownSelected() {
        Records r;
        r.serial.Load();
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        QCOMPARE(dialog.m_pConnectionType->currentText(), QStringLiteral("Serial Port"));
        QCOMPARE(dialog.m_pPort->currentText(), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(dialog.m_pBaudRate->currentText(), QStringLiteral("38400"));
        QCOMPARE(dialog.m_pParity->currentText(), QStringLiteral("none"));
        QCOMPARE(dialog.m_pDataBits->currentText(), QStringLiteral("8"));
        QCOMPARE(dialog.m_pStopBits->currentText(), QStringLiteral("2"));
        QVERIFY(!dialog.m_pPort->isHidden());
        QVERIFY(dialog.m_pMidiIn->isHidden());
        QCOMPARE(dialog.m_bMidiFilled, 0);  // never shown: never filled
    }

    void storedPortIsOfferedEvenWhenTheSystemDoesNotListIt() {
        Records r;
        r.serial.m_strPortName = "/dev/pts/7";
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        QCOMPARE(dialog.m_pPort->count(), 3);
        QCOMPARE(dialog.m_pPort->currentText(), QStringLiteral("/dev/pts/7"));
    }

    void parityLetterRoundTrips() {
        Records r;
        r.serial.m_cParity = 'e';
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        QCOMPARE(dialog.m_pParity->currentText(), QStringLiteral("even"));
        dialog.m_pParity->setCurrentIndex(dialog.m_pParity->findText(QStringLiteral("odd")));
        dialog.accept();
        QCOMPARE(r.serial.m_cParity, 'o');
    }

    void okWithoutShowingMidiLeavesTheDevicesAlone() {
        Records r;
        r.midi.m_nInputDevice = 5;
        r.midi.m_nOutputDevice = 6;
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        dialog.accept();
        QCOMPARE(r.link.deviceType, 0);
        QCOMPARE(r.midi.m_nInputDevice, 5);
        QCOMPARE(r.midi.m_nOutputDevice, 6);
    }

    void bothGroupsAreTakenWhicheverTypeIsChosen() {
        Records r;
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        dialog.m_pBaudRate->setCurrentIndex(dialog.m_pBaudRate->findText(QStringLiteral("9600")));
        dialog.m_pConnectionType->setCurrentIndex(1);
        dialog.ShowConnectionControls(1);
        QVERIFY(dialog.m_pPort->isHidden());
        QVERIFY(!dialog.m_pMidiIn->isHidden());
        dialog.m_pMidiIn->setCurrentIndex(1);
        dialog.m_pMidiOut->setCurrentIndex(2);
        // Back to the serial port: the picked MIDI devices stay picked.
        dialog.m_pConnectionType->setCurrentIndex(0);
        dialog.ShowConnectionControls(0);
        QCOMPARE(dialog.m_pBaudRate->currentText(), QStringLiteral("9600"));
        dialog.accept();
        QCOMPARE(r.link.deviceType, 0);
        QCOMPARE(r.serial.m_nBaudRate, 9600);
        QCOMPARE(r.midi.m_nInputDevice, 1);
        QCOMPARE(r.midi.m_nOutputDevice, 2);
    }

    // The speeds offered are the serial backend's, each one taken back by OK; 76800, which the
    // port cannot set, is not offered, and a stored speed outside the list selects none.
    void offeredSpeedsAreTheSerialBackends() {
        QStringList expected;
        for (const int baud : serial::SupportedBaudRates()) expected << QString::number(baud);
        QVERIFY(!expected.contains(QStringLiteral("76800")));
        for (const QString& speed : expected) {
            Records r;
            CCommSetupDlg dialog;
            Prepare(dialog, r);
            dialog.InitDialog();
            QStringList offered;
            for (int i = 0; i < dialog.m_pBaudRate->count(); ++i)
                offered << dialog.m_pBaudRate->itemText(i);
            QCOMPARE(offered, expected);
            dialog.m_pBaudRate->setCurrentIndex(dialog.m_pBaudRate->findText(speed));
            dialog.accept();
            QCOMPARE(r.serial.m_nBaudRate, speed.toInt());
        }
        Records r;
        r.serial.m_nBaudRate = 76800;
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        QCOMPARE(dialog.m_pBaudRate->currentIndex(), -1);
    }

    // From the user's pick to the line: each speed is chosen in the open dialog's list with the
    // mouse and taken with OK, as the program runs the dialog; the engine's serial link, opened
    // on a pseudo-terminal, then runs the terminal at that speed.
    void aSpeedPickedInTheDialogIsTheSpeedOfThePort() {
#if !defined(Q_OS_LINUX)
        QSKIP("pseudo-terminals are opened the Linux way here");
#else
        // The termios codes, written out here rather than taken from the port's own table.
        const std::map<int, speed_t> codes = {{2400, B2400},    {4800, B4800},   {9600, B9600},
                                              {19200, B19200},  {38400, B38400}, {57600, B57600},
                                              {115200, B115200}};
        CPtyPair pty;
        CScopedSettingsStore store;
        store->WriteDword(kSectionSerial, "PortNumber", 1);
        store->WriteDword(kSectionSerial, "BaudRate", 38400);
        store->WriteDword(kSectionSerial, "Parity", 'n');
        store->WriteDword(kSectionSerial, "DataBits", 8);
        store->WriteDword(kSectionSerial, "StopBits", 2);
        store->WriteString(kSectionSerial, "PortName", pty.SlavePath());
        CRecordingHost host;
        CLibrarian engine(host);
        QVERIFY(host.Messages().empty());

        QVERIFY(!serial::SupportedBaudRates().empty());
        for (const int baud : serial::SupportedBaudRates()) {
            const QString speed = QString::number(baud);
            const auto code = codes.find(baud);
            QVERIFY2(code != codes.end(), qPrintable(speed));

            CCommSetupDlg dialog;
            dialog.SetSettings(&engine.GetLinkSettings());
            dialog.m_fnSerialPorts = [] { return QStringList{QStringLiteral("/dev/ttyS0")}; };
            bool picked = false;
            auto pick = [&dialog, &picked, speed] {
                QComboBox* list = dialog.m_pBaudRate;
                QTest::mouseClick(list, Qt::LeftButton);
                QAbstractItemView* view = list->view();
                QTRY_VERIFY(view->isVisible());
                const QModelIndex item = view->model()->index(list->findText(speed), 0);
                QVERIFY(item.isValid());
                view->scrollTo(item);
                // The list ignores a release that comes within a double-click time of its
                // opening (it would be the opening click's own); a user then clicks again.
                auto clickTheSpeed = [view, item] {
                    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                                      view->visualRect(item).center());
                    return !view->isVisible();
                };
                QTRY_VERIFY_WITH_TIMEOUT(clickTheSpeed(), 30000);
                QCOMPARE(list->currentText(), speed);
                auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("IDOK"));
                QVERIFY(ok != nullptr);
                picked = true;
                QTest::mouseClick(ok, Qt::LeftButton);
            };
            QTimer::singleShot(0, &dialog, [&dialog, &pick] {
                pick();
                if (dialog.isVisible()) dialog.reject();  // a failed step must not hang exec
            });
            const int result = dialog.exec();
            if (QTest::currentTestFailed()) return;
            QVERIFY2(picked, qPrintable(speed));
            QCOMPARE(result, int(QDialog::Accepted));
            engine.ApplyLinkSettings();  // as the program does after OK

            CDeviceLink& link = engine.CurrentLink();
            QCOMPARE(link.Open(512), 0);
            termios tio{};
            QCOMPARE(::tcgetattr(pty.SlaveFd(), &tio), 0);
            QVERIFY2(cfgetospeed(&tio) == code->second, qPrintable(speed));
            QVERIFY2(cfgetispeed(&tio) == code->second, qPrintable(speed));
            link.Close();
        }
        QVERIFY(host.Messages().empty());
#endif
    }

    void storedMidiDevicesAreSelectedAndMissingOnesLeaveNoSelection() {
        Records r;
        r.link.deviceType = 1;
        r.midi.m_nInputDevice = 1;
        r.midi.m_nOutputDevice = 9;  // no such output any more
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        QCOMPARE(dialog.m_pConnectionType->currentText(), QStringLiteral("MIDI"));
        QCOMPARE(dialog.m_pMidiIn->currentText(), QStringLiteral("In 1"));
        QCOMPARE(dialog.m_pMidiOut->currentIndex(), -1);
        dialog.accept();
        QCOMPARE(r.link.deviceType, 1);
        QCOMPARE(r.midi.m_nOutputDevice, 9);
    }

    void anOutOfRangeConnectionTypeShowsTheSerialPort() {
        Records r;
        r.link.deviceType = 7;
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        QCOMPARE(dialog.m_pConnectionType->currentText(), QStringLiteral("Serial Port"));
        QVERIFY(!dialog.m_pPort->isHidden());
        dialog.accept();
        QCOMPARE(r.link.deviceType, 0);
    }

    void cancelChangesNothing() {
        Records r;
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        dialog.m_pConnectionType->setCurrentIndex(1);
        dialog.m_pBaudRate->setCurrentIndex(0);
        dialog.reject();
        QCOMPARE(r.link.deviceType, 0);
        QCOMPARE(r.serial.m_nBaudRate, 38400);
    }

    void switchingGroupsKeepsTheDialogsSizeAndButtons() {
        Records r;
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("IDOK"));
        QVERIFY(ok != nullptr);
        const QSize size = dialog.size();
        const QPoint okAt = ok->mapTo(&dialog, QPoint(0, 0));
        for (int type : {1, 0, 1}) {
            dialog.m_pConnectionType->setFocus();
            QTest::keyClick(dialog.m_pConnectionType, type == 1 ? Qt::Key_Down : Qt::Key_Up);
            QTRY_COMPARE(dialog.m_pMidiIn->isHidden(), type == 0);
            QCoreApplication::processEvents();
            QCOMPARE(dialog.size(), size);
            QCOMPARE(ok->mapTo(&dialog, QPoint(0, 0)), okAt);
        }
    }

    void noMidiDevicesIsSaidButNotStored() {
        Records r;
        r.link.deviceType = 1;
        r.midi.m_nInputDevice = 2;
        r.midi.m_nOutputDevice = 3;
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.m_fnMidiInputs = [] { return QStringList(); };
        dialog.m_fnMidiOutputs = [] { return QStringList(); };
        dialog.InitDialog();
        for (QComboBox* list : {dialog.m_pMidiIn, dialog.m_pMidiOut}) {
            QCOMPARE(list->count(), 0);
            QCOMPARE(list->currentIndex(), -1);
            QCOMPARE(list->placeholderText(), QStringLiteral("No MIDI devices found"));
        }
        dialog.accept();
        QCOMPARE(r.link.deviceType, 1);
        QCOMPARE(r.midi.m_nInputDevice, 2);
        QCOMPARE(r.midi.m_nOutputDevice, 3);

        // With devices listed there is no such text, even when the stored one is missing.
        Records listed;
        listed.link.deviceType = 1;
        listed.midi.m_nOutputDevice = 9;
        CCommSetupDlg withDevices;
        Prepare(withDevices, listed);
        withDevices.InitDialog();
        QCOMPARE(withDevices.m_pMidiOut->placeholderText(), QString());
    }

    // The port field takes any path typed into it, as typed: a path that begins like a listed
    // one is not completed to it, blanks around it are dropped, and an empty field keeps the
    // stored port. Alt+I reaches the field; Enter in it is OK.
    void aTypedPortIsTakenAsTyped() {
        struct Case {
            const char* typed;
            const char* stored;
        };
        const Case cases[] = {
            {"/dev/ttyUSB", "/dev/ttyUSB"},
            {"/dev/ttyS", "/dev/ttyS"},
            {"  /dev/serial/by-id/usb-Unit_Cable-if00-port0 ",
             "/dev/serial/by-id/usb-Unit_Cable-if00-port0"},
            {"", "/dev/pts/7"},
        };
        for (const Case& c : cases) {
            Records r;
            r.serial.m_strPortName = "/dev/pts/7";
            CCommSetupDlg dialog;
            Prepare(dialog, r);
            dialog.InitDialog();
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QLineEdit* field = dialog.m_pPort->lineEdit();
            QVERIFY2(field != nullptr, "the port field cannot be typed into");
            QTest::keyClick(&dialog, Qt::Key_I, Qt::AltModifier);
            // The field's line edit hands its focus to the combo box it belongs to.
            QVERIFY(dialog.m_pPort->hasFocus());
            field->selectAll();
            QTest::keyClick(field, Qt::Key_Backspace);
            QTest::keyClicks(field, QString::fromLatin1(c.typed));
            QTest::keyClick(field, Qt::Key_Return);
            QTRY_VERIFY2(!dialog.isVisible(), c.typed);
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(r.serial.m_strPortName, std::string(c.stored));
            // The list is unchanged: a typed path is not added to the ports found.
            QCOMPARE(dialog.m_pPort->count(), 3);
        }
    }

    void choosingATtySKeepsThePortNumberInStep() {
        Records r;
        CCommSetupDlg dialog;
        Prepare(dialog, r);
        dialog.InitDialog();
        dialog.m_pPort->setCurrentIndex(dialog.m_pPort->findText(QStringLiteral("/dev/ttyUSB0")));
        dialog.accept();
        QCOMPARE(r.serial.m_strPortName, std::string("/dev/ttyUSB0"));
        QCOMPARE(r.serial.m_nPortNumber, 1);
    }
};

QTEST_MAIN(CommSetupDlgTest)
#include "CommSetupDlgTest.moc"
