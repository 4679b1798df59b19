// A message at start-up (the port does not open) answered with Enter on a real X server (a
// private Xvfb), once without a window manager and once under openbox: afterwards the main window
// has the keyboard, and keys typed as a user types them (xdotool) reach it and its list.
//
// Focus and activation come from the X server and the window manager, which the offscreen
// platform does not have, so this runs on the xcb platform. Without Xvfb, xdotool or openbox the
// cases report themselves skipped, unless QUORLIN_REQUIRE_DISPLAY=1. Run one case per program
// (as CTest does: a data tag on the command line): each is a start of its own on a new server.

#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include "tests/ui/UiFixture.h"

namespace {

// A private X server for the life of the test program.
class CPrivateXServer {
public:
    bool Start(QString& error) {
        int fds[2];
        if (::pipe(fds) != 0) {
            error = QStringLiteral("pipe failed");
            return false;
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                     "1280x800x24", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        if (m_pid < 0) {
            ::close(fds[0]);
            error = QStringLiteral("fork failed");
            return false;
        }
        // Xvfb writes its display number once it accepts connections.
        std::string number;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (number.empty()) {
            error = QStringLiteral("Xvfb did not start (is it installed?)");
            Stop();
            return false;
        }
        m_display = QStringLiteral(":") + QString::fromStdString(number);
        return true;
    }

    void Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }

    ~CPrivateXServer() { Stop(); }
    QString Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    QString m_display;
};

CPrivateXServer g_server;
QString g_serverError;

// A case that cannot run here: skipped, or failed where it must run (CI).
#define REQUIRE(condition, why)                                               \
    do {                                                                      \
        if (!(condition)) {                                                   \
            if (qEnvironmentVariableIntValue("QUORLIN_REQUIRE_DISPLAY") == 1) \
                QFAIL(qPrintable(why));                                       \
            QSKIP(qPrintable(why));                                           \
        }                                                                     \
    } while (false)

// Whether a window manager has announced itself on the screen (_NET_SUPPORTING_WM_CHECK on the
// root window, as openbox sets it once it manages windows).
bool WindowManagerRunning() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (connection == nullptr || xcb_connection_has_error(connection) != 0) {
        xcb_disconnect(connection);
        return false;
    }
    const char* name = "_NET_SUPPORTING_WM_CHECK";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    bool running = false;
    if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_get_property_reply_t* property = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1),
            nullptr);
        running = property != nullptr && xcb_get_property_value_length(property) > 0;
        std::free(property);
    }
    std::free(atom);
    xcb_disconnect(connection);
    return running;
}

// openbox on the private server, for one case.
class CWindowManager {
public:
    ~CWindowManager() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000)) m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Starts openbox and waits until it manages the screen; false when it cannot.
    bool Start() {
        m_process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!m_process.waitForStarted(5000)) return false;
        QDeadlineTimer bound(10000);
        while (!WindowManagerRunning()) {
            if (bound.hasExpired() || m_process.state() == QProcess::NotRunning) return false;
            QTest::qWait(50);
        }
        return true;
    }

private:
    QProcess m_process;
};

// Types `keys` (xdotool's key names) to whichever window has the X keyboard focus, as a user
// types them.
bool TypeKeys(const QStringList& keys) {
    QProcess xdotool;
    xdotool.start(
        QStringLiteral("xdotool"),
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} + keys);
    return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit &&
           xdotool.exitCode() == 0;
}

}  // namespace

class StartupFocusTest : public QObject {
    Q_OBJECT

private slots:
    void aStartupMessageClosedWithEnterLeavesTheKeyboardInTheWindow_data() {
        QTest::addColumn<bool>("windowManager");
        QTest::newRow("without a window manager") << false;
        QTest::newRow("under openbox") << true;
    }
    void aStartupMessageClosedWithEnterLeavesTheKeyboardInTheWindow() {
        QFETCH(bool, windowManager);
        REQUIRE(!g_server.Display().isEmpty(), QStringLiteral("no X server: ") + g_serverError);
        REQUIRE(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(),
                QStringLiteral("xdotool is not installed"));
        CWindowManager manager;
        if (windowManager) {
            REQUIRE(!QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty(),
                    QStringLiteral("openbox is not installed"));
            QVERIFY2(manager.Start(), "openbox did not take the screen");
        } else {
            QVERIFY2(!WindowManagerRunning(), "a window manager runs on the private server");
        }

        // The program starts as main() starts it, with the unit switched off: the message is the
        // real box.
        CUiFixture f;
        f.host.SetPresenter({});
        f.Start(false);
        f.link->SetSilent(true);
        // Enter answers it, once it has the keyboard (the box runs its own loop meanwhile).
        bool boxActive = false;
        bool typed = false;
        bool closedByTest = false;
        CUiFixture::OnNextDialog([&](QDialog& box) {
            boxActive = qobject_cast<QMessageBox*>(&box) != nullptr &&
                        QTest::qWaitForWindowActive(&box, 10000);
            typed = TypeKeys({QStringLiteral("Return")});
            // A box the key did not reach is closed after a while: the case fails, not hangs.
            QTimer::singleShot(10000, &box, [&box, &closedByTest] {
                closedByTest = true;
                box.reject();
            });
        });
        f.View().PostBankListRequest();
        QTRY_VERIFY_WITH_TIMEOUT(typed, 30000);
        QVERIFY(boxActive);
        QVERIFY2(!closedByTest, "Enter did not reach the message");
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == nullptr, 10000);
        f.Settle();

        // The window has the keyboard: F5 reads the bank list (the unit answers now), and the
        // arrow keys move in it.
        QTRY_VERIFY_WITH_TIMEOUT(f.frame->isActiveWindow(), 10000);
        f.link->SetSilent(false);
        QVERIFY(TypeKeys({QStringLiteral("F5")}));
        QTRY_VERIFY_WITH_TIMEOUT(f.List().count() > 2, 10000);
        f.Settle();
        QTRY_VERIFY(f.List().hasFocus());
        f.Select(0);
        QVERIFY(TypeKeys({QStringLiteral("Down"), QStringLiteral("Down")}));
        QTRY_COMPARE_WITH_TIMEOUT(f.List().currentRow(), 2, 10000);
    }
};

int main(int argc, char* argv[]) {
    if (g_server.Start(g_serverError)) {
        qputenv("DISPLAY", g_server.Display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        // Still a valid Qt program, so that the cases can report themselves skipped.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    StartupFocusTest test;
    const int result = QTest::qExec(&test, argc, argv);
    g_server.Stop();
    return result;
}

#include "StartupFocusTest.moc"
