#include "ui/core/EngineWorker.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <chrono>

#include "ui/core/GuiHost.h"

CEngineWorker::CEngineWorker(QObject* parent) : QObject(parent) {
    m_thread = std::thread([this] { WorkerLoop(); });
}

CEngineWorker::~CEngineWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_bQuit = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

void CEngineWorker::WorkerLoop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [this] { return m_bQuit || !m_tasks.empty(); });
            if (m_tasks.empty()) return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

void CEngineWorker::RequestShutdown() {
    m_bShutdown = true;
}

void CEngineWorker::SetProgress(const QString& item) {
    QMetaObject::invokeMethod(
        this,
        [this, item] {
            m_strItem = item;
            if (m_pProgress) m_pProgress->setLabelText(m_strLabel + QLatin1Char('\n') + item);
        },
        Qt::QueuedConnection);
}

void CEngineWorker::MessageOpening() {
    ++m_nMessagesUp;
    // The box must be the one thing the user can answer: the progress dialog steps aside.
    if (m_pProgress) m_pProgress->hide();
}

void CEngineWorker::MessageClosed() {
    if (m_nMessagesUp > 0) --m_nMessagesUp;
    if (m_nMessagesUp > 0 || !m_bBusy) return;
    if (m_pProgress) {
        m_pProgress->show();
    } else if (m_bProgressDue && m_pProgressTimer != nullptr) {
        // The operation went on while the message was up: wait the delay again before the
        // dialog appears, so a short rest of the operation shows none.
        m_bProgressDue = false;
        m_pProgressTimer->start(m_nProgressDelayMs);
    }
}

void CEngineWorker::ShowProgress() {
    if (!m_bBusy || m_pProgress) return;
    if (m_nMessagesUp > 0) {
        m_bProgressDue = true;
        return;
    }
    QString text = m_strLabel;
    if (!m_strItem.isEmpty()) text += QLatin1Char('\n') + m_strItem;
    auto* dialog = new QProgressDialog(text, m_bCancellable ? tr("Cancel") : QString(), 0, 0,
                                       m_pWindow);
    dialog->setWindowTitle(CGuiHost::ApplicationTitle());
    dialog->setWindowModality(Qt::NonModal);
    dialog->setMinimumDuration(0);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    if (!m_bCancellable) dialog->setCancelButton(nullptr);
    connect(dialog, &QProgressDialog::canceled, this, [this] { m_bCancel = true; });
    m_pProgress = dialog;
    dialog->show();
}

bool CEngineWorker::RunTask(const QString& label, bool cancellable, std::function<void()> task) {
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_bBusy || m_bShutdown) return false;

    m_bBusy = true;
    m_bCancel = false;
    m_bCancellable = cancellable;
    m_bProgressDue = false;
    m_strLabel = label;
    m_strItem.clear();
    emit busyChanged(true);
    emit operationStarting();
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);

    QEventLoop loop;
    m_pLoop = &loop;
    std::atomic<bool> done{false};
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back([this, &task, &done] {
            task();
            done = true;
            // Through the worker object, which outlives this call: once `done` is seen the GUI
            // thread may leave RunTask and its event loop before this request is delivered.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_pLoop != nullptr) m_pLoop->quit();
                },
                Qt::QueuedConnection);
        });
    }
    m_cv.notify_all();

    QTimer progressTimer;
    progressTimer.setSingleShot(true);
    connect(&progressTimer, &QTimer::timeout, this, &CEngineWorker::ShowProgress);
    m_pProgressTimer = &progressTimer;
    progressTimer.start(m_nProgressDelayMs);

    while (!done) {
        // An event loop returns at once once the application is quitting; wait a little then.
        // (A message the worker asks for still has to be shown then, so keep handling events.)
        if (loop.exec() < 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    m_pLoop = nullptr;
    m_pProgressTimer = nullptr;

    progressTimer.stop();
    if (m_pProgress) {
        m_pProgress->hide();
        m_pProgress->deleteLater();
        m_pProgress = nullptr;
    }
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(this);
    m_strLabel.clear();
    m_strItem.clear();
    m_bBusy = false;
    emit busyChanged(false);
    return true;
}

bool CEngineWorker::eventFilter(QObject* watched, QEvent* event) {
    if (!m_bBusy || m_pWindow == nullptr) return false;
    // No command of the main window starts meanwhile (its actions' shortcuts); the progress
    // dialog's Esc and the message boxes' shortcuts still work.
    if (!watched->isWidgetType()) {
        if (event->type() != QEvent::Shortcut) return false;
        const auto* owner = qobject_cast<const QWidget*>(watched->parent());
        return owner != nullptr && owner->window() == m_pWindow;
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != m_pWindow) return false;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::ContextMenu:
            // Input to the main window waits until the operation is over. A button release
            // still passes, so a drag that began before the operation sees its end.
            return true;
        default:
            return false;
    }
}
