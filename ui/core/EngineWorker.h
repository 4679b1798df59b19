#pragma once
// Runs engine operations off the GUI thread, one at a time, while the GUI stays alive.
//
// The engine lives on one worker thread (a QThread). Run(label, op, onDone) hands `op` to that
// thread and returns at once; when `op` has returned, its result comes back to `onDone` on the
// GUI thread by a queued call. The GUI thread never waits for an operation and never spins an
// event loop of its own: a command that needs several steps continues in its `onDone`.
//
// While an operation runs the worker is busy (busyChanged): the main window disables its
// commands, the list and the view refuse input (BusyInputFilter.h), the wait cursor shows, and
// after half a second a progress dialog names the operation. Loops such as a backup report their
// current item with SetProgress and look at CancelRequested between items. A loop that knows how
// many items it has also says how many are done: the dialog's bar then fills (instead of the busy
// indicator) and, once an item is done, it tells the time left, estimated from the time the
// finished items took.
//
// The progress dialog is not modal, so a close of the main window still reaches it (the window
// then closes between the steps of a loop, or when the running engine call ends), and a message
// box that the worker waits for is never blocked by it. While such a message is up no progress
// dialog opens, and an open one is hidden until the message is closed (MessageOpening /
// MessageClosed).
//
// Run, IsBusy and RequestShutdown are for the GUI thread; SetProgress and CancelRequested for the
// operation running on the worker.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

class CEngineWorker : public QObject {
    Q_OBJECT
public:
    explicit CEngineWorker(QObject* parent = nullptr);
    // Asks a running operation to stop, then waits for the worker thread to end.
    ~CEngineWorker() override;

    // The main window: it owns the progress dialog.
    void SetWindow(QWidget* window) { m_pWindow = window; }
    // How long an operation runs before the progress dialog shows (tests set 0 or a large value).
    void SetProgressDelay(int ms) { m_nProgressDelayMs = ms; }

    // Starts `op` on the worker thread and returns true at once; `onDone` then gets `op`'s result
    // (nothing for a void `op`) on the GUI thread, after busyChanged(false), so that it may start
    // the next operation. When an operation is already running or the program is shutting down,
    // nothing is started or called and the result is false.
    template <typename Op, typename Done>
    bool Run(const QString& label, Op op, Done onDone, bool cancellable = false);
    // The same without a continuation.
    template <typename Op>
    bool Run(const QString& label, Op op) {
        return Run(label, std::move(op), [](auto&&...) {});
    }

    bool IsBusy() const { return m_bBusy; }
    // The window is closing: the running operation is asked to stop between steps and no further
    // operation starts.
    void RequestShutdown();
    bool IsShuttingDown() const { return m_bShutdown; }

    // A message box opens or closes on the GUI thread (connected to the GUI host's signals).
    void MessageOpening();
    void MessageClosed();
    bool MessageUp() const { return m_nMessagesUp > 0; }

    // Worker side. `item` names what is under way (it may hold several lines, such as "Program 3
    // of 40" and the program's name); `done` of `total` items are finished (total 0: not counted).
    void SetProgress(const QString& item);
    void SetProgress(const QString& item, int done, int total);
    bool CancelRequested() const { return m_bCancel || m_bShutdown; }

    // The label of the running operation (empty when idle) and the progress dialog, for tests.
    QString CurrentLabel() const { return m_strLabel; }
    QProgressDialog* ProgressDialog() const;

signals:
    void busyChanged(bool busy);
    // Emitted on the GUI thread just before an operation starts on the worker.
    void operationStarting();

private:
    // What runs on the worker: the operation; it returns what then runs on the GUI thread.
    using Task = std::function<std::function<void()>()>;
    // Starts `task` on the worker; false when it was not started.
    bool Start(const QString& label, bool cancellable, Task task);
    // The operation ended: the worker is idle again, then `continuation` runs.
    void Finish(const std::function<void()>& continuation);
    // The progress delay is over: opens the progress dialog, unless a message is up.
    void ShowProgress();
    void CloseProgress();
    // An operation without Cancel keeps its progress dialog: the title bar's close and Esc are
    // refused (a naming stopped half-way would leave the unit's panel inside its menus).
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The dialog's text, bar and time left, from the label, the item and the count.
    void UpdateProgress();
    // The time left in words ("about 2 min left"), or empty while no item is done.
    QString TimeLeft() const;

    QPointer<QWidget> m_pWindow;
    QPointer<QProgressDialog> m_pProgress;
    QPointer<QProgressBar> m_pBar;  // the dialog's bar, set directly (QProgressDialog::setValue
                                    // would show a dialog that stepped aside for a message)
    QTimer m_progressTimer;  // the running operation's progress delay
    int m_nProgressDelayMs = 500;
    int m_nMessagesUp = 0;
    bool m_bProgressDue = false;  // the delay passed while a message was up
    bool m_bBusy = false;
    bool m_bCancellable = false;
    QString m_strLabel;
    QString m_strItem;
    int m_nDone = 0;
    int m_nTotal = 0;  // 0: the operation does not count its items
    // When counting began, and how many items were done then (the time per item is measured
    // from there).
    QElapsedTimer m_countClock;
    int m_nDoneAtStart = 0;
    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bShutdown{false};

    QThread m_thread;
    std::unique_ptr<QObject> m_pRunner;  // lives on m_thread: what is posted to it runs there
};

template <typename Op, typename Done>
bool CEngineWorker::Run(const QString& label, Op op, Done onDone, bool cancellable) {
    using R = std::invoke_result_t<Op&>;
    Task task = [op = std::move(op), onDone = std::move(onDone)]() mutable
        -> std::function<void()> {
        if constexpr (std::is_void_v<R>) {
            op();
            return [onDone]() mutable { onDone(); };
        } else {
            auto result = std::make_shared<R>(op());
            return [onDone, result]() mutable { onDone(std::move(*result)); };
        }
    };
    return Start(label, cancellable, std::move(task));
}
