#pragma once
// View ▸ Communication Log: a dock panel that lists every frame the program sends to the unit
// and every frame it reads back (CCommLogModel), as the shared traffic tap (LinkTap.h) reports
// them. Hidden at first; while it is shown it observes the tap, and its clock starts the first
// time it is shown.
//
// Above the table: a filter box (rows whose text holds the filter text, any letter case), Pause
// (frames keep being collected, the table stands still until Resume, as the button then reads),
// Clear, and "Save As…", which writes the log as text (one row a line, every byte, as the
// command line's --trace writes it) and, when the second file type (TextAndFramesFilter) is chosen, the
// system-exclusive frames beside it, byte for byte, in a file of the same name ending in ".syx".
// Ctrl+C copies the selected rows with every byte.
//
// Frames reach the panel on the tap's delivery thread and wait in a queue; the first frame of a
// batch starts a one-shot timer that moves the batch into the table kBatchMs later, so a
// backup's stream of frames does not repaint the table frame by frame, and nothing wakes the
// program while no frame comes. The table follows the newest row while it is scrolled to the
// end, and again after Resume or a change of the filter.
//
// The window's dock layout (the panel's visibility and place) is kept in the settings as
// "WindowState" in "Options": Install restores it, SaveWindowState writes it.
//
// GUI thread only (but OnLinkFrame, which the tap calls).

#include <QDockWidget>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>

#include "link/LinkTap.h"
#include "ui/log/CommLogModel.h"

class QLineEdit;
class QMainWindow;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;

class CCommLogPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit CCommLogPanel(QWidget* parent = nullptr,
                           std::shared_ptr<CLinkTap> tap = CLinkTap::Shared());
    ~CCommLogPanel() override;

    // Adds a hidden panel at the bottom of `window`, restores the saved dock layout and returns
    // the panel; its toggleViewAction() is the menu command.
    static CCommLogPanel* Install(QMainWindow* window);
    static void SaveWindowState(QMainWindow* window);

    // Writes the log to `path` (and the frames to the .syx beside it when `withFrames`). False,
    // with the reason in `error`, when a file cannot be written.
    bool SaveTo(const QString& path, bool withFrames, QString& error) const;
    // The .syx file that goes with the text file `path`.
    static QString FramesPath(const QString& path);

    CCommLogModel* Model() const { return m_pModel; }
    QTableView* Table() const { return m_pTable; }
    QLineEdit* FilterBox() const { return m_pFilter; }
    QPushButton* PauseButton() const { return m_pPause; }
    QPushButton* ClearButton() const { return m_pClear; }
    QPushButton* SaveButton() const { return m_pSave; }
    // The Save As dialog's two file types: the text alone, the text and the .syx.
    static QString TextFilter();
    static QString TextAndFramesFilter();

    // Moves what has arrived into the table now (the timer does it kBatchMs after the first
    // frame of a batch).
    void TakeArrived();
    static constexpr int kBatchMs = 100;

private:
    class CFeed;

    void Observe(bool on);
    // A frame came into the empty queue: the batch timer starts.
    void BatchArrived();
    void OnSaveAs();
    void CopySelection() const;

    std::shared_ptr<CLinkTap> m_pTap;
    std::unique_ptr<CFeed> m_pFeed;
    bool m_bObserving = false;
    bool m_bStarted = false;
    std::chrono::steady_clock::time_point m_start;

    CCommLogModel* m_pModel = nullptr;
    QSortFilterProxyModel* m_pProxy = nullptr;
    QTableView* m_pTable = nullptr;
    QLineEdit* m_pFilter = nullptr;
    QPushButton* m_pPause = nullptr;
    QPushButton* m_pClear = nullptr;
    QPushButton* m_pSave = nullptr;
    QTimer* m_pTimer = nullptr;
};
