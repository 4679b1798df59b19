#include "ui/shell/MainFrame.h"

#include <QAction>
#include <QActionEvent>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <utility>

#include "settings/SettingsStore.h"
#include "ui/commands/ArchiveCommands.h"
#include "ui/commands/PatchCommands.h"
#include "ui/core/BrowseState.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/GuiHost.h"
#include "ui/core/UnitText.h"
#include "ui/list/EntryListCtrl.h"
#include "ui/log/CommLogPanel.h"
#include "ui/log/LogFileRecorder.h"
#include "ui/shell/AboutDlg.h"
#include "ui/shell/AppIcon.h"

namespace {

// The share of the screen's available area a window takes on its first start.
constexpr double kFirstStartWidthShare = 0.45;
constexpr double kFirstStartHeightShare = 0.7;
// Without a screen to measure (none is connected yet): the size of a small screen's share.
constexpr QSize kSizeWithoutScreen(560, 520);

// The window's size on a first start, or where the stored size is not one a window could have:
// a share of the screen's available area, at least `needed` wide (the list with the info pane
// beside it, so that opening a bank does not widen the window), never larger than the area.
QSize FirstStartSize(const QScreen* screen, int needed) {
    if (screen == nullptr) return kSizeWithoutScreen.expandedTo(QSize(needed, 0));
    const QSize area = screen->availableGeometry().size();
    const QSize share(static_cast<int>(area.width() * kFirstStartWidthShare),
                      static_cast<int>(area.height() * kFirstStartHeightShare));
    return share.expandedTo(QSize(needed, 0)).boundedTo(area);
}

}  // namespace

CMainFrame::CMainFrame(CLibrarian& engine, CEngineWorker& worker, CBrowseState& state,
                       CGuiHost& host)
    : m_worker(worker), m_state(state), m_host(host) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(AppIcon());

    m_pView = new CQuorlinView(engine, worker, state, host, this);
    setCentralWidget(m_pView);
    RestorePlacement();  // the first start's size depends on the view's list
    m_pCommands =
        new CPatchCommands(*m_pView, *m_pView->List(), engine, worker, state, host, this);
    m_pArchive = new CArchiveCommands(*m_pView, engine, worker, state, host, this);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    ConnectEnableRules();
    // The commands that are in none of the window's groups (those that others add to its menus
    // included) give a name edit up as the others do.
    WatchCommands(this);
    for (QAction* title : menuBar()->actions())
        if (title->menu() != nullptr) WatchCommands(title->menu());
    CancelEditOnTrigger(m_pToolBar->toggleViewAction());

    // The caption follows the browsing state.
    connect(&state, &CBrowseState::titleChanged, this, [this](const QString& title) {
        setWindowTitle(title + QStringLiteral(" - ") + CGuiHost::ApplicationTitle());
    });
    setWindowTitle(CGuiHost::ApplicationTitle());
}

CMainFrame::~CMainFrame() = default;

namespace {

// The system's keys for a standard command, with `kept` (the key this program has always had)
// first.
QList<QKeySequence> StandardKeys(QKeySequence::StandardKey command, const QKeySequence& kept) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(command);
    keys.removeAll(kept);
    keys.prepend(kept);
    return keys;
}

}  // namespace

QAction* CMainFrame::NewAction(QActionGroup* group, const char* name, const QString& text,
                               const QString& icon) {
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    if (!icon.isEmpty()) action->setIcon(QIcon(icon));
    group->addAction(action);
    return action;
}

void CMainFrame::CreateActions() {
    CMainActions& a = m_actions;
    // Every command rests while an operation runs (see the busy signal below): the channels and
    // the DSPs are in their own groups, which are exclusive, every other command in this one.
    m_pCommandGroup = new QActionGroup(this);
    m_pCommandGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    QActionGroup* commands = m_pCommandGroup;

    a.exit = NewAction(commands, "exitAction", tr("E&xit"));
    // Ctrl+Q on every system: some give the standard Quit command no key at all.
    a.exit->setShortcuts(StandardKeys(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));
    a.exit->setStatusTip(tr("Quit the application"));
    a.exit->setToolTip(tr("Exit"));
    // Exit stays at hand while an operation runs: it asks first, then the window closes once the
    // operation has stopped (closeEvent).
    commands->removeAction(a.exit);
    connect(a.exit, &QAction::triggered, this, &CMainFrame::OnExit);

    a.refresh = NewAction(commands, "refreshAction", tr("&Refresh"));
    a.refresh->setShortcuts(StandardKeys(QKeySequence::Refresh, QKeySequence(Qt::Key_F5)));
    a.refresh->setStatusTip(
        tr("Read the bank list or the open bank's programs from the unit again"));
    a.refresh->setToolTip(tr("Refresh"));
    connect(a.refresh, &QAction::triggered, m_pView, &CQuorlinView::OnRefresh);

    a.toolbar = NewAction(commands, "toolbarAction", tr("&Toolbar"));
    a.toolbar->setCheckable(true);
    a.toolbar->setStatusTip(tr("Show or hide the toolbar"));
    a.toolbar->setToolTip(tr("Toggle ToolBar"));
    a.statusBar = NewAction(commands, "statusBarAction", tr("&Status Bar"));
    a.statusBar->setCheckable(true);
    a.statusBar->setStatusTip(tr("Show or hide the status bar"));
    a.statusBar->setToolTip(tr("Toggle StatusBar"));
    connect(a.statusBar, &QAction::triggered, this,
            [this](bool on) { statusBar()->setVisible(on); });
    a.patchInfo = NewAction(commands, "patchInfoAction", tr("&Patch Info"));
    a.patchInfo->setCheckable(true);
    connect(a.patchInfo, &QAction::triggered, m_pView, &CQuorlinView::OnTogglePatchInfo);

    a.commSetup = NewAction(commands, "commSetupAction", tr("Communications &Setup…"));
    connect(a.commSetup, &QAction::triggered, m_pView, &CQuorlinView::OnCommSetup);
    // One channel at a time: the items are drawn as radio items.
    m_pChannels = new QActionGroup(this);
    m_pChannels->setExclusive(true);
    for (int channel = 0; channel < static_cast<int>(a.channels.size()); ++channel) {
        const QByteArray name = "channel" + QByteArray::number(channel + 1) + "Action";
        // The number's last digit is the item's key; 11 to 16 share theirs with 1 to 6 (the key
        // then steps between the two).
        QString text = QString::number(channel + 1);
        text.insert(text.size() - 1, QLatin1Char('&'));
        QAction* action = NewAction(m_pChannels, name.constData(), text);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this,
                [this, channel] { m_pView->OnChannel(channel); });
        a.channels[static_cast<std::size_t>(channel)] = action;
    }
    m_pDsps = new QActionGroup(this);
    m_pDsps->setExclusive(true);
    a.dspA = NewAction(m_pDsps, "dspAAction", tr("DSP &A"), QStringLiteral(":/icons/dspa.png"));
    a.dspA->setCheckable(true);
    a.dspA->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    a.dspA->setStatusTip(tr("Change to DSP A"));
    a.dspA->setToolTip(tr("DSP A"));
    connect(a.dspA, &QAction::triggered, this, [this] {
        // The mark stays on the DSP in use until the unit has taken the switch.
        (m_state.Dsp() == 1 ? m_actions.dspA : m_actions.dspB)->setChecked(true);
        m_pView->OnDsp(1);
    });
    a.dspB = NewAction(m_pDsps, "dspBAction", tr("DSP &B"), QStringLiteral(":/icons/dspb.png"));
    a.dspB->setCheckable(true);
    a.dspB->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    a.dspB->setStatusTip(tr("Change to DSP B"));
    a.dspB->setToolTip(tr("DSP B"));
    connect(a.dspB, &QAction::triggered, this, [this] {
        // The mark stays on the DSP in use until the unit has taken the switch.
        (m_state.Dsp() == 1 ? m_actions.dspA : m_actions.dspB)->setChecked(true);
        m_pView->OnDsp(2);
    });

    // Delete and Open take their keys only while the list has the focus: the same keys mean
    // something else in a name being edited, the log or any other field.
    CEntryListCtrl* list = m_pView->List();
    a.del =
        NewAction(commands, "deleteAction", tr("&Delete"), QStringLiteral(":/icons/delete.png"));
    a.del->setShortcuts(QKeySequence::Delete);
    a.del->setShortcutContext(Qt::WidgetShortcut);
    a.del->setStatusTip(tr("Delete the selected patch or bank"));
    a.del->setToolTip(tr("Delete"));
    list->addAction(a.del);
    connect(a.del, &QAction::triggered, m_pCommands, &CPatchCommands::OnDelete);
    a.open = NewAction(commands, "openAction", tr("Open"));
    a.open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    a.open->setShortcutContext(Qt::WidgetShortcut);
    a.open->setStatusTip(tr("Open the selected bank or load the selected program"));
    list->addAction(a.open);
    connect(a.open, &QAction::triggered, m_pView, &CQuorlinView::ActivateSelection);
    // A double click opens as Enter does.
    connect(list, &CEntryListCtrl::activated, a.open, &QAction::trigger);

    a.find = NewAction(commands, "findAction", tr("&Find…"));
    a.find->setShortcuts(StandardKeys(QKeySequence::Find, QKeySequence(Qt::CTRL | Qt::Key_F)));
    a.find->setStatusTip(tr("Find patch"));
    connect(a.find, &QAction::triggered, m_pCommands, &CPatchCommands::OnFind);
    a.findNext = NewAction(commands, "findNextAction", tr("Find &Next"));
    a.findNext->setShortcuts(StandardKeys(QKeySequence::FindNext, QKeySequence(Qt::Key_F3)));
    a.findNext->setStatusTip(tr("Find next patch"));
    connect(a.findNext, &QAction::triggered, m_pCommands, &CPatchCommands::OnFindNext);
    a.loadPatch = NewAction(commands, "loadPatchAction", tr("&Load Patch from PC…"));
    a.loadPatch->setStatusTip(tr("Open an existing patch and store it in the current bank"));
    a.loadPatch->setToolTip(tr("Load Patch"));
    connect(a.loadPatch, &QAction::triggered, m_pCommands, &CPatchCommands::OnLoadPatch);
    a.backup = NewAction(commands, "backupAction", tr("Back Up &This Bank…"));
    a.backup->setStatusTip(tr("Back up the user programs of the open bank to a folder"));
    connect(a.backup, &QAction::triggered, m_pCommands, &CPatchCommands::OnBackup);
    a.backupUnit = NewAction(commands, "backupUnitAction", tr("Back Up &Entire Unit…"));
    a.backupUnit->setStatusTip(tr("Back up every user program of every bank into a new folder"));
    connect(a.backupUnit, &QAction::triggered, m_pArchive, &CArchiveCommands::BackUpUnit);
    a.restoreUnit = NewAction(commands, "restoreUnitAction", tr("&Restore Backup to Unit…"));
    a.restoreUnit->setStatusTip(tr("Put the programs of a whole-unit backup back into the unit"));
    connect(a.restoreUnit, &QAction::triggered, m_pArchive, &CArchiveCommands::RestoreUnit);

    a.about = NewAction(commands, "aboutAction", tr("&About Quorlin…"),
                        QStringLiteral(":/icons/about.png"));
    a.about->setStatusTip(tr("Display program information, version number and copyright"));
    a.about->setToolTip(tr("About"));
    connect(a.about, &QAction::triggered, this, [this] {
        CAboutDlg dialog(this);
        dialog.exec();
    });

    a.back = NewAction(commands, "backAction", tr("Back"), QStringLiteral(":/icons/back.png"));
    a.back->setShortcuts(StandardKeys(QKeySequence::Back, QKeySequence(Qt::ALT | Qt::Key_Left)));
    a.back->setStatusTip(tr("Back to bank selection"));
    a.back->setToolTip(tr("Back"));
    addAction(a.back);  // in no menu: its key works through the window
    connect(a.back, &QAction::triggered, m_pView, &CQuorlinView::OnBack);
    a.createBank = NewAction(commands, "createBankAction", tr("&Create Bank…"),
                             QStringLiteral(":/icons/newbank.png"));
    a.createBank->setShortcuts(
        StandardKeys(QKeySequence::New, QKeySequence(Qt::CTRL | Qt::Key_N)));
    a.createBank->setStatusTip(tr("Create new bank"));
    a.createBank->setToolTip(tr("Create Bank"));
    connect(a.createBank, &QAction::triggered, m_pCommands, &CPatchCommands::OnCreateBank);

    // A command started while a bank's name is being edited gives the edit up before it runs:
    // the name is taken with Enter (or a click elsewhere in the list), never because a command
    // took the focus away. A group tells of a trigger before the action's own handlers run.
    for (QActionGroup* group : {m_pCommandGroup, m_pChannels, m_pDsps})
        connect(group, &QActionGroup::triggered, list, &CEntryListCtrl::CancelEdit);
}

void CMainFrame::WatchCommands(QWidget* holder) {
    holder->installEventFilter(this);
    for (QAction* action : holder->actions()) {
        CancelEditOnTrigger(action);
        if (action->menu() != nullptr) WatchCommands(action->menu());
    }
}

void CMainFrame::CancelEditOnTrigger(QAction* action) {
    // After the action's own handlers when they were connected first: a focus change they
    // caused meanwhile (a window opened) has left the name queued, and CancelEdit drops it.
    connect(action, &QAction::triggered, m_pView->List(), &CEntryListCtrl::CancelEdit,
            Qt::UniqueConnection);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ActionAdded) {
        QAction* action = static_cast<QActionEvent*>(event)->action();
        CancelEditOnTrigger(action);
        if (action->menu() != nullptr) WatchCommands(action->menu());
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::OnExit() {
    m_pView->List()->CancelEdit();
    if (m_worker.IsBusy() && !m_bCloseRequested) {
        const QString question =
            tr("An operation with the unit is still running.\n\nQuit anyway? The operation "
               "stops after the step it is on, then Quorlin closes.");
        if (!m_host.AskYesNo(ToUtf8(question), std::string())) return;
    }
    close();
}

void CMainFrame::CreateMenus() {
    const CMainActions& a = m_actions;
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(a.exit);

    m_pViewMenu = menuBar()->addMenu(tr("&View"));
    m_pViewMenu->setObjectName(QStringLiteral("viewMenu"));
    m_pViewMenu->addAction(a.refresh);
    m_pViewMenu->addSeparator();
    m_pViewMenu->addAction(a.toolbar);
    m_pViewMenu->addAction(a.statusBar);
    m_pViewMenu->addAction(a.patchInfo);
    m_pViewMenu->addAction(CCommLogPanel::Install(this)->toggleViewAction());

    m_pOptionsMenu = menuBar()->addMenu(tr("&Options"));
    m_pOptionsMenu->setObjectName(QStringLiteral("optionsMenu"));
    m_pOptionsMenu->addAction(a.commSetup);
    m_pOptionsMenu->addAction(CLogFileRecorder::CreateToggle(this));
    QMenu* channel = m_pOptionsMenu->addMenu(tr("&Channel"));
    channel->setObjectName(QStringLiteral("channelMenu"));
    for (QAction* action : a.channels) channel->addAction(action);
    QMenu* bankChange = m_pOptionsMenu->addMenu(tr("&Bank Change"));
    bankChange->setObjectName(QStringLiteral("bankChangeMenu"));
    bankChange->addAction(a.dspA);
    bankChange->addAction(a.dspB);

    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    tools->setObjectName(QStringLiteral("toolsMenu"));
    tools->addAction(a.createBank);
    tools->addAction(a.del);
    tools->addSeparator();
    tools->addAction(a.find);
    tools->addAction(a.findNext);
    tools->addSeparator();
    tools->addAction(a.loadPatch);
    tools->addAction(a.backup);
    tools->addSeparator();
    tools->addAction(a.backupUnit);
    tools->addAction(a.restoreUnit);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(a.about);
}

void CMainFrame::CreateToolBar() {
    const CMainActions& a = m_actions;
    m_pToolBar = addToolBar(tr("Toolbar"));
    m_pToolBar->setObjectName(QStringLiteral("toolbar"));  // the saved window state's key
    // Its item in the menu of a right click on the toolbar or the dock area.
    m_pToolBar->toggleViewAction()->setText(tr("&Toolbar"));
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->setMovable(true);
    m_pToolBar->addAction(a.back);
    m_pToolBar->addAction(a.createBank);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(a.dspA);
    m_pToolBar->addAction(a.dspB);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(a.del);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(a.about);
    connect(a.toolbar, &QAction::triggered, m_pToolBar, &QWidget::setVisible);
}

void CMainFrame::CreateStatusBar() {
    m_pReady = new QLabel(tr("Ready"));
    m_pReady->setObjectName(QStringLiteral("readyPane"));
    statusBar()->addWidget(m_pReady, 1);
    m_pPatchCount = new QLabel(tr("This pane displays the number of patches in a bank"));
    m_pPatchCount->setObjectName(QStringLiteral("patchCountPane"));
    const int measured = m_pPatchCount->fontMetrics().horizontalAdvance(tr("100 Patches"));
    // The measured width less the 20 pixels the original took off for its pane borders; Qt adds
    // no borders of that size, so the label keeps the measured width as its minimum.
    m_pPatchCount->setFixedWidth(std::max(measured - 20, 0) + 20);
    statusBar()->addPermanentWidget(m_pPatchCount);
    // Why a key did nothing (Delete on a factory program).
    connect(m_pView->List(), &CEntryListCtrl::keyRefused, this,
            [this](const QString& reason) { statusBar()->showMessage(reason, 10000); });
}

void CMainFrame::ConnectEnableRules() {
    const CMainActions& a = m_actions;
    const CBrowseState* state = &m_state;
    const CEntryListCtrl* list = m_pView->List();
    const CPatchCommands* commands = m_pCommands;

    // An action's rule is applied now, and again whenever what it reads changes.
    const auto enableWhile = [](QAction* action, std::function<bool()> holds) {
        auto apply = [action, holds = std::move(holds)] { action->setEnabled(holds()); };
        apply();
        return apply;
    };
    const auto atPrograms = [state] { return state->Level() == CBrowseState::kProgramLevel; };
    const auto atBanks = [state] { return state->Level() == CBrowseState::kBankLevel; };
    connect(state, &CBrowseState::levelChanged, a.back, enableWhile(a.back, atPrograms));
    connect(state, &CBrowseState::levelChanged, a.loadPatch, enableWhile(a.loadPatch, atPrograms));
    connect(state, &CBrowseState::levelChanged, a.backup, enableWhile(a.backup, atPrograms));
    connect(state, &CBrowseState::levelChanged, a.createBank, enableWhile(a.createBank, atBanks));
    connect(state, &CBrowseState::findTextChanged, a.findNext,
            enableWhile(a.findNext, [state] { return !state->FindText().isEmpty(); }));
    // Delete: a selected bank, or a selected user program. Open: a selected entry. The list is
    // refilled without a selection signal, hence entriesChanged.
    const std::pair<QAction*, std::function<void()>> selectionRules[] = {
        {a.del, enableWhile(a.del, [commands] { return commands->CanDelete(); })},
        {a.open, enableWhile(a.open, [list] { return list->SelectedRow() >= 0; })},
    };
    for (const auto& [action, rule] : selectionRules) {
        connect(list, &QListWidget::itemSelectionChanged, action, rule);
        connect(state, &CBrowseState::levelChanged, action, rule);
        connect(m_pView, &CQuorlinView::entriesChanged, action, rule);
    }

    // Check marks. The groups of the channels and the DSPs uncheck the others.
    a.channels[static_cast<std::size_t>(state->Channel())]->setChecked(true);
    connect(state, &CBrowseState::channelChanged, this, [this](int channel) {
        m_actions.channels[static_cast<std::size_t>(channel)]->setChecked(true);
    });
    const auto checkDsp = [this](int dsp) {
        (dsp == 1 ? m_actions.dspA : m_actions.dspB)->setChecked(true);
    };
    checkDsp(state->Dsp());
    connect(state, &CBrowseState::dspChanged, this, checkDsp);
    a.patchInfo->setChecked(state->ShowInfoPane());
    connect(state, &CBrowseState::showInfoPaneChanged, a.patchInfo, &QAction::setChecked);
    // The toolbar can also be hidden from its own context menu or by the saved window state.
    a.toolbar->setChecked(!m_pToolBar->isHidden());
    connect(m_pToolBar, &QToolBar::visibilityChanged, a.toolbar, &QAction::setChecked);
    a.statusBar->setChecked(!statusBar()->isHidden());  // the action is its only switch

    // While an operation runs every command rests; afterwards each follows its rule again (a
    // disabled group keeps its actions' own enabled state).
    const auto rest = [this](bool busy) {
        for (QActionGroup* group : {m_pCommandGroup, m_pChannels, m_pDsps})
            group->setEnabled(!busy);
    };
    rest(m_worker.IsBusy());
    connect(&m_worker, &CEngineWorker::busyChanged, this, [this, rest](bool busy) {
        rest(busy);
        if (!busy && m_bCloseRequested) QTimer::singleShot(0, this, &QWidget::close);
    });

    UpdatePatchCount();
    connect(state, &CBrowseState::levelChanged, this, &CMainFrame::UpdatePatchCount);
    connect(m_pView, &CQuorlinView::entriesChanged, this, &CMainFrame::UpdatePatchCount);
    UpdateMinimumSize();
    connect(state, &CBrowseState::levelChanged, this, &CMainFrame::UpdateMinimumSize);
    connect(state, &CBrowseState::showInfoPaneChanged, this, &CMainFrame::UpdateMinimumSize);
}

void CMainFrame::UpdatePatchCount() {
    const CQuorlinView& view = *m_pView;
    m_pPatchCount->setText(m_state.Level() != CBrowseState::kBankLevel
                               ? tr("%n patches", nullptr, view.GetProgramCount())
                               : QString());
}

void CMainFrame::UpdateMinimumSize() {
    int minWidth = m_pView->GetListWidth();
    if (m_state.PaneShown()) minWidth += kPaneColumnWidth;
    setMinimumSize(minWidth, 200);
}

void CMainFrame::RestorePlacement() {
    const QSize first = FirstStartSize(QGuiApplication::primaryScreen(),
                                       m_pView->GetListWidth() + kPaneColumnWidth);
    std::uint32_t missing = 0;
    int cx = ReadSettingDword(kSectionOptions, "Cx", first.width(), missing);
    int cy = ReadSettingDword(kSectionOptions, "Cy", first.height(), missing);
    // Sizes nobody could have dragged the window to: the first start's instead.
    if (cx < 100 || cx > 20000) cx = first.width();
    if (cy < 100 || cy > 20000) cy = first.height();
    std::uint32_t positionMissing = 0;
    const int x = ReadSettingDword(kSectionOptions, "X", 0, positionMissing);
    const int y = ReadSettingDword(kSectionOptions, "Y", 0, positionMissing);
    resize(cx, cy);
    if (positionMissing != 0) return;  // the system chooses the position

    QRect wanted(x, y, cx, cy);
    bool onScreen = false;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect visible = screen->availableGeometry().intersected(wanted);
        if (visible.width() >= 50 && visible.height() >= 50) onScreen = true;
    }
    if (!onScreen && QGuiApplication::primaryScreen() != nullptr) {
        // A window placed off every screen (a monitor that is gone) comes back onto the primary
        // one, at its top-left corner and no larger than it.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        wanted.setSize(wanted.size().boundedTo(area.size()));
        wanted.moveTopLeft(area.topLeft());
        resize(wanted.size());
    }
    move(wanted.topLeft());
}

void CMainFrame::NoteNormalPlacement() {
    constexpr Qt::WindowStates kNotNormal =
        Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen;
    if ((windowState() & kNotNormal) != 0) return;
    m_normalPlacement = QRect(pos(), size());
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    NoteNormalPlacement();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    NoteNormalPlacement();
}

void CMainFrame::SavePlacement() {
    // X and Y are the frame's position (as move() takes it), Cx and Cy the client size (as
    // resize() takes it). A maximised or minimised window is saved at the placement it last had
    // in its normal state, noted then: its decoration differs while maximised, so deriving the
    // normal frame position from the maximised one moved the window a little at every run.
    QRect normal(pos(), size());
    if ((isMaximized() || isMinimized() || isFullScreen())) {
        if (m_normalPlacement.isValid()) {
            normal = m_normalPlacement;
        } else if (!normalGeometry().isEmpty()) {
            normal = QRect(normalGeometry().topLeft() - (geometry().topLeft() - pos()),
                           normalGeometry().size());
        }
    }
    WriteSettingDword(kSectionOptions, "X", normal.left());
    WriteSettingDword(kSectionOptions, "Y", normal.top());
    WriteSettingDword(kSectionOptions, "Cx", normal.width());
    WriteSettingDword(kSectionOptions, "Cy", normal.height());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_worker.IsBusy()) {
        // The running operation stops between steps (or ends by its own time-outs); the window
        // closes as soon as it is over.
        m_worker.RequestShutdown();
        m_bCloseRequested = true;
        event->ignore();
        return;
    }
    m_worker.RequestShutdown();
    SavePlacement();
    CCommLogPanel::SaveWindowState(this);
    event->accept();
}
