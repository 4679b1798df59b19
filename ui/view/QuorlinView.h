#pragma once
// The one view of the main window: the unit's banks, or the programs of one bank with the patch
// info pane beside them. It owns the librarian engine and the browsing state, and runs every
// engine operation through the engine worker, so the window keeps painting while the unit is
// asked. It opens banks and loads programs (the main window's Open and the list's dragStarted);
// the commands that change what the unit holds are CPatchCommands', over the same engine and
// state.
//
// GUI thread only.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/core/BrowseState.h"

class CLibrarian;
class CEngineWorker;
class CEntryListCtrl;
class CPatchInfoPane;
class IHost;
class QHBoxLayout;
class QScrollBar;

// The info pane's column (left of the list) and its margins, shared by the view and the main
// frame's tracking size.
inline constexpr int kPaneMarginX = 12;
inline constexpr int kPaneMarginY = 9;
inline constexpr int kPaneBoxWidth = 200;
inline constexpr int kPaneColumnWidth = kPaneBoxWidth + 2 * kPaneMarginX;  // 224

class CQuorlinView : public QWidget {
    Q_OBJECT
public:
    using EngineFactory = std::function<std::unique_ptr<CLibrarian>(IHost&)>;

    // Builds the engine (and with it both links, which may ask the user to set up the
    // connection), then reads "Channel", "BankChangeDevice" and "DisplayInfoPane" into the state.
    CQuorlinView(CEngineWorker& worker, IHost& host, const EngineFactory& factory,
                 QWidget* parent = nullptr);
    // Destroys the engine, then writes the state's three settings.
    ~CQuorlinView() override;

    // Opens the setup dialog if the serial settings were missing, prepares the list. The caller
    // shows the window and then posts RequestBankList().
    void InitialUpdate();
    // Fetches the bank list once the event loop runs (the window is on screen by then).
    void PostBankListRequest();

    // Lists the banks (level 0); -2 when the unit did not send the list.
    int ShowBanks();
    // Lists the programs of the current bank (level 1, once they were read).
    void ShowPrograms();
    // Opens the selected bank, or loads the selected program on the current DSP.
    void ActivateSelection();
    bool IsLoadedProgram(int index) const { return m_state.IsLoadedProgram(index); }
    int GetListWidth() const;
    int GetProgramCount() const;

    // Commands.
    void OnBack();
    void OnCommSetup();
    void OnChannel(int channel);  // 0..15
    void OnDsp(int dsp);          // 1 DSP A, 2 DSP B
    void OnTogglePatchInfo();

    // What is browsed; the commands change it, the frame and the list observe it.
    CBrowseState& State() { return m_state; }
    const CBrowseState& State() const { return m_state; }
    CLibrarian* Engine() const { return m_pEngine.get(); }
    CEngineWorker& Worker() const { return m_worker; }
    IHost& Host() const { return m_host; }
    CEntryListCtrl* List() const { return m_list; }
    CPatchInfoPane* Pane() const { return m_pane; }
    // The info pane's vertical scroll bar, shown while its text does not fit.
    QScrollBar* PaneScroll() const;
    QString DocumentTitle() const { return m_state.Title(); }
    // The text the info pane shows now.
    QString PaneText() const { return m_state.PaneText(); }
    bool PaneShown() const { return m_state.PaneShown(); }

signals:
    // The list was filled anew (the patch count follows).
    void entriesChanged();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Shows the info pane's column left of the list while PaneShown(), else the list alone.
    void RecalcLayout();
    void EnsureFrameWidth();
    void FillBankList(const QStringList& entries);

    CEngineWorker& m_worker;
    IHost& m_host;
    CBrowseState m_state;
    std::unique_ptr<CLibrarian> m_pEngine;
    CEntryListCtrl* m_list = nullptr;
    CPatchInfoPane* m_pane = nullptr;
    QHBoxLayout* m_layout = nullptr;
};
