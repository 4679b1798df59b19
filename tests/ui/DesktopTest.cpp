// The desktop program on a real X server (a private Xvfb), where a drag runs the window system's
// own drag-and-drop loop and a close comes from outside as a window manager sends it: a program
// dragged out of the list lands as a file on a real drop target, and closing the window during a
// backup stops it between programs.
//
// The offscreen platform ends every drag at once and lets any close through, so these run on the
// xcb platform. Without Xvfb they report themselves skipped, unless QUORLIN_REQUIRE_DISPLAY=1.

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <xcb/xcb.h>

#include "sim/ProgramText.h"
#include "tests/ui/PrivateXServer.h"
#include "tests/ui/UiFixture.h"

namespace {

CPrivateXServer g_server;
QString g_serverError;

bool NeedDisplay() {
    return qEnvironmentVariableIntValue("QUORLIN_REQUIRE_DISPLAY") == 1;
}

#define REQUIRE_X_SERVER()                                                         \
    do {                                                                           \
        if (g_server.Display().isEmpty()) {                                        \
            if (NeedDisplay()) QFAIL(qPrintable(g_serverError));                   \
            QSKIP(qPrintable(QStringLiteral("no X server: ") + g_serverError));    \
        }                                                                          \
    } while (false)

// A window of another program as far as the drag is concerned: it takes dropped files and reads
// them the moment they land, as a file manager does.
class CDropTarget : public QWidget {
public:
    CDropTarget() {
        setAcceptDrops(true);
        setWindowTitle(QStringLiteral("Drop target"));
    }

    bool dropped = false;
    QStringList formats;
    QList<QUrl> urls;
    QByteArray content;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
    void dropEvent(QDropEvent* event) override {
        formats = event->mimeData()->formats();
        urls = event->mimeData()->urls();
        if (!urls.isEmpty()) {
            QFile file(urls.first().toLocalFile());
            if (file.open(QIODevice::ReadOnly)) content = file.readAll();
        }
        event->setDropAction(Qt::CopyAction);
        event->accept();
        dropped = true;
    }
};

// Runs a gesture of real X pointer events (xdotool) while the test's event loop goes on.
void RunPointerGesture(QProcess& process, const QStringList& steps) {
    process.start(QStringLiteral("xdotool"), steps);
}

QStringList Move(const QPoint& p) {
    return {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())};
}

QStringList Sleep(double seconds) {
    return {QStringLiteral("sleep"), QString::number(seconds)};
}

// Asks the window to close as a window manager does: a WM_DELETE_WINDOW message from outside.
bool SendWindowManagerClose(WId window) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) return false;
    auto atom = [connection](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t value = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return value;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window);
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    // A round trip, so that the server has handled the message before this connection goes.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
    return true;
}

// The unit takes its time: every pause really passes (a little), so that an operation runs long
// enough for the pointer to move and for a close to arrive in the middle.
void SlowUnit(CUiFixture& f, int msPerPause) {
    f.onPause = [msPerPause](int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(msPerPause));
    };
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void aProgramDraggedOutLandsAsAFileOnARealDropTarget() {
        REQUIRE_X_SERVER();
        CUiFixture f;
        f.unit.AddBank(40, "Backup");
        f.unit.AddProgram(40, 0, sim::MakeProgramText("Lead", "Plate", 20, {"a"}), true);
        f.unit.AddProgram(40, 1, sim::MakeProgramText("Pad", "Hall", 40, {"c"}), true);
        f.Start();
        f.OpenBank(40);
        f.frame->move(0, 0);
        CDropTarget target;
        target.setGeometry(700, 150, 300, 300);
        target.show();
        QVERIFY(QTest::qWaitForWindowExposed(&target));
        QTest::qWait(200);
        SlowUnit(f, 250);  // loading the program takes a while

        const int row = f.RowOf(0);
        f.Select(row);
        const QRect rect = f.List().visualItemRect(f.List().item(row));
        const QPoint start = f.List().viewport()->mapToGlobal(rect.center());
        const QPoint over = target.mapToGlobal(QPoint(150, 150));
        QStringList steps;
        steps << Move(start) << QStringLiteral("mousedown") << QStringLiteral("1");
        // The pointer keeps moving while the program is loaded.
        for (int i = 1; i <= 40; ++i) steps << Sleep(0.05) << Move(start + QPoint(i, i % 7));
        steps << Sleep(1.0) << Move(over) << Sleep(0.3) << Move(over + QPoint(5, 5)) << Sleep(0.3)
              << QStringLiteral("mouseup") << QStringLiteral("1");
        QProcess gesture;
        RunPointerGesture(gesture, steps);
        QVERIFY2(gesture.waitForStarted(5000), "xdotool did not start");

        QTRY_VERIFY_WITH_TIMEOUT(target.dropped, 30000);
        gesture.waitForFinished(5000);
        f.onPause = nullptr;
        QVERIFY2(target.formats.contains(QStringLiteral("text/uri-list")),
                 qPrintable(target.formats.join(QLatin1Char(','))));
        QCOMPARE(target.urls.size(), 1);
        QCOMPARE(QFileInfo(target.urls.first().toLocalFile()).fileName(),
                 QStringLiteral("Lead.sig"));
        QCOMPARE(target.content, QByteArray::fromStdString(f.unit.Programs(40)[0].text));
        // The program stays loaded and marked, and nothing is left running.
        QVERIFY(f.View().IsLoadedProgram(row));
        QTRY_VERIFY(!f.worker.IsBusy());
    }

    void closingTheWindowDuringABackupStopsItBetweenPrograms() {
        REQUIRE_X_SERVER();
        CUiFixture f;
        constexpr int kPrograms = 12;
        f.unit.AddBank(40, "Backup");
        for (int i = 0; i < kPrograms; ++i) {
            const std::string name = "Program " + std::to_string(i);
            f.unit.AddProgram(40, i, sim::MakeProgramText(name, "Plate", 20, {"x"}), true);
        }
        f.Start();
        f.OpenBank(40);
        f.worker.SetProgressDelay(500);
        QTemporaryDir dir;
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        SlowUnit(f, 100);

        bool sent = false;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY_WITH_TIMEOUT(
                f.worker.ProgressDialog() != nullptr && f.worker.ProgressDialog()->isVisible(),
                10000);
            sent = SendWindowManagerClose(f.frame->winId());
        });
        f.frame->Actions().backup->trigger();  // starts the backup
        f.Settle();
        QVERIFY(sent);
        QTRY_VERIFY_WITH_TIMEOUT(!f.frame->isVisible(), 10000);
        f.onPause = nullptr;

        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(files.size() < kPrograms, "the backup ran to its end");
        QVERIFY(f.Commands().LastBackup().cancelled);
        // What was written is whole: each file is one program's text.
        const auto programs = f.unit.Programs(40);
        for (const QString& name : files) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray content = file.readAll();
            const QString program = QFileInfo(name).completeBaseName();
            const int number = program.section(QLatin1Char(' '), 1).toInt();
            QCOMPARE(content, QByteArray::fromStdString(programs[number].text));
        }
    }
};

int main(int argc, char* argv[]) {
    if (g_server.Start(g_serverError)) {
        qputenv("DISPLAY", g_server.Display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        // Still a valid Qt program, so that the tests can report themselves skipped.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    DesktopTest test;
    const int result = QTest::qExec(&test, argc, argv);
    g_server.Stop();
    return result;
}

#include "DesktopTest.moc"
