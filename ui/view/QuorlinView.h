#pragma once
// The one view of the main window: the unit's banks, or the programs of one bank with the patch
// info pane beside them. It shows the browsing state and changes it as the user browses, and
// runs every engine operation through the engine worker, so the window keeps painting while the
// unit is asked. It opens banks and loads programs (the main window's Open and the list's
// dragStarted); the commands that change what the unit holds are CPatchCommands', over the same
// engine and state.
//
// The operations return at once; what they show changes when the unit has answered, and only
// when it has: a bank whose selection or program list fails leaves the title, the bank shown and
// the list as they were. A continuation given as `then` runs after the view has changed.
//
// GUI thread only.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "engine/ProgramEntry.h"
#include "engine/ProgramFetch.h"
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
    // `state` is what it shows and changes; `engine` is asked through `worker`; `host` shows
    // the view's own messages.
    CQuorlinView(CLibrarian& engine, CEngineWorker& worker, CBrowseState& state, IHost& host,
                 QWidget* parent = nullptr);
    ~CQuorlinView() override;

    // Opens the setup dialog if the serial settings were missing, prepares the list. The caller
    // shows the window and then posts RequestBankList().
    void InitialUpdate();
    // Fetches the bank list once the event loop runs (the window is on screen by then).
    void PostBankListRequest();

    // Reads the bank list and lists the banks (level 0). `then` gets 0, or -2 when the unit did
    // not send the list (the view stays as it was). With `fromUnit` the unit is asked whatever
    // the engine's catalogue holds.
    using ResultThen = std::function<void(int result)>;
    void ShowBanks(ResultThen then = {}, bool fromUnit = false);
    // Reads the programs of the current bank and lists them (level 1); on failure the list stays.
    void ShowPrograms(ResultThen then = {});
    // Opens bank `bank`, the entry at `index` of the bank list, titled `title`: the bank select
    // on the current DSP and the program list, as one operation. Only when both succeeded do the
    // title, the current bank, the bank index, the level and the list change.
    void OpenBank(int bank, int index, const QString& title, ResultThen then = {});
    // Opens the selected bank, or loads the selected program on the current DSP.
    void ActivateSelection();
    // Loads the program at `row` on the current DSP: program change, its text (checked by its
    // name; reported to the library when `report`) and the information text, as one operation.
    // The row is marked loaded only when the unit sent that program; the pane shows what runs.
    using FetchThen = std::function<void(const ProgramFetch& fetch)>;
    void LoadProgram(int row, bool report, FetchThen then = {});
    bool IsLoadedProgram(int index) const { return m_state.IsLoadedProgram(index); }
    int GetListWidth() const;
    int GetProgramCount() const;

    // Commands.
    // Reads again from the unit what is shown: the bank list (the engine's catalogue bypassed),
    // or the open bank's programs (the bank selected again first). On failure the list stays.
    void OnRefresh();
    void OnBack();
    void OnCommSetup();
    void OnChannel(int channel);  // 0..15
    void OnDsp(int dsp);          // 1 DSP A, 2 DSP B
    void OnTogglePatchInfo();

    CEntryListCtrl* List() const { return m_list; }
    // The unit was left on another bank than the one shown (a bank it selected but did not list,
    // a search that did not end on a bank opened): a load must select the shown bank first.
    bool UnitOffShownBank() const { return m_bUnitOffShownBank; }
    void SetUnitOffShownBank(bool off) { m_bUnitOffShownBank = off; }
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
    void FillProgramList(const std::vector<ProgramEntry>& programs);
    // The list's drag-out began on `row`: the program is loaded, then dragged while the button
    // is still held.
    void StartProgramDrag(int row);

    CLibrarian& m_engine;
    CEngineWorker& m_worker;
    IHost& m_host;
    CBrowseState& m_state;
    CEntryListCtrl* m_list = nullptr;
    CPatchInfoPane* m_pane = nullptr;
    QHBoxLayout* m_layout = nullptr;
    bool m_bUnitOffShownBank = false;
};
