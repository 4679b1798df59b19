// Messages that the engine asks for while an operation runs, with the real message box and the
// real half-second progress delay: the user can always answer the box, nothing opens over it, and
// a progress dialog never blocks the main window.

#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

#include "engine/EngineMessages.h"
#include "settings/LinkSettings.h"
#include "settings/SettingsStore.h"
#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"

namespace {

QMessageBox* VisibleMessageBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible())
            return box;
    }
    return nullptr;
}

// Watches for the next real message box, looks at what surrounds it once the progress delay is
// long over, then clicks its OK button as a user would. If the click does not close it (the box
// is blocked), the box is closed by force so that the test ends instead of hanging. Works from a
// timer, step by step, since the box runs a local event loop of its own.
class CMessageAnswerer : public QObject {
public:
    explicit CMessageAnswerer(CEngineWorker& worker) : m_worker(worker) {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, &CMessageAnswerer::Step);
    }

    void Arm() { m_timer.start(); }

    QString text;
    bool seen = false;
    bool progressShownOverBox = false;
    bool boxWasActiveModal = false;
    bool answeredByClick = false;

private:
    void Step() {
        if (!seen) {
            m_box = VisibleMessageBox();
            if (m_box == nullptr) return;
            seen = true;
            text = m_box->text();
            m_since.start();
            return;
        }
        if (!m_clicked) {
            if (m_since.elapsed() < 900) return;  // well past the half-second progress delay
            if (m_box != nullptr) {
                progressShownOverBox = m_worker.ProgressDialog() != nullptr &&
                                       m_worker.ProgressDialog()->isVisible();
                boxWasActiveModal = QApplication::activeModalWidget() == m_box;
                QTest::mouseClick(m_box->button(QMessageBox::Ok), Qt::LeftButton);
            }
            // A box that takes the click closes at once.
            answeredByClick = m_box == nullptr || !m_box->isVisible();
            if (answeredByClick) m_timer.stop();
            m_clicked = true;
            m_since.restart();
            return;
        }
        if (m_box == nullptr || !m_box->isVisible()) {
            m_timer.stop();
        } else if (m_since.elapsed() > 2000) {
            m_timer.stop();
            if (m_worker.ProgressDialog() != nullptr) m_worker.ProgressDialog()->hide();
            m_box->done(QMessageBox::Ok);
        }
    }

    CEngineWorker& m_worker;
    QTimer m_timer;
    QPointer<QMessageBox> m_box;
    QElapsedTimer m_since;
    bool m_clicked = false;
};

// A fixture whose messages are real message boxes and whose progress dialog has its real delay.
void UseRealMessagesAndDelay(CUiFixture& f) {
    f.host.SetPresenter(nullptr);
    f.worker.SetProgressDelay(500);
}

}  // namespace

class OperationMessagesTest : public QObject {
    Q_OBJECT

private slots:
    void aMessageDuringAnOperationCanBeAnsweredAndNothingOpensOverIt_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("message");
        QTest::newRow("delete a bank that is not empty")
            << "delete bank" << QString::fromLatin1(engine_messages::kBankNotEmpty.data());
        QTest::newRow("load a file that is not .sig")
            << "load txt" << QString::fromLatin1(engine_messages::kOnlySigFiles.data());
        QTest::newRow("load a .sig larger than the unit takes") << "load oversized" << QString();
        QTest::newRow("load a fifo named .sig") << "load fifo" << QString();
        QTest::newRow("load an empty .sig") << "load empty" << QString();
        QTest::newRow("load a .sig without a program name") << "load nameless" << QString();
        QTest::newRow("start with a port that does not exist") << "missing port" << QString();
    }

    void aMessageDuringAnOperationCanBeAnsweredAndNothingOpensOverIt() {
        QFETCH(QString, what);
        QFETCH(QString, message);
        CUiFixture f;
        QTemporaryDir dir;
        CMessageAnswerer answerer(f.worker);
        int opensBefore = -1;  // the link's opens before a file that must not reach it
        if (what == QLatin1String("missing port")) {
            UseRealMessagesAndDelay(f);
            // Complete serial settings, so that no first-run question comes before the window.
            const std::string serial(kSectionSerial);
            f.settings->WriteDword(serial, "PortNumber", 1);
            f.settings->WriteDword(serial, "BaudRate", 38400);
            f.settings->WriteDword(serial, "Parity", 'n');
            f.settings->WriteDword(serial, "DataBits", 8);
            f.settings->WriteDword(serial, "StopBits", 2);
            f.settings->WriteString(serial, "PortName", "/nonexistent/quorlin-tty");
            f.Build([](IHost& h) { return std::make_unique<CLibrarian>(h); });
            f.frame->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.frame.get()));
            answerer.Arm();
            QCOMPARE(f.ShowBanks(), -2);
        } else {
            f.Start();
            UseRealMessagesAndDelay(f);
            answerer.Arm();
            if (what == QLatin1String("delete bank")) {
                f.Select(f.RowOf(0));
                f.Commands().DeleteSelection();
                f.Settle();
            } else {
                f.OpenBank(3);
                QString path;
                if (what == QLatin1String("load txt")) {
                    path = dir.filePath(QStringLiteral("notes.txt"));
                    QFile file(path);
                    QVERIFY(file.open(QIODevice::WriteOnly));
                    file.write("\"Hall\" 1\n");
                } else if (what == QLatin1String("load oversized")) {
                    path = dir.filePath(QStringLiteral("huge.sig"));
                    QFile file(path);
                    QVERIFY(file.open(QIODevice::WriteOnly));
                    QVERIFY(file.resize(static_cast<qint64>(CLibrarian::kMaxPatchFileSize) + 1));
                } else if (what == QLatin1String("load empty") ||
                           what == QLatin1String("load nameless")) {
                    // Refused with the reason before the unit is asked anything.
                    const bool empty = what == QLatin1String("load empty");
                    path = dir.filePath(empty ? QStringLiteral("empty.sig")
                                              : QStringLiteral("nameless.sig"));
                    QFile file(path);
                    QVERIFY(file.open(QIODevice::WriteOnly));
                    if (!empty) file.write("mix 50\n");
                    message = QStringLiteral("The patch file \"") + path +
                              (empty ? QStringLiteral("\" is empty (0 bytes): it holds no "
                                                      "program. Choose a .sig file saved from "
                                                      "the unit.")
                                     : QStringLiteral("\" holds no program name (a name between "
                                                      "double quotes): it is not a program of "
                                                      "the unit. Choose a .sig file saved from "
                                                      "the unit."));
                    opensBefore = f.link->OpenCount();
                } else {
                    path = dir.filePath(QStringLiteral("pipe.sig"));
                    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
                }
                const QStringList before = f.Entries();
                f.Commands().LoadPatch(path);
                f.Settle();
                QCOMPARE(f.Entries(), before);
                if (opensBefore >= 0) QCOMPARE(f.link->OpenCount(), opensBefore);
            }
        }
        QVERIFY2(answerer.seen, "no message box appeared");
        if (!message.isEmpty()) QCOMPARE(answerer.text, message);
        QVERIFY2(!answerer.progressShownOverBox, "a progress dialog opened over the message");
        QVERIFY(answerer.boxWasActiveModal);
        QVERIFY2(answerer.answeredByClick, "the message box could not be answered");
        QVERIFY(!f.worker.IsBusy());
        QVERIFY(f.worker.ProgressDialog() == nullptr);
    }

    void anOpenProgressDialogStepsAsideForAMessageAndComesBack() {
        CUiFixture f;
        f.Start();
        UseRealMessagesAndDelay(f);
        CPauseGate gate;  // holds the bank select, past the progress delay
        f.onPause = gate.Hook();
        bool progressShown = false;
        bool progressBlocksWindow = true;
        CMessageAnswerer answerer(f.worker);
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(gate.Held());
            QTRY_VERIFY_WITH_TIMEOUT(
                f.worker.ProgressDialog() != nullptr && f.worker.ProgressDialog()->isVisible(),
                5000);
            progressShown = true;
            // The main window stays a window of its own: closing it still reaches it.
            progressBlocksWindow = QApplication::activeModalWidget() != nullptr;
            // The unit falls silent: reading the programs ends in a message.
            f.link->SetSilent(true);
            answerer.Arm();
            gate.Release();
        });
        f.Select(f.RowOf(3));
        f.View().ActivateSelection();
        f.Settle();
        f.onPause = nullptr;
        f.link->SetSilent(false);
        QVERIFY(progressShown);
        QVERIFY(!progressBlocksWindow);
        QVERIFY(answerer.seen);
        QCOMPARE(answerer.text, QString::fromLatin1(engine_messages::kNoCommunication.data()));
        QVERIFY(!answerer.progressShownOverBox);
        QVERIFY(answerer.answeredByClick);
        QVERIFY(!f.worker.IsBusy());
    }
};

QTEST_MAIN(OperationMessagesTest)
#include "OperationMessagesTest.moc"
