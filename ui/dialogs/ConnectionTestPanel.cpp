#include "ui/dialogs/ConnectionTestPanel.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <atomic>

namespace {

// Carries the check's findings from its thread to the panel. It lives as long as the thread,
// not the panel.
class CCheckRelay : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
signals:
    void lineFound(const QString& line);
    void finished(bool unitAnswered);
};

std::atomic<int> g_nRunningChecks{0};

}  // namespace

int CConnectionTestPanel::RunningChecks() {
    return g_nRunningChecks.load();
}

CConnectionTestPanel::CConnectionTestPanel(QWidget* parent) : QWidget(parent) {
    m_pTestButton = new QPushButton(tr("&Test"), this);
    m_pTestButton->setObjectName(QStringLiteral("TestConnection"));
    m_pTestButton->setAutoDefault(false);
    m_pTestButton->setToolTip(tr("Checks the connection shown above, without saving it"));
    m_pLines = new QPlainTextEdit(this);
    m_pLines->setObjectName(QStringLiteral("TestLines"));
    m_pLines->setReadOnly(true);
    m_pLines->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_pLines->setPlaceholderText(
        tr("Test checks the port or devices above and whether the unit answers."));
    m_pLines->setMinimumWidth(560);
    // Room for a full check's lines (seven at most, some wrapped) without a scroll bar.
    m_pLines->setFixedHeight(m_pLines->fontMetrics().lineSpacing() * 8 +
                             2 * m_pLines->frameWidth() + 8);
    m_pLines->setFocusPolicy(Qt::ClickFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->addWidget(m_pTestButton);
    buttonColumn->addStretch();
    layout->addLayout(buttonColumn);
    layout->addWidget(m_pLines, 1);

    connect(m_pTestButton, &QPushButton::clicked, this, &CConnectionTestPanel::StartTest);
}

QStringList CConnectionTestPanel::Lines() const {
    QStringList lines = m_pLines->toPlainText().split(QLatin1Char('\n'));
    lines.removeAll(QString());
    return lines;
}

void CConnectionTestPanel::StartTest() {
    if (m_bRunning || !m_fnMakeJob) return;
    Job job = m_fnMakeJob();
    if (!job) return;
    m_bRunning = true;
    m_pLines->clear();
    m_pTestButton->setEnabled(false);
    m_pTestButton->setText(tr("Testing..."));

    auto* relay = new CCheckRelay;
    const ConnectionCheckTimings timings = m_timings;
    m_stop = std::stop_source();
    ++g_nRunningChecks;
    QThread* thread = QThread::create([relay, job = std::move(job), timings,
                                       stop = m_stop.get_token()] {
        CConnectionCheck check(timings, [relay](const CheckLine& line) {
            emit relay->lineFound(QString::fromStdString(line.Text()));
        });
        check.SetStopToken(stop);
        const ConnectionCheckResult result = job(check);
        emit relay->finished(result.unitAnswered);
        --g_nRunningChecks;
    });
    // The relay stays on the GUI thread; emitted from the check's thread, its signals are
    // queued to the panel, and dropped once the panel is gone.
    connect(relay, &CCheckRelay::lineFound, this, &CConnectionTestPanel::AddLine);
    connect(relay, &CCheckRelay::finished, this, &CConnectionTestPanel::Finish);
    connect(thread, &QThread::finished, relay, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

void CConnectionTestPanel::RequestStop() {
    if (m_bRunning) m_stop.request_stop();
}

void CConnectionTestPanel::AddLine(const QString& line) {
    m_pLines->appendPlainText(line);
}

void CConnectionTestPanel::Finish(bool unitAnswered) {
    m_bRunning = false;
    m_pTestButton->setEnabled(true);
    m_pTestButton->setText(tr("&Test"));
    emit testFinished(unitAnswered);
}

#include "ConnectionTestPanel.moc"
