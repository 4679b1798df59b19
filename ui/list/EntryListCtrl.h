#pragma once
// The list of bank or program entries in the view, and what the user does with it: double-click
// and Enter activate the selected entry, Delete deletes it, a right-click offers the commands
// that fit the level and the selection, a bank's name can be edited in place, a program can be
// dragged out of the window as a ".sig" file, and a ".sig" file dropped on the program list is
// loaded into the shown bank. The program loaded on the current DSP is drawn bold with the arrow
// icon, chosen anew at every paint.
//
// GUI thread only.

#include <QListWidget>
#include <QTemporaryDir>
#include <memory>

class CQuorlinView;
class CPatchMimeData;
class QMenu;

class CEntryListCtrl : public QListWidget {
    Q_OBJECT
public:
    static constexpr int ID_RENAME_BANK = 32802;

    CEntryListCtrl(CQuorlinView& view, QWidget* parent);
    ~CEntryListCtrl() override;

    // Appends an entry with the icon at `iconIndex` of the view's image list; `data` is the
    // entry's item data (the user flag of a program).
    void AddEntry(const QString& text, int iconIndex, int data);
    // The first selected entry, or -1.
    int SelectedRow() const;
    int EntryData(int row) const;
    // The bank or program number of the entry at `row`, kept as item data when it was added
    // (-1 for an entry without a number, which is shown but cannot be acted on).
    int EntryNumberAt(int row) const;
    static constexpr int kNumberRole = Qt::UserRole + 1;

    void SetColumnWidth(int width);
    int ColumnWidth() const { return m_nColumnWidth; }
    void SetAcceptDrops(bool accept);

    // The context menu for the current level and selection (nullptr: no menu). Each action's
    // data is its command id.
    std::unique_ptr<QMenu> BuildContextMenu();
    // Starts in-place editing of the selected bank's name.
    void RenameSelectedBank();
    // Steps of a drag-out up to the drag loop: activates the selected program and returns the
    // data to offer (nullptr when nothing is dragged: bank level, no selection, no blank).
    std::unique_ptr<CPatchMimeData> CreatePatchDrag();

    // Dropped files: whether a drop is taken (program level, a local file, not our own drag), and
    // taking it (the first file is loaded; the window comes to the front). The view forwards
    // drops on the info pane here too.
    bool AcceptsDrop(const QMimeData* data, QObject* source) const;
    void TakeDrop(const QMimeData* data);

    // The bank being renamed, taken when the edit begins: its number and its entry's text.
    int m_nEditNumber = -1;
    QString m_strEditEntry;
    // Finishes a rename: asks the unit to name the bank and shows "%d %s" only if it took it.
    // While another operation runs the rename waits for it; it is dropped when the bank list is
    // no longer shown or no longer holds the entry `entry` (the bank was deleted or renamed).
    void FinishRename(int number, const QString& entry, const QString& name);
    // Closes an open name editor without taking its text (an operation is about to start).
    void CancelEdit();
    // Gives the entry a tool tip with its whole text when the text does not fit its column.
    void UpdateEntryToolTip(QListWidgetItem* entry) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    CQuorlinView& m_view;
    int m_nColumnWidth = 300;
    bool m_bStartingDrag = false;
    QTemporaryDir m_dragFolder;
};
