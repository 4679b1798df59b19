#pragma once
// CLibraryWindow: View > Library. A search box (results as you type), a filter (all, on the
// unit, deleted, duplicates), the matching programs with their name, size, where each lives now
// and when it was last seen, and the info text of the selection. A program dragged out of the
// list is a ".sig" file (written when the drag starts), so a bank's program list takes it as it
// takes a dropped file. "Save As…" writes the selection to a ".sig" file, "Show Sightings" lists
// every sighting, and "Restore to Unit" (for a program deleted from the unit) asks the frame to
// load it back into the bank it was deleted from.
//
// An empty library shows, in place of the list, how programs get there; a selected program
// without an info text says so in the info pane. A library kept for this run only (the demo
// unit's) says so quietly below the list.
//
// The window reads its own connection to the library on the GUI thread. Without a library (it
// could not be opened) it says why and offers nothing.

#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWidget>
#include <memory>

#include "library/ProgramLibrary.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

class CLibraryList : public QTreeWidget {
    Q_OBJECT
public:
    CLibraryList(library::CProgramLibrary& library, QTemporaryDir& files, QWidget* parent);
    // Writes the text stored under `sha256` to "<safe name>.sig" in the window's folder; the
    // empty text when it cannot (a damaged copy: `error`, when given, says so).
    QString WriteFile(const QString& sha256, QString* error = nullptr) const;

protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;

private:
    library::CProgramLibrary& m_library;
    QTemporaryDir& m_files;
};

class CLibraryWindow : public QWidget {
    Q_OBJECT
public:
    // `library` may be closed; `openError` then says why.
    CLibraryWindow(library::CProgramLibrary& library, const QString& openError,
                   QWidget* parent = nullptr);

    // Find: shows the programs of the library whose names or info texts hold `text`, marked as
    // in the library, at once (the unit is searched meanwhile).
    void OfferMatches(const QString& text);
    // Lists again (after the unit's work added sightings).
    void Refresh();

    QLineEdit* SearchBox() const { return m_pSearch; }
    QComboBox* FilterBox() const { return m_pFilter; }
    QTreeWidget* Results() const { return m_pList; }
    QPlainTextEdit* InfoText() const { return m_pInfo; }
    QLabel* Banner() const { return m_pBanner; }
    // What stands in place of the list while the library holds no program.
    QLabel* EmptyHint() const { return m_pEmptyHint; }
    // Says below the list that the library is kept for this run only (the demo unit's).
    void SetForThisRunOnly(bool only);
    // The SHA-256 of the selected program, or the empty text.
    QString SelectedSha() const;

    enum Column { ColumnName, ColumnSize, ColumnPlace, ColumnLastSeen };
    static constexpr int kShaRole = Qt::UserRole;
    static constexpr int kDeletedBankRole = Qt::UserRole + 1;  // -1: not deleted

signals:
    // Restore to Unit: load `file` into bank `bank`.
    void restoreRequested(const QString& file, int bank);

private:
    void SelectionChanged();
    void SaveAs();
    void ShowSightings();
    void Restore();

    library::CProgramLibrary& m_library;
    QTemporaryDir m_files;
    QLineEdit* m_pSearch = nullptr;
    QComboBox* m_pFilter = nullptr;
    QStackedWidget* m_pListPages = nullptr;
    CLibraryList* m_pList = nullptr;
    QLabel* m_pEmptyHint = nullptr;
    QLabel* m_pRunOnlyNote = nullptr;
    QPlainTextEdit* m_pInfo = nullptr;
    QLabel* m_pBanner = nullptr;
    QPushButton* m_pSaveAs = nullptr;
    QPushButton* m_pSightings = nullptr;
    QPushButton* m_pRestore = nullptr;
};
