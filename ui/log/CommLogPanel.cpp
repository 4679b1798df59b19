#include "ui/log/CommLogPanel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <functional>
#include <set>

#include "engine/TraceWriter.h"
#include "settings/SettingsStore.h"

namespace {
constexpr const char* kWindowStateValue = "WindowState";
}  // namespace

// Collects frames on the tap's thread until the panel takes them. Bounded: of more than the
// log keeps, only the newest can ever be shown. The first frame into an empty queue calls
// `arrived` (on the tap's thread), so that the panel needs no timer of its own while nothing
// comes.
class CCommLogPanel::CFeed : public ILinkObserver {
public:
    explicit CFeed(std::function<void()> arrived) : m_arrived(std::move(arrived)) {}

    void OnLinkFrame(const LinkFrame& frame) override {
        bool first = false;
        {
            std::lock_guard lock(m_mutex);
            first = m_frames.empty();
            m_frames.push_back(frame);
            if (m_frames.size() > static_cast<std::size_t>(CCommLogModel::kMaxRows))
                m_frames.pop_front();
        }
        if (first) m_arrived();
    }
    std::deque<LinkFrame> Take() {
        std::lock_guard lock(m_mutex);
        std::deque<LinkFrame> taken;
        taken.swap(m_frames);
        return taken;
    }

private:
    std::function<void()> m_arrived;
    std::mutex m_mutex;
    std::deque<LinkFrame> m_frames;
};

CCommLogPanel::CCommLogPanel(QWidget* parent, std::shared_ptr<CLinkTap> tap)
    : QDockWidget(tr("Communication Log"), parent),
      m_pTap(std::move(tap)),
      m_pFeed(std::make_unique<CFeed>([this] {
          // Queued to the GUI thread; dropped if the panel is gone by then.
          QMetaObject::invokeMethod(this, &CCommLogPanel::BatchArrived, Qt::QueuedConnection);
      })) {
    setObjectName(QStringLiteral("CommLogPanel"));
    toggleViewAction()->setText(tr("&Communication Log"));
    toggleViewAction()->setStatusTip(
        tr("Show or hide the frames sent to and received from the unit"));

    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* controls = new QHBoxLayout;
    m_pFilter = new QLineEdit(body);
    m_pFilter->setPlaceholderText(tr("Filter"));
    m_pFilter->setClearButtonEnabled(true);
    m_pPause = new QPushButton(tr("&Pause"), body);
    m_pPause->setCheckable(true);
    m_pClear = new QPushButton(tr("C&lear"), body);
    m_pSave = new QPushButton(tr("Save &As…"), body);
    controls->addWidget(m_pFilter, 1);
    controls->addWidget(m_pPause);
    controls->addWidget(m_pClear);
    controls->addWidget(m_pSave);
    layout->addLayout(controls);

    m_pModel = new CCommLogModel(this);
    m_pProxy = new QSortFilterProxyModel(this);
    m_pProxy->setSourceModel(m_pModel);
    m_pProxy->setFilterKeyColumn(-1);
    m_pProxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_pTable = new QTableView(body);
    m_pTable->setModel(m_pProxy);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setWordWrap(false);
    m_pTable->verticalHeader()->hide();
    // Fixed row heights: the view need not measure 10,000 rows.
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 4);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->setColumnWidth(CCommLogModel::TimeColumn, 90);
    m_pTable->setColumnWidth(CCommLogModel::DirectionColumn, 70);
    m_pTable->setColumnWidth(CCommLogModel::DescriptionColumn, 230);
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::Monospace);
    m_pTable->setFont(mono);
    layout->addWidget(m_pTable, 1);
    setWidget(body);

    auto* copy = new QAction(tr("&Copy"), m_pTable);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &CCommLogPanel::CopySelection);
    m_pTable->addAction(copy);
    m_pTable->setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(m_pFilter, &QLineEdit::textChanged, m_pProxy,
            &QSortFilterProxyModel::setFilterFixedString);
    // The newest rows stay in view when the filter changes (or is cleared), and from then on
    // the view follows new rows again.
    connect(m_pFilter, &QLineEdit::textChanged, m_pTable, &QTableView::scrollToBottom);
    connect(m_pClear, &QPushButton::clicked, this, [this] {
        m_pFeed->Take();
        m_pModel->Clear();
    });
    connect(m_pPause, &QPushButton::toggled, this, [this](bool paused) {
        m_pPause->setText(paused ? tr("&Resume") : tr("&Pause"));
        if (paused) return;
        // Back to the newest rows, which the view follows from now on.
        TakeArrived();
        m_pTable->scrollToBottom();
    });
    connect(m_pSave, &QPushButton::clicked, this, &CCommLogPanel::OnSaveAs);

    // Started by the first frame of a batch only, so nothing wakes while no frame comes.
    m_pTimer = new QTimer(this);
    m_pTimer->setObjectName(QStringLiteral("CommLogBatchTimer"));
    m_pTimer->setSingleShot(true);
    m_pTimer->setInterval(kBatchMs);
    connect(m_pTimer, &QTimer::timeout, this, &CCommLogPanel::TakeArrived);
    // Observing only while shown: a hidden panel costs the links nothing.
    connect(toggleViewAction(), &QAction::toggled, this, &CCommLogPanel::Observe);
    connect(this, &QDockWidget::visibilityChanged, this, [this] { Observe(!isHidden()); });
}

CCommLogPanel::~CCommLogPanel() {
    Observe(false);
}

void CCommLogPanel::Observe(bool on) {
    if (on == m_bObserving) return;
    m_bObserving = on;
    if (on) {
        if (!m_bStarted) {
            m_bStarted = true;
            m_start = std::chrono::steady_clock::now();
        }
        m_pTap->AddObserver(m_pFeed.get());
    } else {
        m_pTap->RemoveObserver(m_pFeed.get());
        m_pTimer->stop();
        TakeArrived();
    }
}

void CCommLogPanel::BatchArrived() {
    if (m_bObserving && !m_pTimer->isActive()) m_pTimer->start();
}

void CCommLogPanel::TakeArrived() {
    if (m_pPause->isChecked()) return;
    const std::deque<LinkFrame> frames = m_pFeed->Take();
    if (frames.empty()) return;
    std::vector<CCommLogModel::Row> rows;
    rows.reserve(frames.size());
    for (const LinkFrame& frame : frames) {
        CCommLogModel::Row row;
        row.ms = std::chrono::duration<double, std::milli>(frame.time - m_start).count();
        if (row.ms < 0) row.ms = 0;
        row.direction = frame.direction;
        row.description = QString::fromStdString(CTraceWriter::Description(frame));
        row.bytes = QByteArray(frame.bytes.data(), static_cast<qsizetype>(frame.bytes.size()));
        rows.push_back(std::move(row));
    }
    QScrollBar* bar = m_pTable->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    m_pModel->Append(std::move(rows));
    if (atEnd) m_pTable->scrollToBottom();
}

void CCommLogPanel::CopySelection() const {
    std::set<int> rows;
    for (const QModelIndex& index : m_pTable->selectionModel()->selectedIndexes())
        rows.insert(m_pProxy->mapToSource(index).row());
    QStringList lines;
    for (int row : rows) lines << CCommLogModel::RowText(m_pModel->RowAt(row));
    if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + '\n');
}

QString CCommLogPanel::FramesPath(const QString& path) {
    const QFileInfo info(path);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(".syx"));
}

bool CCommLogPanel::SaveTo(const QString& path, bool withFrames, QString& error) const {
    QByteArray text;
    QByteArray frames;
    for (int i = 0; i < m_pModel->rowCount(); ++i) {
        const CCommLogModel::Row& row = m_pModel->RowAt(i);
        text += CCommLogModel::RowText(row).toUtf8() + '\n';
        // A .syx file holds system-exclusive messages only: no program changes, no stray bytes.
        if (row.bytes.startsWith('\xF0') && row.bytes.endsWith('\xF7')) frames += row.bytes;
    }
    const auto write = [&error](const QString& name, const QByteArray& bytes) {
        QSaveFile file(name);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
            return true;
        error = tr("Cannot write %1: %2").arg(name, file.errorString());
        return false;
    };
    return write(path, text) && (!withFrames || write(FramesPath(path), frames));
}

QString CCommLogPanel::TextFilter() {
    return tr("Log as text (*.txt)");
}

QString CCommLogPanel::TextAndFramesFilter() {
    return tr("Log as text, and the raw frames beside it as .syx (*.txt)");
}

void CCommLogPanel::OnSaveAs() {
    QFileDialog dialog(this, tr("Save Communication Log"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({TextFilter(), TextAndFramesFilter()});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(tr("communication-log.txt"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setObjectName(QStringLiteral("CommLogSaveDialog"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString error;
    const bool withFrames = dialog.selectedNameFilter() == TextAndFramesFilter();
    if (!SaveTo(dialog.selectedFiles().constFirst(), withFrames, error))
        QMessageBox::warning(this, QStringLiteral("Quorlin"), error);
}

CCommLogPanel* CCommLogPanel::Install(QMainWindow* window) {
    auto* panel = new CCommLogPanel(window);
    window->addDockWidget(Qt::BottomDockWidgetArea, panel);
    panel->hide();
    if (const std::string saved = ReadSettingString(kSectionOptions, kWindowStateValue);
        !saved.empty()) {
        // The dock layout only: the toolbar keeps the visibility the window gave it.
        QList<QPair<QToolBar*, bool>> toolbars;
        for (QToolBar* bar : window->findChildren<QToolBar*>())
            toolbars.append({bar, bar->isHidden()});
        window->restoreState(QByteArray::fromBase64(QByteArray::fromStdString(saved)));
        for (const auto& [bar, hidden] : toolbars) bar->setHidden(hidden);
    }
    return panel;
}

void CCommLogPanel::SaveWindowState(QMainWindow* window) {
    WriteSettingString(kSectionOptions, kWindowStateValue,
                       window->saveState().toBase64().toStdString());
}
