#pragma once
// The main window: menu bar, accelerators, toolbar, status bar with the patch count, the caption
// "<document title> - Quorlin", the saved placement ("X", "Y", "Cx", "Cy" in "Options") and the
// smallest size the user can drag it to. Its client area is the view.
//
// GUI thread only.

#include <QMainWindow>

#include "ui/shell/MainActions.h"
#include "ui/view/QuorlinView.h"

class QActionGroup;
class QLabel;
class QMenu;
class CBrowseState;
class CEngineWorker;
class CLibrarian;
class CGuiHost;
class CPatchCommands;
class CArchiveCommands;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Builds the view, reads the placement (none stored: a size for the available screen, wide
    // enough for the list and the info pane), then builds the commands over the application's
    // parts (CDesktopApp owns them).
    CMainFrame(CLibrarian& engine, CEngineWorker& worker, CBrowseState& state, CGuiHost& host);
    ~CMainFrame() override;

    CQuorlinView* View() const { return m_pView; }
    CPatchCommands* Commands() const { return m_pCommands; }
    CArchiveCommands* Archive() const { return m_pArchive; }
    const CMainActions& Actions() const { return m_actions; }
    // The menus that other parts of the program add their commands to.
    QMenu* ViewMenu() const { return m_pViewMenu; }
    QMenu* OptionsMenu() const { return m_pOptionsMenu; }
    QLabel* PatchCountPane() const { return m_pPatchCount; }
    QToolBar* ToolBar() const { return m_pToolBar; }

    // Writes the restored (normal) placement to the settings.
    void SavePlacement();

protected:
    // Notes the commands added to the window and its menus (see WatchCommands).
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // An action named `name` (its object name) in `group`.
    QAction* NewAction(QActionGroup* group, const char* name, const QString& text,
                       const QString& icon = {});
    void CreateActions();
    // File > Exit (Ctrl+Q): while an operation runs, asks first.
    void OnExit();
    void CreateMenus();
    // Every command of `holder` (the window or a menu, submenus included), and every one added
    // to it later (the library's, the log's), gives an open name edit up when triggered.
    void WatchCommands(QWidget* holder);
    void CancelEditOnTrigger(QAction* action);
    void CreateToolBar();
    void CreateStatusBar();
    // Each action's enable rule and check mark, kept by the signals of what it depends on; while
    // an operation runs every command rests.
    void ConnectEnableRules();
    void UpdatePatchCount();
    // The smallest size the user can drag the window to: the list column, plus the pane column
    // while it is shown.
    void UpdateMinimumSize();
    void RestorePlacement();
    // Notes the placement while the window is in its normal state.
    void NoteNormalPlacement();

    CEngineWorker& m_worker;
    CBrowseState& m_state;
    CGuiHost& m_host;
    CQuorlinView* m_pView = nullptr;
    CPatchCommands* m_pCommands = nullptr;
    CArchiveCommands* m_pArchive = nullptr;
    CMainActions m_actions;
    // Every command is in one of these; disabling them all while an operation runs keeps each
    // action's own enabled state for when they are enabled again.
    QActionGroup* m_pCommandGroup = nullptr;
    QActionGroup* m_pChannels = nullptr;
    QActionGroup* m_pDsps = nullptr;
    QMenu* m_pViewMenu = nullptr;
    QMenu* m_pOptionsMenu = nullptr;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pReady = nullptr;
    QLabel* m_pPatchCount = nullptr;
    bool m_bCloseRequested = false;
    // The frame position (as move() takes it) and client size (as resize() takes it) the window
    // last had in its normal state: what is saved when it is closed maximised or minimised.
    QRect m_normalPlacement;
};
