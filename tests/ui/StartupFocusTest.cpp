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

#include "tests/ui/PrivateXServer.h"
#include "tests/ui/UiFixture.h"

namespace {

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

// openbox on the private server, started before the program's window system connection (as a
// user's session has its window manager running before a program starts).
class CWindowManager {
public:
    ~CWindowManager() { Stop(); }
    // Starts openbox and waits until it manages the screen; false when it cannot.
    bool Start() {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (m_pid < 0) return false;
        for (int i = 0; i < 200; ++i) {  // ten seconds at most
            if (WindowManagerRunning()) return true;
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return false;
            }
            ::usleep(50000);
        }
        return false;
    }
    void Stop() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
    }
    bool Running() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

CWindowManager g_manager;
bool g_managerTried = false;

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

// Waits until the X server's keyboard focus is in `window` (Qt may call a window active a
// moment before a window manager has moved the focus there); false after ten seconds.
bool WaitForXFocus(const QWidget& window) {
    const QByteArray id = QByteArray::number(static_cast<qulonglong>(window.winId()));
    QDeadlineTimer bound(10000);
    while (!bound.hasExpired()) {
        QProcess xdotool;
        xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")});
        if (xdotool.waitForFinished(10000) && xdotool.readAllStandardOutput().trimmed() == id)
            return true;
        QTest::qWait(50);
    }
    return false;
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
        if (windowManager) {
            REQUIRE(!QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty(),
                    QStringLiteral("openbox is not installed"));
            // main() starts openbox for this case (named on the command line) before the
            // program connects to the X server.
            QVERIFY2(g_managerTried, "run this case on its own: ...:under openbox");
            QVERIFY2(g_manager.Running() && WindowManagerRunning(),
                     "openbox did not take the screen");
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
                        QTest::qWaitForWindowActive(&box, 10000) && WaitForXFocus(box);
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
        QVERIFY2(WaitForXFocus(*f.frame), "the main window does not have the X keyboard focus");
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
        for (int i = 1; i < argc; ++i) {
            if (std::strstr(argv[i], "under openbox") != nullptr) {
                g_managerTried = true;
                g_manager.Start();
            }
        }
    } else {
        // Still a valid Qt program, so that the cases can report themselves skipped.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    StartupFocusTest test;
    const int result = QTest::qExec(&test, argc, argv);
    g_manager.Stop();
    g_server.Stop();
    return result;
}

#include "StartupFocusTest.moc"
