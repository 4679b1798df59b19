#include "ui/shell/MainFrame.h"

#include <QAction>
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

#include "settings/SettingsStore.h"
#include "ui/commands/ArchiveCommands.h"
#include "ui/commands/PatchCommands.h"
#include "ui/core/BrowseState.h"
#include "ui/core/CommandIds.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/GuiHost.h"
#include "ui/list/EntryListCtrl.h"
#include "ui/log/CommLogPanel.h"
#include "ui/log/LogFileRecorder.h"
#include "ui/shell/AboutDlg.h"
#include "ui/shell/AppIcon.h"

using namespace cmd;

namespace {

constexpr int kDefaultWidth = 349;
constexpr int kDefaultHeight = 513;

}  // namespace

CMainFrame::CMainFrame(CLibrarian& engine, CEngineWorker& worker, CBrowseState& state,
                       CGuiHost& host)
    : m_worker(worker), m_state(state) {
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowIcon(AppIcon());
    RestorePlacement();

    m_pView = new CQuorlinView(engine, worker, state, host, this);
    setCentralWidget(m_pView);
    m_pCommands =
        new CPatchCommands(*m_pView, *m_pView->List(), engine, worker, state, host, this);
    m_pArchive = new CArchiveCommands(*m_pView, engine, worker, state, host, this);

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();

    // The caption, enable rules, check marks and the patch count follow the browsing state.
    connect(&state, &CBrowseState::titleChanged, this, [this](const QString& title) {
        setWindowTitle(title + QStringLiteral(" - ") + CGuiHost::ApplicationTitle());
    });
    connect(&state, &CBrowseState::levelChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&state, &CBrowseState::dspChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&state, &CBrowseState::channelChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&state, &CBrowseState::showInfoPaneChanged, this, &CMainFrame::UpdateCommandUI);
    connect(&state, &CBrowseState::findTextChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pView, &CQuorlinView::entriesChanged, this, &CMainFrame::UpdateCommandUI);
    connect(m_pView->List(), &QListWidget::itemSelectionChanged, this,
            &CMainFrame::UpdateCommandUI);
    connect(&m_worker, &CEngineWorker::busyChanged, this, [this](bool busy) {
        if (busy) {
            for (QAction* action : std::as_const(m_actions)) action->setEnabled(false);
        } else {
            UpdateCommandUI();
            if (m_bCloseRequested) QTimer::singleShot(0, this, &QWidget::close);
        }
    });
    setWindowTitle(CGuiHost::ApplicationTitle());
    UpdateCommandUI();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddAction(int id, const QString& text, const QString& prompt,
                               const QString& icon) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::number(id));
    action->setData(id);
    // The prompt's text before the line break is the status bar prompt, after it the tool tip.
    const QString statusTip = prompt.section(QLatin1Char('\n'), 0, 0);
    const QString toolTip = prompt.section(QLatin1Char('\n'), 1, 1);
    if (!statusTip.isEmpty()) action->setStatusTip(statusTip);
    if (!toolTip.isEmpty()) action->setToolTip(toolTip);
    if (!icon.isEmpty()) action->setIcon(QIcon(icon));
    m_actions.insert(id, action);
    return action;
}

void CMainFrame::CreateMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* exit = AddAction(ID_APP_EXIT, tr("E&xit"), tr("Quit the application\nExit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    file->addAction(exit);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->setObjectName(QStringLiteral("viewMenu"));  // the Library window adds itself here
    QAction* toolbar =
        AddAction(ID_VIEW_TOOLBAR, tr("&Toolbar"), tr("Show or hide the toolbar\nToggle ToolBar"));
    toolbar->setCheckable(true);
    QAction* statusBarAction = AddAction(ID_VIEW_STATUS_BAR, tr("&Status Bar"),
                                         tr("Show or hide the status bar\nToggle StatusBar"));
    statusBarAction->setCheckable(true);
    QAction* patchInfo = AddAction(ID_VIEW_PATCHINFO, tr("Patch Info"), {});
    patchInfo->setCheckable(true);
    connect(patchInfo, &QAction::triggered, m_pView, &CQuorlinView::OnTogglePatchInfo);
    view->addAction(toolbar);
    view->addAction(statusBarAction);
    view->addAction(patchInfo);
    view->addAction(CCommLogPanel::Install(this)->toggleViewAction());

    QMenu* options = menuBar()->addMenu(tr("&Options"));
    options->setObjectName(QStringLiteral("optionsMenu"));  // the library adds an option here
    QAction* setup = AddAction(ID_OPTIONS_COMMSETUP, tr("Communications &Setup..."), {});
    connect(setup, &QAction::triggered, m_pView, &CQuorlinView::OnCommSetup);
    options->addAction(setup);
    options->addAction(CLogFileRecorder::CreateToggle(this));
    QMenu* channel = options->addMenu(tr("&Channel"));
    // One channel at a time: the items are drawn as radio items.
    auto* channels = new QActionGroup(this);
    channels->setExclusive(true);
    for (int id = ID_CHANNEL_1; id <= ID_CHANNEL_16; ++id) {
        QAction* action = AddAction(id, QString::number(id - ID_CHANNEL_1 + 1), {});
        action->setCheckable(true);
        channels->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, id] { m_pView->OnChannel(id - ID_CHANNEL_1); });
        channel->addAction(action);
    }
    QMenu* bankChange = options->addMenu(tr("Bank Change"));
    QAction* dspA = AddAction(ID_DSP_A, tr("DSP A"), tr("Change to DSP A\nDSP A"),
                              QStringLiteral(":/icons/dspa.png"));
    dspA->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    dspA->setCheckable(true);
    connect(dspA, &QAction::triggered, this, [this] { m_pView->OnDsp(1); });
    QAction* dspB = AddAction(ID_DSP_B, tr("DSP B"), tr("Change to DSP B\nDSP B"),
                              QStringLiteral(":/icons/dspb.png"));
    dspB->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    dspB->setCheckable(true);
    connect(dspB, &QAction::triggered, this, [this] { m_pView->OnDsp(2); });
    auto* dsps = new QActionGroup(this);
    dsps->setExclusive(true);
    dsps->addAction(dspA);
    dsps->addAction(dspB);
    bankChange->addAction(dspA);
    bankChange->addAction(dspB);

    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    QAction* del =
        AddAction(ID_DELETE, tr("&Delete"), tr("Delete the selected patch or bank\nDelete"),
                  QStringLiteral(":/icons/delete.png"));
    connect(del, &QAction::triggered, m_pCommands, &CPatchCommands::OnDelete);
    tools->addAction(del);
    tools->addSeparator();
    QAction* find = AddAction(ID_FIND, tr("&Find..."), tr("Find patch"));
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(find, &QAction::triggered, m_pCommands, &CPatchCommands::OnFind);
    tools->addAction(find);
    QAction* findNext = AddAction(ID_FIND_NEXT, tr("Find Next"), tr("Find next patch"));
    findNext->setShortcut(QKeySequence(Qt::Key_F3));
    connect(findNext, &QAction::triggered, m_pCommands, &CPatchCommands::OnFindNext);
    tools->addAction(findNext);
    tools->addSeparator();
    QAction* load =
        AddAction(ID_LOAD_PATCH, tr("Load Patch from PC"),
                  tr("Open an existing patch and store it in the current bank\nLoad Patch"));
    connect(load, &QAction::triggered, m_pCommands, &CPatchCommands::OnLoadPatch);
    tools->addAction(load);
    QAction* backup = AddAction(ID_BACKUP, tr("&Backup user patches to PC"),
                                tr("Backup user patches in the current bank"));
    connect(backup, &QAction::triggered, m_pCommands, &CPatchCommands::OnBackup);
    tools->addAction(backup);
    tools->addSeparator();
    QAction* backupUnit =
        AddAction(ID_BACKUP_UNIT, tr("Back Up Entire Unit…"),
                  tr("Back up every user program of every bank into a new folder"));
    connect(backupUnit, &QAction::triggered, m_pArchive, &CArchiveCommands::BackUpUnit);
    tools->addAction(backupUnit);
    QAction* restoreUnit =
        AddAction(ID_RESTORE_UNIT, tr("Restore Backup to Unit…"),
                  tr("Put the programs of a whole-unit backup back into the unit"));
    connect(restoreUnit, &QAction::triggered, m_pArchive, &CArchiveCommands::RestoreUnit);
    tools->addAction(restoreUnit);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* about =
        AddAction(ID_APP_ABOUT, tr("&About Quorlin..."),
                  tr("Display program information, version number and copyright\nAbout"),
                  QStringLiteral(":/icons/about.png"));
    connect(about, &QAction::triggered, this, [this] {
        CAboutDlg dialog(this);
        dialog.exec();
    });
    help->addAction(about);

    // Back and Create Bank are reached from the toolbar and the keyboard only.
    QAction* back = AddAction(ID_BACK, tr("Back"), tr("Back to bank selection\nBack"),
                              QStringLiteral(":/icons/back.png"));
    back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    connect(back, &QAction::triggered, m_pView, &CQuorlinView::OnBack);
    addAction(back);
    QAction* createBank =
        AddAction(ID_CREATE_BANK, tr("Create Bank"), tr("Create new bank\nCreate Bank"),
                  QStringLiteral(":/icons/newbank.png"));
    connect(createBank, &QAction::triggered, m_pCommands, &CPatchCommands::OnCreateBank);

    for (QMenu* menu : menuBar()->findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    }
}

void CMainFrame::CreateToolBar() {
    m_pToolBar = addToolBar(tr("Toolbar"));
    m_pToolBar->setObjectName(QStringLiteral("toolbar"));
    m_pToolBar->setIconSize(QSize(16, 15));
    m_pToolBar->setMovable(true);
    m_pToolBar->addAction(m_actions[ID_BACK]);
    m_pToolBar->addAction(m_actions[ID_CREATE_BANK]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[ID_DSP_A]);
    m_pToolBar->addAction(m_actions[ID_DSP_B]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[ID_DELETE]);
    m_pToolBar->addSeparator();
    m_pToolBar->addAction(m_actions[ID_APP_ABOUT]);

    QAction* toggle = m_actions[ID_VIEW_TOOLBAR];
    connect(toggle, &QAction::triggered, m_pToolBar, &QWidget::setVisible);
    QAction* statusToggle = m_actions[ID_VIEW_STATUS_BAR];
    connect(statusToggle, &QAction::triggered, this,
            [this](bool on) { statusBar()->setVisible(on); });
}

void CMainFrame::CreateStatusBar() {
    m_pReady = new QLabel(tr("Ready"));
    statusBar()->addWidget(m_pReady, 1);
    m_pPatchCount = new QLabel(tr("This pane displays the number of patches in a bank"));
    m_pPatchCount->setObjectName(QStringLiteral("101"));
    const int measured = m_pPatchCount->fontMetrics().horizontalAdvance(tr("100 Patches"));
    // The measured width less the 20 pixels the original took off for its pane borders; Qt adds
    // no borders of that size, so the label keeps the measured width as its minimum.
    m_pPatchCount->setFixedWidth(std::max(measured - 20, 0) + 20);
    statusBar()->addPermanentWidget(m_pPatchCount);
}

void CMainFrame::UpdateCommandUI() {
    const bool busy = m_worker.IsBusy();
    const CQuorlinView& view = *m_pView;
    const CBrowseState& state = m_state;
    auto enable = [&](int id, bool on) {
        if (QAction* action = m_actions.value(id)) action->setEnabled(on && !busy);
    };
    auto check = [&](int id, bool on) {
        if (QAction* action = m_actions.value(id)) action->setChecked(on);
    };
    for (QAction* action : std::as_const(m_actions)) action->setEnabled(!busy);
    const bool programs = state.Level() == CBrowseState::kProgramLevel;
    enable(ID_BACK, programs);
    enable(ID_CREATE_BANK, state.Level() == CBrowseState::kBankLevel);
    enable(ID_LOAD_PATCH, programs);
    enable(ID_BACKUP, programs);
    enable(ID_FIND_NEXT, !state.FindText().isEmpty());
    enable(ID_DELETE, m_pCommands->CanDelete());
    for (int id = ID_CHANNEL_1; id <= ID_CHANNEL_16; ++id) {
        check(id, id == ID_CHANNEL_1 + state.Channel());
    }
    check(ID_DSP_A, state.Dsp() == 1);
    check(ID_DSP_B, state.Dsp() == 2);
    check(ID_VIEW_PATCHINFO, state.ShowInfoPane());
    check(ID_VIEW_TOOLBAR, m_pToolBar != nullptr && !m_pToolBar->isHidden());
    check(ID_VIEW_STATUS_BAR, !statusBar()->isHidden());

    if (m_pPatchCount != nullptr) {
        m_pPatchCount->setText(state.Level() != CBrowseState::kBankLevel
                                   ? tr("%1 patches").arg(view.GetProgramCount())
                                   : QString());
    }
    // Smallest tracking size: the list column, plus the pane column while it is shown.
    int minWidth = view.GetListWidth();
    if (state.PaneShown()) minWidth += kPaneColumnWidth;
    setMinimumSize(minWidth, 200);
}

void CMainFrame::RestorePlacement() {
    std::uint32_t missing = 0;
    int cx = ReadSettingDword(kSectionOptions, "Cx", kDefaultWidth, missing);
    int cy = ReadSettingDword(kSectionOptions, "Cy", kDefaultHeight, missing);
    // Sizes nobody could have dragged the window to: the defaults instead.
    if (cx < 100 || cx > 20000) cx = kDefaultWidth;
    if (cy < 100 || cy > 20000) cy = kDefaultHeight;
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
