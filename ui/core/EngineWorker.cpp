#include "ui/core/EngineWorker.h"

#include <QApplication>
#include <QProgressDialog>

#include "ui/core/GuiHost.h"

CEngineWorker::CEngineWorker(QObject* parent) : QObject(parent), m_pRunner(new QObject) {
    m_thread.setObjectName(QStringLiteral("engine worker"));
    m_pRunner->moveToThread(&m_thread);
    m_progressTimer.setSingleShot(true);
    connect(&m_progressTimer, &QTimer::timeout, this, &CEngineWorker::ShowProgress);
    m_thread.start();
}

CEngineWorker::~CEngineWorker() {
    m_bShutdown = true;
    m_thread.quit();
    m_thread.wait();
    m_pRunner.reset();  // its thread has ended
    CloseProgress();
}

QProgressDialog* CEngineWorker::ProgressDialog() const {
    return m_pProgress;
}

void CEngineWorker::RequestShutdown() {
    m_bShutdown = true;
}

bool CEngineWorker::Start(const QString& label, bool cancellable, Task task) {
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
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_progressTimer.start(m_nProgressDelayMs);

    QMetaObject::invokeMethod(
        m_pRunner.get(),
        [this, task = std::move(task)]() mutable {
            std::function<void()> continuation = task();
            // Queued after every SetProgress of the operation, so they arrive first.
            QMetaObject::invokeMethod(
                this, [this, continuation] { Finish(continuation); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}

void CEngineWorker::Finish(const std::function<void()>& continuation) {
    m_progressTimer.stop();
    CloseProgress();
    QApplication::restoreOverrideCursor();
    m_strLabel.clear();
    m_strItem.clear();
    m_bBusy = false;
    emit busyChanged(false);
    if (continuation) continuation();
}

void CEngineWorker::SetProgress(const QString& item) {
    QMetaObject::invokeMethod(
        this,
        [this, item] {
            if (!m_bBusy) return;
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
    } else if (m_bProgressDue) {
        // The operation went on while the message was up: wait the delay again before the
        // dialog appears, so a short rest of the operation shows none.
        m_bProgressDue = false;
        m_progressTimer.start(m_nProgressDelayMs);
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

void CEngineWorker::CloseProgress() {
    if (!m_pProgress) return;
    m_pProgress->hide();
    m_pProgress->deleteLater();
    m_pProgress = nullptr;
}
