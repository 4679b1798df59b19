#include "ui/core/EngineWorker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QProgressDialog>
#include <algorithm>
#include <cmath>

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
    m_nDone = m_nTotal = m_nDoneAtStart = 0;
    m_countClock.invalidate();
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
    m_nDone = m_nTotal = 0;
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
            UpdateProgress();
        },
        Qt::QueuedConnection);
}

void CEngineWorker::SetProgress(const QString& item, int done, int total) {
    QMetaObject::invokeMethod(
        this,
        [this, item, done, total] {
            if (!m_bBusy) return;
            m_strItem = item;
            // Another count (a new total, or one that starts again): the time per item is
            // measured afresh.
            if (std::max(total, 0) != m_nTotal || done < m_nDone) m_countClock.invalidate();
            m_nTotal = std::max(total, 0);
            m_nDone = std::clamp(done, 0, m_nTotal);
            if (m_nTotal > 0 && !m_countClock.isValid()) {
                m_countClock.start();
                m_nDoneAtStart = m_nDone;
            }
            UpdateProgress();
        },
        Qt::QueuedConnection);
}

QString CEngineWorker::TimeLeft() const {
    const int finished = m_nDone - m_nDoneAtStart;
    if (m_nTotal <= 0 || finished <= 0 || !m_countClock.isValid() || m_nDone >= m_nTotal) return {};
    const double perItemMs = static_cast<double>(m_countClock.elapsed()) / finished;
    const double seconds = perItemMs * (m_nTotal - m_nDone) / 1000.0;
    if (seconds < 10) return tr("a few seconds left");
    if (seconds < 58) return tr("about %1 s left").arg(std::lround(seconds / 5) * 5);
    return tr("about %1 min left").arg(std::max<long>(1, std::lround(seconds / 60)));
}

void CEngineWorker::UpdateProgress() {
    if (!m_pProgress) return;
    QString text = m_strLabel;
    if (!m_strItem.isEmpty()) text += QLatin1Char('\n') + m_strItem;
    const QString left = TimeLeft();
    if (!left.isEmpty()) text += QLatin1Char('\n') + left;
    m_pProgress->setLabelText(text);
    if (m_pBar && m_nTotal > 0) {
        m_pBar->setRange(0, m_nTotal);
        m_pBar->setValue(m_nDone);
    }
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
    auto* dialog =
        new QProgressDialog(m_strLabel, m_bCancellable ? tr("Cancel") : QString(), 0, 0, m_pWindow);
    dialog->setWindowTitle(CGuiHost::ApplicationTitle());
    dialog->setWindowModality(Qt::NonModal);
    dialog->setMinimumDuration(0);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    if (!m_bCancellable) {
        dialog->setCancelButton(nullptr);
        dialog->installEventFilter(this);
    }
    // Without a count the bar is a busy indicator (range 0 to 0); UpdateProgress fills it.
    auto* bar = new QProgressBar;
    bar->setRange(0, 0);
    dialog->setBar(bar);
    m_pBar = bar;
    if (m_bCancellable)
        connect(dialog, &QProgressDialog::canceled, this, [this] { m_bCancel = true; });
    m_pProgress = dialog;
    UpdateProgress();
    dialog->show();
}

bool CEngineWorker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pProgress && !m_bCancellable) {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return true;
    }
    return QObject::eventFilter(watched, event);
}

void CEngineWorker::CloseProgress() {
    if (!m_pProgress) return;
    m_pProgress->hide();
    m_pProgress->deleteLater();
    m_pProgress = nullptr;
}
