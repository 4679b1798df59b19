#pragma once
// The list of bank or program entries in the view, and what the user does with it. It acts on
// nothing itself: it says what the user asked for with its signals, and its owners (the view and
// the patch commands) do it:
//   activated          a double click on an entry: open the bank or load the program (Enter is
//                      the main window's Open action, which the list carries with Delete)
//   deleteRequested    Delete Bank / Delete Patch of the context menu
//   createBankRequested  Create Bank of the context menu
//   renameCommitted    a bank's name edited in place was taken with Enter (never a name of
//                      blanks only, or none: that edit ends as Esc ends it)
//   filesDropped       files were dropped on the program list (or on the info pane)
//   dragStarted        a program is being dragged out: load and fetch it, then call DragProgram
//   dragRefused        a drag offered nothing: the unit sent another program (the message)
//   keyRefused         a key did nothing, and why (Delete on a factory program)
// The context menu offers what fits the level and the selection; a right click, Shift+F10 and
// the Menu key open the same one. The program loaded on the
// current DSP is drawn bold with the arrow icon, chosen anew at every paint from the browsing
// state, which the list only reads. Others choose an entry through SelectRow, never through the
// selection model.
//
// GUI thread only.

#include <QIcon>
#include <QList>
#include <QListWidget>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <memory>

class CBrowseState;
class CEngineWorker;
class CPatchMimeData;
class QMenu;
struct ProgramFetch;

// Positions of the entry icons in the list's image list (resources 130, 131, 136, 140).
enum EntryIcon : int { kIconBank = 0, kIconFactory = 1, kIconLoaded = 2, kIconUser = 3 };

class CEntryListCtrl : public QListWidget {
    Q_OBJECT
public:
    // While `worker` runs an operation the list takes no input (BusyInputFilter.h), and a
    // committed rename waits for it to end.
    CEntryListCtrl(const CBrowseState& state, CEngineWorker& worker, QWidget* parent);
    ~CEntryListCtrl() override;

    // Appends an entry with the icon at `iconIndex` of the image list; `data` is the entry's
    // item data (the user flag of a program).
    void AddEntry(const QString& text, int iconIndex, int data);
    // The first selected entry, or -1.
    int SelectedRow() const;
    // Selects the entry at `row` alone and makes it the current one, scrolled into view, as a
    // click would; -1 leaves no entry selected (the current one stays, for the arrow keys).
    void SelectRow(int row);
    int EntryData(int row) const;
    // The bank or program number of the entry at `row`, kept as item data when it was added
    // (-1 for an entry without a number, which is shown but cannot be acted on).
    int EntryNumberAt(int row) const;
    static constexpr int kNumberRole = Qt::UserRole + 1;

    void SetColumnWidth(int width);
    int ColumnWidth() const { return m_nColumnWidth; }
    // The entry icons, at the positions of EntryIcon.
    const QList<QIcon>& Images() const { return m_images; }

    // The context menu for the current level and selection (nullptr: no menu). Each action's
    // object name is that of the main window's action for the same command.
    std::unique_ptr<QMenu> BuildContextMenu();
    // Starts in-place editing of the selected bank's name.
    void RenameSelectedBank();
    // The first step of a drag-out: emits dragStarted when the selected entry is a program with
    // a name (program level); false when nothing is dragged. The owner then loads the program,
    // fetching its text, and calls DragProgram.
    bool BeginPatchDrag();
    // The program at `row` was fetched for a drag-out: the data to offer (the fetched text), or
    // nullptr when the unit did not send that program; `refusal` then says why when it sent
    // another one (empty when it sent nothing: the engine has said so).
    std::unique_ptr<CPatchMimeData> CreatePatchDrag(int row, const ProgramFetch& fetch,
                                                    QString& refusal);
    // Runs the drag of the program fetched for `row` while the left button is still held (when
    // it is up, the gesture is over and nothing is dragged). A refusal is emitted as dragRefused.
    void DragProgram(int row, const ProgramFetch& fetch);

    // Dropped files: whether a drop is taken (program level, a local file, not our own drag), and
    // taking it (the window comes to the front; filesDropped follows from the event loop, with
    // the local files in their order). The view forwards drops on the info pane here too.
    bool AcceptsDrop(const QMimeData* data, QObject* source) const;
    void TakeDrop(const QMimeData* data);

    // Finishes a rename: emits renameCommitted. While another operation runs the rename waits
    // for it; it is dropped when the bank list is no longer shown or no longer holds the entry
    // `entry` (the bank was deleted or renamed).
    void FinishRename(int number, const QString& entry, const QString& name);
    // The unit took the new name of bank `number`: the entries that read `entry` show
    // "<number> <name>".
    void ShowBankName(const QString& entry, int number, const QString& name);
    // A name taken from the editor: FinishRename runs once the editor has closed and the event
    // loop is reached, unless CancelEdit comes first.
    void QueueRename(int number, const QString& entry, const QString& name);
    // Closes an open name editor without taking its text (a command or an operation is about to
    // start), and gives up a name the editor queued but whose rename has not begun.
    void CancelEdit();
    // Gives the entry a tool tip with its whole text when the text does not fit its column.
    void UpdateEntryToolTip(QListWidgetItem* entry) const;

signals:
    // The user double-clicked an entry, to act on it.
    void activated();
    // The user asked to delete the selected entry.
    void deleteRequested();
    // The user asked for a new bank.
    void createBankRequested();
    // A bank's name edited in place is to be given to the unit: bank `number`, listed as
    // `entry` when the edit began, is to be named `name`.
    void renameCommitted(int number, const QString& entry, const QString& name);
    // Local files were dropped; the first is the one to load.
    void filesDropped(const QStringList& paths);
    // A program is being dragged out; the handler loads the selected program.
    void dragStarted();
    // A drag-out offered nothing because the unit sent another program; `message` says so.
    void dragRefused(const QString& message);
    // A key the user pressed does nothing here; `reason` says why.
    void keyRefused(const QString& reason);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void SetAcceptDrops(bool accept);

    const CBrowseState& m_state;
    CEngineWorker& m_worker;
    QList<QIcon> m_images;
    int m_nColumnWidth = 300;
    QTemporaryDir m_dragFolder;
    // A drag-out's gesture is under way: from BeginPatchDrag until the button is released over
    // the list (a later press, even one refused during the fetch, does not revive it).
    bool m_bDragGesture = false;
    // How often CancelEdit was called: a queued rename runs only when none came in between.
    std::uint64_t m_nCancels = 0;
};
