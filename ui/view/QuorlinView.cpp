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
#include "engine/UnitRanges.h"
#include "settings/OptionsSettings.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/UnitText.h"
#include "ui/dialogs/CommSetupDlg.h"
#include "ui/list/EntryListCtrl.h"

// The icons live in the program's resources, compiled into this library.
static void InitUiResources() {
    Q_INIT_RESOURCE(quorlin);
}

namespace {

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
    m_state.SetChannel(options.m_nChannel);
    m_state.SetDsp(options.m_nBankChangeDevice);
    m_state.SetShowInfoPane(options.m_bDisplayInfoPane != 0);

    setFocusPolicy(Qt::StrongFocus);
    m_list = new CEntryListCtrl(m_state, worker, *m_pEngine, this);
    m_list->setObjectName(QStringLiteral("m_list"));
    // Enter, a double click and the start of a drag-out load the selected program (or open the
    // selected bank); the drag's drop then fetches what was loaded.
    connect(m_list, &CEntryListCtrl::activated, this, &CQuorlinView::ActivateSelection);
    connect(m_list, &CEntryListCtrl::dragStarted, this, &CQuorlinView::ActivateSelection);
    connect(m_list, &CEntryListCtrl::dragRefused, this,
            [this](const QString& message) { m_host.ShowMessage(ToUnit(message)); });
    m_paneScroll = new QScrollBar(Qt::Vertical, this);
    m_paneScroll->setObjectName(QStringLiteral("m_paneScroll"));
    m_paneScroll->setPageStep(1);
    m_paneScroll->setSingleStep(1);
    m_paneScroll->hide();
    connect(m_paneScroll, &QScrollBar::actionTriggered, this, &CQuorlinView::OnPaneScrollAction);
    connect(m_paneScroll, &QScrollBar::valueChanged, this,
            [this] { update(QRect(0, 0, kPaneBoxWidth + kPaneMarginX / 2, height())); });

    // The layout follows the level and the pane's switch; the pane follows what it shows.
    setAcceptDrops(m_state.Level() == CBrowseState::kProgramLevel);
    connect(&m_state, &CBrowseState::levelChanged, this, [this](int level) {
        setAcceptDrops(level == CBrowseState::kProgramLevel);  // on the pane too
        RecalcLayout();
    });
    connect(&m_state, &CBrowseState::showInfoPaneChanged, this, &CQuorlinView::RecalcLayout);
    auto paneTextChanged = [this] {
        UpdatePaneScroll();
        update();
    };
    connect(&m_state, &CBrowseState::currentBankChanged, this, paneTextChanged);
    connect(&m_state, &CBrowseState::dspChanged, this, paneTextChanged);
    connect(&m_state, &CBrowseState::loadedChanged, this, paneTextChanged);
    connect(&m_state, &CBrowseState::infoChanged, this, paneTextChanged);
}

CQuorlinView::~CQuorlinView() {
    m_pEngine.reset();
    COptionsSettings options;
    options.m_nChannel = m_state.Channel();
    options.m_nBankChangeDevice = m_state.Dsp();
    options.m_bDisplayInfoPane = m_state.ShowInfoPane() ? 1 : 0;
    options.Save();
}

void CQuorlinView::InitialUpdate() {
    if (m_pEngine->SerialSettingsWereMissing()) {
        OnCommSetup();
        m_pEngine->ClearSerialSettingsMissing();
    }
    m_list->SetColumnWidth(kColumnWidth);
    m_state.SetTitle(tr("Banks"));
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

int CQuorlinView::ShowBanks() {
    m_state.SetLevel(CBrowseState::kBankLevel);
    m_state.SetTitle(tr("Banks"));

    std::vector<std::string> banks;
    const int result = m_worker.Run(tr("Reading bank list…"),
                                    [this, &banks] { return m_pEngine->GetBankList(banks); });
    if (result != 0) return -2;
    QStringList entries;
    for (const auto& bank : banks) entries << FromUnit(bank);
    FillBankList(entries);
    RecalcLayout();
    emit entriesChanged();
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
        m_worker.Run(tr("Reading programs of bank %1…").arg(m_state.CurrentBank()),
                     [this, &programs] { return m_pEngine->GetProgramList(programs, 1); });
    if (result != 0) return;
    m_list->clear();
    for (const auto& program : programs) {
        m_list->AddEntry(StripLeadingBlanks(FromUnit(program.text)),
                         program.user != 0 ? kIconUser : kIconFactory, program.user);
    }
    m_state.SetLevel(CBrowseState::kProgramLevel);
    EnsureFrameWidth();
    RecalcLayout();
    emit entriesChanged();
}

void CQuorlinView::ActivateSelection() {
    const int row = m_list->SelectedRow();
    if (row < 0) return;
    const QString entry = m_list->item(row)->text();
    const int number = m_list->EntryNumberAt(row);
    if (number < 0) return;  // an entry without a number is only shown
    if (m_state.Level() == CBrowseState::kBankLevel) {
        m_state.SetTitle(BankTitle(entry));
        const int bank = number;
        const int dsp = m_state.Dsp();
        m_worker.Run(tr("Opening bank %1…").arg(bank),
                     [this, bank, dsp] { return m_pEngine->SelectBank(bank, dsp, 1); });
        m_state.SetCurrentBank(bank);
        m_state.SetBankIndex(row);
        ShowPrograms();
        return;
    }
    const int program = number;
    const int channel = m_state.Channel();
    const int dsp = m_state.Dsp();
    const qsizetype blank = entry.indexOf(QLatin1Char(' '));
    const QString listedName = blank < 0 ? QString() : entry.mid(blank + 1);
    const std::string unitName = ToUnit(listedName);
    // The program's text says which program the unit runs after the program change: a unit
    // that did not follow it runs another one, whose information the pane then shows as such.
    const ProgramFetch fetch =
        m_worker.Run(tr("Loading program %1…").arg(program), [this, channel, program, &unitName] {
            return m_pEngine->FetchProgram(channel, program, unitName, false);
        });
    const bool otherProgram = fetch.status == ProgramFetch::Status::WrongProgram;
    // Another program runs: no row is marked loaded, and the pane shows what runs.
    m_state.SetLoaded(dsp, {otherProgram ? -1 : row, m_state.CurrentBank()});
    std::string info;
    // The text of the program loaded on the current DSP: selector 1 for DSP A, 2 for DSP B.
    const int selector = dsp == 1 ? 1 : 2;
    const int infoResult =
        m_worker.Run(tr("Reading program information…"),
                     [this, selector, &info] { return m_pEngine->GetProgramInfo(selector, info); });
    // A pane left empty would not say why: it names the failure instead.
    QString pane =
        infoResult == 0 ? FromUnit(info) : tr("The unit did not send the program information.");
    if (otherProgram) {
        const QString sent = FromUnit(fetch.sentName);
        pane = tr("The unit sent \"%1\" instead of \"%2\". The information below is of "
                  "\"%1\".")
                   .arg(sent, WithoutTrailingBlanks(listedName)) +
               QStringLiteral("\n\n") + pane;
    }
    m_state.SetInfo(dsp, pane);
    m_list->item(row)->setSelected(false);
}

int CQuorlinView::GetListWidth() const {
    return m_list->ColumnWidth() + 5;
}

int CQuorlinView::GetProgramCount() const {
    return m_state.Level() == CBrowseState::kProgramLevel ? m_list->count() : 0;
}

void CQuorlinView::OnBack() {
    if (m_state.Level() != CBrowseState::kProgramLevel) return;
    ShowBanks();
    const int index = m_state.BankIndex();
    if (index >= 0 && index < m_list->count()) {
        m_list->setCurrentRow(index);
        m_list->item(index)->setSelected(true);
        m_list->setFocus();
    }
}

void CQuorlinView::OnCommSetup() {
    CCommSetupDlg dialog(window()->isVisible() ? window() : nullptr);
    dialog.SetSettings(&m_pEngine->GetLinkSettings());
    if (dialog.exec() != QDialog::Accepted) return;
    m_pEngine->ApplyLinkSettings();
    // Before the window is on screen (the first run's setup) the bank list is fetched once it
    // shows, so that its progress window never appears alone.
    if (m_state.Level() == CBrowseState::kBankLevel && m_list->count() == 0 &&
        window()->isVisible()) {
        ShowBanks();
    }
}

void CQuorlinView::OnChannel(int channel) {
    m_state.SetChannel(channel);
}

void CQuorlinView::OnDsp(int dsp) {
    // The channel moves with the DSP: DSP B listens one channel above DSP A.
    const int channel = m_state.Channel();
    if (dsp == 1 && m_state.Dsp() == 2)
        m_state.SetChannel(std::max(channel - 1, unit_ranges::kFirstChannel));
    if (dsp == 2 && m_state.Dsp() == 1)
        m_state.SetChannel(std::min(channel + 1, unit_ranges::kLastChannel));
    m_state.SetDsp(dsp);
    if (m_state.Level() == CBrowseState::kProgramLevel) {
        const int bank = m_state.CurrentBank();
        m_worker.Run(tr("Selecting bank %1 on DSP %2…").arg(bank).arg(dsp == 1 ? 'A' : 'B'),
                     [this, bank, dsp] { return m_pEngine->SelectBank(bank, dsp, 1); });
    }
}

void CQuorlinView::OnTogglePatchInfo() {
    m_state.SetShowInfoPane(!m_state.ShowInfoPane());
    EnsureFrameWidth();
    RecalcLayout();
}

void CQuorlinView::EnsureFrameWidth() {
    if (!m_state.ShowInfoPane()) return;
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
    UpdatePaneScroll();
    update();
}

void CQuorlinView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RecalcLayout();
}

void CQuorlinView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        UpdatePaneScroll();
    }
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

namespace {

constexpr int kWrapFlags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
constexpr int kPaneTitleHeight = 23;

}  // namespace

QFont CQuorlinView::PaneBodyFont() const {
    QFont bodyFont = m_list->font();
    bodyFont.setPixelSize(11);
    bodyFont.setWeight(QFont::Normal);
    return bodyFont;
}

int CQuorlinView::PaneTextHeight(int boxWidth) const {
    const QFontMetrics bodyMetrics(PaneBodyFont());
    return bodyMetrics.boundingRect(QRect(0, 0, boxWidth - 5, 1 << 20), kWrapFlags, PaneText())
        .height();
}

void CQuorlinView::UpdatePaneScroll() {
    const int clientHeight = height();
    if (PaneShown() &&
        PaneTextHeight(kPaneBoxWidth) + 2 * kPaneMarginY + kPaneTitleHeight > clientHeight) {
        // Narrower beside the bar, the text runs longer: the range is measured at that width.
        const int sbw = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const int needed =
            PaneTextHeight(kPaneBoxWidth - sbw) + 2 * kPaneMarginY + kPaneTitleHeight;
        const int maximum = (needed - clientHeight) / 10 + 1;
        if (m_paneScroll->maximum() != maximum || m_paneScroll->minimum() != 0) {
            m_paneScroll->setRange(0, maximum);
        }
        m_paneScroll->show();
        return;
    }
    m_paneScroll->hide();
    m_paneScroll->blockSignals(true);
    m_paneScroll->setValue(0);
    m_paneScroll->blockSignals(false);
}

void CQuorlinView::paintEvent(QPaintEvent* /*event*/) {
    if (!PaneShown()) return;
    QPainter painter(this);  // Qt draws widgets double-buffered: one block copy to the screen
    DrawInfoPane(painter);
}

void CQuorlinView::DrawInfoPane(QPainter& painter) {
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QString text = PaneText();

    // The scroll bar is there when the text does not fit (UpdatePaneScroll); the text then runs
    // beside it, moved up by ten pixels a step.
    QRect box(kPaneMarginX, kPaneMarginY, kPaneBoxWidth, kPaneTitleHeight);
    if (!m_paneScroll->isHidden()) {
        const int sbw = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        box = QRect(kPaneMarginX, kPaneMarginY - 10 * m_paneScroll->value(), kPaneBoxWidth - sbw,
                    kPaneTitleHeight);
    }
    const int textHeight = PaneTextHeight(box.width());
    const QFont bodyFont = PaneBodyFont();

    // Title bar.
    painter.fillRect(box, kPaneGrey);
    QFont titleFont = m_list->font();
    titleFont.setPixelSize(12);
    titleFont.setWeight(QFont::DemiBold);
    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    painter.drawText(box.translated(5, 4), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     tr("Patch Info"));

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
    painter.drawText(body, kWrapFlags, text);
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
