#pragma once
// The desktop program's main window over the simulated unit, in-process: the engine's serial link
// is a CSimLink, pauses are recorded and advance the unit's clock instead of sleeping, message
// boxes are recorded instead of shown, and the settings live in memory.

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "link/SerialLink.h"
#include "sim/SimUnit.h"
#include "tests/support/ScopedSettingsStore.h"
#include "ui/commands/PatchCommands.h"
#include "ui/core/BrowseState.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/GuiHost.h"
#include "ui/list/EntryListCtrl.h"
#include "ui/shell/MainFrame.h"
#include "ui/view/QuorlinView.h"

// Holds the engine's worker in its next pause until released, so a test can look at the window
// while an operation is under way.
class CPauseGate {
public:
    // The pause hook to install: blocks the worker at the first pause until Release().
    std::function<void(int)> Hook() {
        return [this](int) {
            std::unique_lock lock(m_mutex);
            m_bHeld = true;
            m_cv.wait(lock, [this] { return m_bReleased; });
        };
    }
    bool Held() {
        std::lock_guard lock(m_mutex);
        return m_bHeld;
    }
    void Release() {
        {
            std::lock_guard lock(m_mutex);
            m_bReleased = true;
        }
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bHeld = false;
    bool m_bReleased = false;
};

class CUiFixture {
public:
    CUiFixture() {
        host.SetPresenter([this](const QString& text, const QString&, IHost::Icon) {
            messages << text;
            if (onMessage) onMessage(text);
        });
        host.SetPauser([this](int ms) {
            {
                std::lock_guard lock(m_pauseMutex);
                m_pauses.push_back(ms);
            }
            if (onPause) onPause(ms);
            if (link != nullptr) link->AdvanceClock(ms);
        });
        worker.SetProgressDelay(10 * 60 * 1000);
    }

    ~CUiFixture() {
        if (frame) frame->close();
        frame.reset();
    }

    // Builds the main window over the simulated unit and shows it; fetches the bank list.
    void Start(bool fetchBanks = true) {
        Build([this](IHost& h) {
            auto serial = std::make_unique<CSimLink>(unit);
            link = serial.get();
            return std::make_unique<CLibrarian>(
                h, std::move(serial), std::make_unique<CSimLink>(unit, CSimLink::ReplyStyle::MIDI));
        });
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        if (fetchBanks) QCOMPARE(View().ShowBanks(), 0);
    }

    void Build(const CQuorlinView::EngineFactory& factory) {
        frame = std::make_unique<CMainFrame>(worker, host, factory);
        host.SetParentWindow(frame.get());
        worker.SetWindow(frame.get());
        View().InitialUpdate();
    }

    CQuorlinView& View() { return *frame->View(); }
    CBrowseState& State() { return View().State(); }
    CEntryListCtrl& List() { return *View().List(); }
    CPatchCommands& Commands() { return *frame->Commands(); }

    QStringList Entries() {
        QStringList entries;
        for (int i = 0; i < List().count(); ++i) entries << List().item(i)->text();
        return entries;
    }
    // The row whose entry's number is `number`, or -1.
    int RowOf(int number) {
        for (int i = 0; i < List().count(); ++i) {
            const QString text = List().item(i)->text();
            if (text.section(QLatin1Char(' '), 0, 0).toInt() == number) return i;
        }
        return -1;
    }
    void Select(int row) { List().SelectRow(row); }
    void OpenBank(int number) {
        const int row = RowOf(number);
        QVERIFY2(row >= 0, qPrintable(QStringLiteral("no bank %1").arg(number)));
        Select(row);
        View().ActivateSelection();
        QCOMPARE(State().Level(), 1);
    }
    void ActivateProgram(int number) {
        const int row = RowOf(number);
        QVERIFY2(row >= 0, qPrintable(QStringLiteral("no program %1").arg(number)));
        Select(row);
        View().ActivateSelection();
    }
    std::vector<int> Pauses() {
        std::lock_guard lock(m_pauseMutex);
        return m_pauses;
    }

    // Lets everything already on its way run to its end, so that what must NOT have happened
    // can be checked afterwards: a call queued now runs after every call queued before it (a
    // committed rename, a dropped file's load, each deferred by the control), and the wait goes
    // on until no operation runs. The bound only stops a hung test.
    void Settle() {
        bool reached = false;
        QTimer::singleShot(0, frame.get(), [&reached] { reached = true; });
        QTRY_VERIFY_WITH_TIMEOUT(reached && !worker.IsBusy(), 30000);
    }

    // Runs `handle` on the next modal dialog that opens (then the caller's exec returns).
    static void OnNextDialog(std::function<void(QDialog&)> handle) {
        auto* timer = new QTimer(qApp);
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, qApp, [timer, handle] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                timer->stop();
                timer->deleteLater();
                handle(*dialog);
            }
        });
        timer->start();
    }

    CScopedSettingsStore settings;
    CSimUnit unit;
    CSimLink* link = nullptr;  // owned by the engine
    CGuiHost host;
    CEngineWorker worker;
    QStringList messages;
    std::function<void(const QString&)> onMessage;
    std::function<void(int)> onPause;  // runs on the engine's worker thread
    std::unique_ptr<CMainFrame> frame;

private:
    std::mutex m_pauseMutex;
    std::vector<int> m_pauses;
};
