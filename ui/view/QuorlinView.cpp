#include "ui/view/QuorlinView.h"

#include <QDeadlineTimer>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QTimer>
#include <QWindow>

#include "engine/Librarian.h"
#include "engine/UnitRanges.h"
#include "ui/core/BusyInputFilter.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/UnitText.h"
#include "ui/dialogs/CommSetupDlg.h"
#include "ui/list/EntryListCtrl.h"
#include "ui/view/PatchInfoPane.h"

// The icons live in the program's resources, compiled into this library.
static void InitUiResources() {
    Q_INIT_RESOURCE(quorlin);
}

namespace {

constexpr int kColumnWidth = 300;

}  // namespace

CQuorlinView::CQuorlinView(CLibrarian& engine, CEngineWorker& worker, CBrowseState& state,
                           IHost& host, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_worker(worker), m_host(host), m_state(state) {
    InitUiResources();

    setFocusPolicy(Qt::StrongFocus);
    m_list = new CEntryListCtrl(m_state, worker, this);
    // Files dropped on the pane are refused while an operation runs, as on the list.
    CBusyInputFilter::Install(worker, this);
    // Enter and a double click load the selected program or open the selected bank (the main
    // window's Open); a drag-out loads and fetches it, then drags it.
    connect(m_list, &CEntryListCtrl::dragStarted, this,
            [this] { StartProgramDrag(m_list->SelectedRow()); });
    connect(m_list, &CEntryListCtrl::dragRefused, this,
            [this](const QString& message) { m_host.ShowMessage(ToUtf8(message)); });
    // The info pane's column left of the list; the pane follows the text the state gives it.
    m_pane = new CPatchInfoPane(m_state, this);
    m_pane->setObjectName(QStringLiteral("m_pane"));
    m_pane->setFixedWidth(kPaneColumnWidth);
    m_pane->setContentsMargins(kPaneMarginX, 0, kPaneMarginX, 0);
    m_layout = new QHBoxLayout(this);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_pane);
    m_layout->addWidget(m_list, 1);

    // The layout follows the level and the pane's switch.
    setAcceptDrops(m_state.Level() == CBrowseState::kProgramLevel);
    connect(&m_state, &CBrowseState::levelChanged, this, [this](int level) {
        setAcceptDrops(level == CBrowseState::kProgramLevel);  // on the pane too
        RecalcLayout();
    });
    connect(&m_state, &CBrowseState::showInfoPaneChanged, this, &CQuorlinView::RecalcLayout);
    RecalcLayout();
}

CQuorlinView::~CQuorlinView() = default;

void CQuorlinView::InitialUpdate() {
    if (m_engine.SerialSettingsWereMissing()) {
        OnCommSetup();
        m_engine.ClearSerialSettingsMissing();
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

void CQuorlinView::ShowBanks(ResultThen then, bool fromUnit) {
    CLibrarian* engine = &m_engine;
    struct Banks {
        int result = -2;
        std::vector<std::string> entries;
    };
    m_worker.Run(
        tr("Reading bank list…"),
        [engine, fromUnit] {
            Banks banks;
            banks.result = fromUnit ? engine->ReadBankList(banks.entries)
                                    : engine->GetBankList(banks.entries);
            return banks;
        },
        [this, then](const Banks& banks) {
            if (banks.result == 0) {
                QStringList entries;
                for (const auto& bank : banks.entries) entries << FromUtf8(bank);
                m_state.SetLevel(CBrowseState::kBankLevel);
                m_state.SetTitle(tr("Banks"));
                FillBankList(entries);
                RecalcLayout();
                emit entriesChanged();
            }
            if (then) then(banks.result);
        });
}

void CQuorlinView::FillBankList(const QStringList& entries) {
    m_list->clear();
    for (const QString& entry : entries) {
        m_list->AddEntry(StripLeadingBlanks(entry), kIconBank, 0);
    }
}

namespace {

struct ProgramList {
    int result = -2;
    bool selected = false;  // the bank select went out
    std::vector<ProgramEntry> programs;
};

}  // namespace

void CQuorlinView::FillProgramList(const std::vector<ProgramEntry>& programs) {
    m_list->clear();
    for (const auto& program : programs) {
        m_list->AddEntry(StripLeadingBlanks(FromUtf8(program.text)),
                         program.user != 0 ? kIconUser : kIconFactory, program.user);
    }
    m_state.SetLevel(CBrowseState::kProgramLevel);
    EnsureFrameWidth();
    RecalcLayout();
    emit entriesChanged();
}

void CQuorlinView::ShowPrograms(ResultThen then) {
    CLibrarian* engine = &m_engine;
    m_worker.Run(
        tr("Reading programs of bank %1…").arg(m_state.CurrentBank()),
        [engine] {
            ProgramList list;
            list.result = engine->GetProgramList(list.programs, true);
            return list;
        },
        [this, then](const ProgramList& list) {
            if (list.result == 0) FillProgramList(list.programs);
            if (then) then(list.result);
        });
}

void CQuorlinView::OpenBank(int bank, int index, const QString& title, ResultThen then) {
    CLibrarian* engine = &m_engine;
    const int dsp = m_state.Dsp();
    const int shown =
        m_state.Level() == CBrowseState::kProgramLevel ? m_state.CurrentBank() : -1;
    m_worker.Run(
        tr("Opening bank %1…").arg(bank),
        [engine, bank, dsp] {
            ProgramList list;
            list.result = engine->SelectBank(bank, dsp, true);
            if (list.result != 0) return list;
            list.selected = true;
            list.result = engine->GetProgramList(list.programs, true);
            return list;
        },
        [this, bank, index, title, then, shown](const ProgramList& list) {
            // The unit took the new bank but did not list it: it no longer has the bank shown
            // selected, and a load would go elsewhere (LoadPatch selects the shown bank first).
            if (list.result != 0 && list.selected && shown >= 0 && shown != bank)
                m_bUnitOffShownBank = true;
            if (list.result == 0) m_bUnitOffShownBank = false;
            // The unit did not take the bank, or did not list its programs (it has said so):
            // what is shown stays as it was.
            if (list.result == 0) {
                m_state.SetTitle(title);
                m_state.SetCurrentBank(bank);
                m_state.SetBankIndex(index);
                FillProgramList(list.programs);
            }
            if (then) then(list.result);
        });
}

void CQuorlinView::ActivateSelection() {
    const int row = m_list->SelectedRow();
    if (row < 0) return;
    const QString entry = m_list->item(row)->text();
    const int number = m_list->EntryNumberAt(row);
    if (number < 0) return;  // an entry without a number is only shown
    if (m_state.Level() == CBrowseState::kBankLevel) {
        OpenBank(number, row, BankTitle(entry));
        return;
    }
    LoadProgram(row, false);
}

void CQuorlinView::LoadProgram(int row, bool report, FetchThen then) {
    if (row < 0 || row >= m_list->count()) return;
    const QString entry = m_list->item(row)->text();
    const int program = m_list->EntryNumberAt(row);
    if (program < 0) return;
    const int channel = m_state.Channel();
    const int dsp = m_state.Dsp();
    const int bank = m_state.CurrentBank();
    const qsizetype blank = entry.indexOf(QLatin1Char(' '));
    const QString listedName = blank < 0 ? QString() : entry.mid(blank + 1);
    const std::string unitName = ToUtf8(listedName);
    // The text of the program loaded on the current DSP: selector 1 for DSP A, 2 for DSP B.
    const int selector = dsp == 1 ? 1 : 2;
    struct Loaded {
        ProgramFetch fetch;
        int infoResult = -2;
        std::string info;
    };
    CLibrarian* engine = &m_engine;
    m_worker.Run(
        tr("Loading program %1…").arg(program),
        [engine, channel, program, unitName, selector, report] {
            Loaded loaded;
            // The program's text says which program the unit runs after the program change: a
            // unit that did not follow it runs another one, whose information the pane then
            // shows as such.
            loaded.fetch = engine->FetchProgram(channel, program, unitName, report);
            loaded.infoResult = engine->GetProgramInfo(selector, loaded.info);
            return loaded;
        },
        [this, row, dsp, bank, listedName, then](const Loaded& loaded) {
            const ProgramFetch& fetch = loaded.fetch;
            // The row is marked only when the unit sent that program; else the pane shows what
            // runs, or why nothing can be said.
            m_state.SetLoaded(dsp, {fetch.Fetched() ? row : -1, bank});
            // A pane left empty would not say why: it names the failure instead.
            QString pane = loaded.infoResult == 0
                               ? FromUtf8(loaded.info)
                               : tr("The unit did not send the program information.");
            if (fetch.status == ProgramFetch::Status::WrongProgram) {
                const QString sent = FromUtf8(fetch.sentName);
                pane = tr("The unit sent \"%1\" instead of \"%2\". The information below is of "
                          "\"%1\".")
                           .arg(sent, WithoutTrailingBlanks(listedName)) +
                       QStringLiteral("\n\n") + pane;
            }
            m_state.SetInfo(dsp, pane);
            if (row < m_list->count()) m_list->SelectRow(-1);
            if (then) then(fetch);
        });
}

void CQuorlinView::StartProgramDrag(int row) {
    LoadProgram(row, true, [this, row](const ProgramFetch& fetch) {
        m_list->DragProgram(row, fetch);
    });
}

int CQuorlinView::GetListWidth() const {
    return m_list->ColumnWidth() + 5;
}

int CQuorlinView::GetProgramCount() const {
    return m_state.Level() == CBrowseState::kProgramLevel ? m_list->count() : 0;
}

void CQuorlinView::OnRefresh() {
    if (m_state.Level() == CBrowseState::kBankLevel) {
        // The selected bank stays selected when it is still listed.
        const int row = m_list->SelectedRow();
        const int number = row >= 0 ? m_list->EntryNumberAt(row) : -1;
        ShowBanks(
            [this, number](int result) {
                if (result != 0 || number < 0) return;
                for (int i = 0; i < m_list->count(); ++i) {
                    if (m_list->EntryNumberAt(i) == number) m_list->SelectRow(i);
                }
            },
            true);
        return;
    }
    OpenBank(m_state.CurrentBank(), m_state.BankIndex(), m_state.Title());
}

void CQuorlinView::OnBack() {
    if (m_state.Level() != CBrowseState::kProgramLevel) return;
    ShowBanks([this](int) {
        const int index = m_state.BankIndex();
        if (m_state.Level() == CBrowseState::kBankLevel && index >= 0 &&
            index < m_list->count()) {
            m_list->SelectRow(index);
            m_list->setFocus();
        }
    });
}

void CQuorlinView::OnCommSetup() {
    CCommSetupDlg dialog(window()->isVisible() ? window() : nullptr);
    dialog.SetSettings(&m_engine.GetLinkSettings());
    if (dialog.exec() != QDialog::Accepted) return;
    m_engine.ApplyLinkSettings();
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
    auto switchDsp = [this, dsp] {
        const int channel = m_state.Channel();
        if (dsp == 1 && m_state.Dsp() == 2) m_state.SetChannel(std::max(channel - 1, unit_ranges::kFirstChannel));
        if (dsp == 2 && m_state.Dsp() == 1) m_state.SetChannel(std::min(channel + 1, unit_ranges::kLastChannel));
        m_state.SetDsp(dsp);
    };
    if (m_state.Level() != CBrowseState::kProgramLevel) {
        switchDsp();
        return;
    }
    // The shown bank is selected on the other DSP first: only when the unit took it do the
    // DSP and the channel switch, so that programs loaded next go where their bank is. When
    // it did not, the link has said why and everything stays on the DSP it was.
    const int bank = m_state.CurrentBank();
    CLibrarian* engine = &m_engine;
    m_worker.Run(
        tr("Selecting bank %1 on DSP %2…").arg(bank).arg(dsp == 1 ? 'A' : 'B'),
        [engine, bank, dsp] { return engine->SelectBank(bank, dsp, true); },
        [switchDsp](int result) {
            if (result == 0) switchDsp();
        });
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

QScrollBar* CQuorlinView::PaneScroll() const {
    return m_pane->ScrollBar();
}

void CQuorlinView::RecalcLayout() {
    // Beside the pane, the list starts level with the pane's title.
    const bool shown = PaneShown();
    m_layout->setContentsMargins(0, shown ? kPaneMarginY : 0, 0, 0);
    m_pane->setVisible(shown);
    // At once, not at the next turn of the event loop: the frame's width check and whoever asks
    // for the list's place next see the new arrangement.
    m_layout->activate();
}

void CQuorlinView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    m_list->setFocus();
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
