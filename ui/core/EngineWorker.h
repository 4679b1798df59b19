#pragma once
// Runs engine operations off the GUI thread, one at a time, while the GUI stays alive.
//
// The view asks for an operation with a label ("Opening bank 3…") and gets its result back as if
// it had called the engine directly, so the view's code reads step by step. Meanwhile the GUI
// thread spins a local event loop: the window repaints, the wait cursor shows, input to the main
// window is swallowed (so no second operation can start), and after half a second a progress
// dialog names the operation. Loops such as a backup report their current item with SetProgress
// and look at CancelRequested between items.
//
// The progress dialog is not modal: the main window's input is held back by an event filter
// instead, so a close of the main window still reaches it (the window then closes between the
// steps of a loop, or when the running engine call ends), and a message box that the worker
// waits for is never blocked by it. While such a message is up no progress dialog opens, and an
// open one is hidden until the message is closed (MessageOpening / MessageClosed).
//
// Run, IsBusy and RequestShutdown are for the GUI thread; SetProgress and CancelRequested for the
// operation running on the worker.

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>

#include <QProgressDialog>
#include <QTimer>

class CEngineWorker : public QObject {
    Q_OBJECT
public:
    explicit CEngineWorker(QObject* parent = nullptr);
    ~CEngineWorker() override;

    // The main window: its input is blocked during an operation and it owns the progress dialog.
    void SetWindow(QWidget* window) { m_pWindow = window; }
    // How long an operation runs before the progress dialog shows (tests set 0 or a large value).
    void SetProgressDelay(int ms) { m_nProgressDelayMs = ms; }

    // Runs `op` on the worker thread and returns its result. When an operation is already running
    // or the program is shutting down, `op` is not run: an int result is then -2 (the engine's
    // failure), other results are value-initialised.
    template <typename F>
    std::invoke_result_t<F> Run(const QString& label, F&& op, bool cancellable = false);

    bool IsBusy() const { return m_bBusy; }
    // The window is closing: the running operation is asked to stop between steps and no further
    // operation starts.
    void RequestShutdown();
    bool IsShuttingDown() const { return m_bShutdown; }

    // A message box opens or closes on the GUI thread (connected to the GUI host's signals).
    void MessageOpening();
    void MessageClosed();
    bool MessageUp() const { return m_nMessagesUp > 0; }

    // Worker side.
    void SetProgress(const QString& item);
    bool CancelRequested() const { return m_bCancel || m_bShutdown; }

    // The label of the running operation (empty when idle) and the progress dialog, for tests.
    QString CurrentLabel() const { return m_strLabel; }
    QProgressDialog* ProgressDialog() const { return m_pProgress; }

signals:
    void busyChanged(bool busy);
    // Emitted on the GUI thread just before an operation starts on the worker.
    void operationStarting();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs `task` on the worker and spins the GUI until it is done. False when it was not run.
    bool RunTask(const QString& label, bool cancellable, std::function<void()> task);
    void WorkerLoop();
    // The progress delay is over: opens the progress dialog, unless a message is up.
    void ShowProgress();

    QPointer<QWidget> m_pWindow;
    QPointer<QProgressDialog> m_pProgress;
    QEventLoop* m_pLoop = nullptr;  // the running operation's local loop
    QTimer* m_pProgressTimer = nullptr;  // the running operation's progress delay
    int m_nProgressDelayMs = 500;
    int m_nMessagesUp = 0;
    bool m_bProgressDue = false;  // the delay passed while a message was up
    bool m_bBusy = false;
    bool m_bCancellable = false;
    QString m_strLabel;
    QString m_strItem;
    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bShutdown{false};

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_tasks;
    bool m_bQuit = false;
    std::thread m_thread;
};

template <typename F>
std::invoke_result_t<F> CEngineWorker::Run(const QString& label, F&& op, bool cancellable) {
    using R = std::invoke_result_t<F>;
    if constexpr (std::is_void_v<R>) {
        RunTask(label, cancellable, [&op] { op(); });
    } else {
        std::optional<R> result;
        if (RunTask(label, cancellable, [&op, &result] { result.emplace(op()); })) {
            return std::move(*result);
        }
        if constexpr (std::is_same_v<R, int>) {
            return -2;
        } else {
            return R{};
        }
    }
}
