#pragma once
// The main window: menu bar, accelerators, toolbar, status bar with the patch count, the caption
// "<document title> - Quorlin", the saved placement ("X", "Y", "Cx", "Cy" in "Options") and the
// smallest size the user can drag it to. Its client area is the view.
//
// GUI thread only.

#include <QHash>
#include <QMainWindow>

#include "ui/view/QuorlinView.h"

class QAction;
class QLabel;
class CBrowseState;
class CEngineWorker;
class CLibrarian;
class CGuiHost;
class CPatchCommands;
class CArchiveCommands;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // Reads the placement, then builds the view and the commands over the application's parts
    // (CDesktopApp owns them).
    CMainFrame(CLibrarian& engine, CEngineWorker& worker, CBrowseState& state, CGuiHost& host);
    ~CMainFrame() override;

    CQuorlinView* View() const { return m_pView; }
    CPatchCommands* Commands() const { return m_pCommands; }
    CArchiveCommands* Archive() const { return m_pArchive; }
    QAction* Action(int id) const { return m_actions.value(id); }
    QLabel* PatchCountPane() const { return m_pPatchCount; }
    QToolBar* ToolBar() const { return m_pToolBar; }

    // Enable rules, check marks, the patch count pane and the tracking size, from the view's
    // state (the framework's idle update).
    void UpdateCommandUI();
    // Writes the restored (normal) placement to the settings.
    void SavePlacement();

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QAction* AddAction(int id, const QString& text, const QString& prompt,
                       const QString& icon = {});
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void RestorePlacement();
    // Notes the placement while the window is in its normal state.
    void NoteNormalPlacement();

    CEngineWorker& m_worker;
    CBrowseState& m_state;
    CQuorlinView* m_pView = nullptr;
    CPatchCommands* m_pCommands = nullptr;
    CArchiveCommands* m_pArchive = nullptr;
    QHash<int, QAction*> m_actions;
    QToolBar* m_pToolBar = nullptr;
    QLabel* m_pReady = nullptr;
    QLabel* m_pPatchCount = nullptr;
    bool m_bCloseRequested = false;
    // The frame position (as move() takes it) and client size (as resize() takes it) the window
    // last had in its normal state: what is saved when it is closed maximised or minimised.
    QRect m_normalPlacement;
};
