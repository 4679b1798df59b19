#include "ui/view/QuorlinView.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

#include "engine/Librarian.h"
#include "settings/OptionsSettings.h"
#include "ui/commands/PatchCommands.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/UnitText.h"
#include "ui/dialogs/CommSetupDlg.h"
#include "ui/list/EntryListCtrl.h"


// The icons live in the program's resources, compiled into this library.
static void InitUiResources() {
    Q_INIT_RESOURCE(quorlin);
}

namespace {

const QString kNoProgram = QStringLiteral("No program selected");
constexpr int kColumnWidth = 300;
const QColor kPaneGrey(212, 208, 200);

}  // namespace

CQuorlinView::CQuorlinView(CEngineWorker& worker, IHost& host, const EngineFactory& factory,
                           QWidget* parent)
    : QWidget(parent), m_worker(worker), m_host(host) {
    InitUiResources();
    m_pEngine = factory(host);
    COptionsSettings options;
    options.Load();
    m_nChannel = options.m_nChannel;
    m_nDsp = options.m_nBankChangeDevice;
    m_bShowInfoPane = options.m_bDisplayInfoPane;
    m_strInfo[0] = m_strInfo[1] = kNoProgram;

    setFocusPolicy(Qt::StrongFocus);
    m_pCommands = new CPatchCommands(*this, this);
    m_list = new CEntryListCtrl(*this, this);
    m_list->setObjectName(QStringLiteral("m_list"));
    m_paneScroll = new QScrollBar(Qt::Vertical, this);
    m_paneScroll->setObjectName(QStringLiteral("m_paneScroll"));
    m_paneScroll->setPageStep(1);
    m_paneScroll->setSingleStep(1);
    m_paneScroll->hide();
    connect(m_paneScroll, &QScrollBar::actionTriggered, this, &CQuorlinView::OnPaneScrollAction);
    connect(m_paneScroll, &QScrollBar::valueChanged, this,
            [this] { update(QRect(0, 0, kPaneBoxWidth + kPaneMarginX / 2, height())); });
}

CQuorlinView::~CQuorlinView() {
    m_pEngine.reset();
    COptionsSettings options;
    options.m_nChannel = m_nChannel;
    options.m_nBankChangeDevice = m_nDsp;
    options.m_bDisplayInfoPane = m_bShowInfoPane;
    options.Save();
}

void CQuorlinView::InitialUpdate() {
    if (m_pEngine->SerialSettingsWereMissing()) {
        OnCommSetup();
        m_pEngine->ClearSerialSettingsMissing();
    }
    m_images = {QIcon(QStringLiteral(":/icons/130-bank.png")),
                QIcon(QStringLiteral(":/icons/131-factory.png")),
                QIcon(QStringLiteral(":/icons/136-loaded.png")),
                QIcon(QStringLiteral(":/icons/140-user.png"))};
    m_hBoldFont = m_list->font();
    m_hBoldFont.setWeight(QFont::Bold);
    m_list->SetColumnWidth(kColumnWidth);
    SetDocumentTitle(QStringLiteral("Banks"));
}

void CQuorlinView::PostBankListRequest() {
    // Once the window is really on screen (a window manager places it first), so that a message
    // or a progress window about the bank list opens over it, not somewhere else. Exposure is not
    // signalled: look every 20 ms, and wait no longer than a second.
    auto* poll = new QTimer(this);
    poll->setInterval(20);
    connect(poll, &QTimer::timeout, this, [this, poll, since = QDeadlineTimer(1000)] {
        const QWindow* handle = window()->windowHandle();
        if (handle != nullptr && !handle->isExposed() && !since.hasExpired()) return;
        poll->stop();
        poll->deleteLater();
        ShowBanks();
    });
    poll->start(0);
}

void CQuorlinView::SetDocumentTitle(const QString& title) {
    m_strTitle = title;
    emit titleChanged(title);
}

int CQuorlinView::ShowBanks() {
    m_nLevel = 0;
    m_list->SetAcceptDrops(false);
    SetDocumentTitle(QStringLiteral("Banks"));
    emit stateChanged();

    std::vector<std::string> banks;
    const int result = m_worker.Run(tr("Reading bank list…"),
                                    [this, &banks] { return m_pEngine->GetBankList(banks); });
    if (result != 0) return -2;
    QStringList entries;
    for (const auto& bank : banks) entries << FromUnit(bank);
    FillBankList(entries);
    RecalcLayout();
    emit stateChanged();
    return 0;
}

void CQuorlinView::FillBankList(const QStringList& entries) {
    m_list->clear();
    for (const QString& entry : entries) {
        m_list->AddEntry(StripLeadingBlanks(entry), kIconBank, 0);
    }
}

void CQuorlinView::ShowPrograms() {
    std::vector<ProgramEntry> programs;
    const int result =
        m_worker.Run(tr("Reading programs of bank %1…").arg(m_nCurrentBank),
                     [this, &programs] { return m_pEngine->GetProgramList(programs, 1); });
    if (result != 0) return;
    m_list->clear();
    for (const auto& program : programs) {
        m_list->AddEntry(StripLeadingBlanks(FromUnit(program.text)),
                         program.user != 0 ? kIconUser : kIconFactory, program.user);
    }
    m_nLevel = 1;
    m_list->SetAcceptDrops(true);
    EnsureFrameWidth();
    RecalcLayout();
    emit stateChanged();
}

void CQuorlinView::ActivateSelection() {
    const int row = m_list->SelectedRow();
    if (row < 0) return;
    const QString entry = m_list->item(row)->text();
    const int number = m_list->EntryNumberAt(row);
    if (number < 0) return;  // an entry without a number is only shown
    if (m_nLevel == 0) {
        SetDocumentTitle(BankTitle(entry));
        const int bank = number;
        const int dsp = m_nDsp;
        m_worker.Run(tr("Opening bank %1…").arg(bank),
                     [this, bank, dsp] { return m_pEngine->SelectBank(bank, dsp, 1); });
        m_nCurrentBank = bank;
        m_nBankIndex = row;
        ShowPrograms();
        return;
    }
    const int program = number;
    const int channel = m_nChannel;
    m_worker.Run(tr("Loading program %1…").arg(program),
                 [this, channel, program] { return m_pEngine->SelectProgram(channel, program); });
    Loaded& loaded = m_loaded[m_nDsp == 1 ? 0 : 1];
    loaded.nIndex = row;
    loaded.nBank = m_nCurrentBank;
    std::string info;
    // The text of the program loaded on the current DSP: selector 1 for DSP A, 2 for DSP B.
    const int selector = m_nDsp == 1 ? 1 : 2;
    const int infoResult =
        m_worker.Run(tr("Reading program information…"),
                     [this, selector, &info] { return m_pEngine->GetProgramInfo(selector, info); });
    // A pane left empty would not say why: it names the failure instead.
    m_strInfo[m_nDsp == 1 ? 0 : 1] =
        infoResult == 0 ? FromUnit(info)
                        : QStringLiteral("The unit did not send the program information.");
    m_list->item(row)->setSelected(false);
    m_list->viewport()->update();
    update();
    emit stateChanged();
}

bool CQuorlinView::IsLoadedProgram(int index) const {
    const Loaded& loaded = m_loaded[m_nDsp == 1 ? 0 : 1];
    return m_nLevel == 1 && loaded.nIndex == index && loaded.nBank == m_nCurrentBank;
}

int CQuorlinView::GetListWidth() const {
    return m_list->ColumnWidth() + 5;
}

int CQuorlinView::GetProgramCount() const {
    return m_nLevel == 1 ? m_list->count() : 0;
}

int CQuorlinView::RenameBank(int number, const QString& name) {
    const std::string unitName = ToUnit(name);
    return m_worker.Run(tr("Naming bank %1…").arg(number), [this, number, &unitName] {
        // Key presses are never answered: look whether the unit lists the new name.
        const int r = m_pEngine->SetBankName(number, unitName);
        return r == 0 ? m_pEngine->CheckBankName(number, unitName) : r;
    });
}

void CQuorlinView::OnBack() {
    if (m_nLevel != 1) return;
    ShowBanks();
    if (m_nBankIndex >= 0 && m_nBankIndex < m_list->count()) {
        m_list->setCurrentRow(m_nBankIndex);
        m_list->item(m_nBankIndex)->setSelected(true);
        m_list->setFocus();
    }
}

void CQuorlinView::OnCommSetup() {
    CCommSetupDlg dialog(window()->isVisible() ? window() : nullptr);
    dialog.m_pSettings = &m_pEngine->GetLinkSettings();
    if (dialog.exec() != QDialog::Accepted) return;
    m_pEngine->ApplyLinkSettings();
    // Before the window is on screen (the first run's setup) the bank list is fetched once it
    // shows, so that its progress window never appears alone.
    if (m_nLevel == 0 && m_list->count() == 0 && window()->isVisible()) ShowBanks();
}

void CQuorlinView::OnChannel(int channel) {
    m_nChannel = std::clamp(channel, 0, 15);
    emit stateChanged();
}

void CQuorlinView::OnDsp(int dsp) {
    if (dsp == 1 && m_nDsp == 2) m_nChannel = std::max(m_nChannel - 1, 0);
    if (dsp == 2 && m_nDsp == 1) m_nChannel = std::min(m_nChannel + 1, 15);
    m_nDsp = dsp;
    if (m_nLevel == 1) {
        const int bank = m_nCurrentBank;
        m_worker.Run(tr("Selecting bank %1 on DSP %2…").arg(bank).arg(dsp == 1 ? 'A' : 'B'),
                     [this, bank, dsp] { return m_pEngine->SelectBank(bank, dsp, 1); });
    }
    m_list->viewport()->update();
    update();
    emit stateChanged();
}

void CQuorlinView::OnTogglePatchInfo() {
    m_bShowInfoPane = m_bShowInfoPane != 0 ? 0 : 1;
    EnsureFrameWidth();
    RecalcLayout();
    emit stateChanged();
}

void CQuorlinView::EnsureFrameWidth() {
    if (m_bShowInfoPane != 1) return;
    QWidget* frame = window();
    const int needed = GetListWidth() + kPaneColumnWidth;
    if (frame != this && frame->width() < needed) frame->resize(needed, frame->height());
}

void CQuorlinView::RecalcLayout() {
    const int w = width();
    const int h = height();
    if (PaneShown()) {
        const int sbw = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        m_list->setGeometry(kPaneColumnWidth, kPaneMarginY, std::max(0, w - kPaneColumnWidth),
                            std::max(0, h - kPaneMarginY));
        m_paneScroll->setGeometry(kPaneColumnWidth - sbw, 0, sbw, h);
    } else {
        m_list->setGeometry(0, 0, w, h);
    }
    update();
}

void CQuorlinView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RecalcLayout();
}

void CQuorlinView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    m_list->setFocus();
}

// The wheel over the info pane scrolls its text, as the pane's scroll bar does.
void CQuorlinView::wheelEvent(QWheelEvent* event) {
    if (PaneShown() && m_paneScroll->isVisible() && event->position().x() < kPaneColumnWidth) {
        QApplication::sendEvent(m_paneScroll, event);
        return;
    }
    QWidget::wheelEvent(event);
}

// Files dropped on the info pane go where drops on the list go.
void CQuorlinView::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void CQuorlinView::dragMoveEvent(QDragMoveEvent* event) {
    if (m_list->AcceptsDrop(event->mimeData(), event->source())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
}

void CQuorlinView::dropEvent(QDropEvent* event) {
    if (!m_list->AcceptsDrop(event->mimeData(), event->source())) return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    m_list->TakeDrop(event->mimeData());
}

QString CQuorlinView::PaneText() const {
    const int slot = m_nDsp == 1 ? 0 : 1;
    return m_loaded[slot].nBank == m_nCurrentBank ? m_strInfo[slot] : kNoProgram;
}

void CQuorlinView::paintEvent(QPaintEvent* /*event*/) {
    if (!PaneShown()) {
        m_paneScroll->hide();
        m_paneScroll->blockSignals(true);
        m_paneScroll->setValue(0);
        m_paneScroll->blockSignals(false);
        return;
    }
    QPainter painter(this);  // Qt draws widgets double-buffered: one block copy to the screen
    DrawInfoPane(painter);
}

void CQuorlinView::DrawInfoPane(QPainter& painter) {
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QString text = PaneText();

    QFont bodyFont = m_list->font();
    bodyFont.setPixelSize(11);
    bodyFont.setWeight(QFont::Normal);
    const QFontMetrics bodyMetrics(bodyFont);
    const int wrapFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
    auto measure = [&](int boxWidth) {
        return bodyMetrics.boundingRect(QRect(0, 0, boxWidth - 5, 1 << 20), wrapFlags, text)
            .height();
    };

    QRect box(kPaneMarginX, kPaneMarginY, kPaneBoxWidth, 23);
    int textHeight = measure(box.width());
    const int clientHeight = height();
    if (textHeight + 2 * kPaneMarginY + 23 > clientHeight) {
        const int sbw = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        box =
            QRect(kPaneMarginX, kPaneMarginY - 10 * m_paneScroll->value(), kPaneBoxWidth - sbw, 23);
        textHeight = measure(box.width());
        const int needed = textHeight + 2 * kPaneMarginY + 23;
        const int maximum = (needed - clientHeight) / 10 + 1;
        if (m_paneScroll->maximum() != maximum || m_paneScroll->minimum() != 0) {
            m_paneScroll->setRange(0, maximum);
        }
        m_paneScroll->show();
    } else {
        m_paneScroll->hide();
        m_paneScroll->blockSignals(true);
        m_paneScroll->setValue(0);
        m_paneScroll->blockSignals(false);
    }

    // Title bar.
    painter.fillRect(box, kPaneGrey);
    QFont titleFont = m_list->font();
    titleFont.setPixelSize(12);
    titleFont.setWeight(QFont::DemiBold);
    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    painter.drawText(box.translated(5, 4), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     QStringLiteral("Patch Info"));

    // Frame: left, bottom and right; the title bar closes the top.
    painter.setPen(QPen(kPaneGrey, 1));
    const int bottom = box.top() + textHeight + 28;
    const int right = box.left() + box.width();
    painter.drawLine(box.left(), box.top(), box.left(), bottom);
    painter.drawLine(box.left(), bottom, right, bottom);
    painter.drawLine(right, bottom, right, box.top() - 1);

    // Body text, drawn as it is: "&" stays "&".
    painter.setFont(bodyFont);
    painter.setPen(Qt::black);
    const QRect body(box.left() + 5, box.top() + 26, box.width() - 5, 1 << 20);
    painter.drawText(body, wrapFlags, text);
}

void CQuorlinView::OnPaneScrollAction(int action) {
    // Top and bottom move by one step, like the line requests.
    const int p = m_paneScroll->value();
    switch (action) {
        case QAbstractSlider::SliderToMinimum:
            m_paneScroll->setSliderPosition(p > 0 ? p - 1 : p);
            break;
        case QAbstractSlider::SliderToMaximum:
            m_paneScroll->setSliderPosition(p < m_paneScroll->maximum() ? p + 1 : p);
            break;
        default:
            break;
    }
}
