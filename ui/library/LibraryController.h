#pragma once
// CLibraryController: the program library in the desktop program. It opens the library twice,
// once for the engine's worker thread, which records what passes through the engine
// (CLibrarySightings), and once for the Library window on the GUI thread; adds View > Library;
// offers the library's matches when Find starts a search of the unit; and carries out the
// window's Restore to Unit through the engine worker.
//
// When the library cannot be opened (locked by another Quorlin, damaged, of a newer Quorlin)
// the user is told once; the program works without it, and Delete asks before going on.
//
// GUI thread only, except the sightings, which the engine calls on its worker thread. It must
// outlive the engine it feeds (create it before the frame).

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "library/LibrarySightings.h"
#include "library/ProgramLibrary.h"

class CBrowseState;
class CEngineWorker;
class CLibrarian;
class IHost;
class CLibraryWindow;
class CQuorlinView;
class QMainWindow;
class QMenu;

class CLibraryController : public QObject {
    Q_OBJECT
public:
    // Opens the library at `path` (library::DefaultLibraryPath() by default).
    explicit CLibraryController(const std::string& path = library::DefaultLibraryPath(),
                                QObject* parent = nullptr);
    ~CLibraryController() override;

    // Makes `engine` record into the library (call from the engine factory); a library that
    // cannot be written is reported once through `host`.
    void Feed(CLibrarian& engine, IHost& host);
    // Adds Library to `viewMenu` and Keep Deleted Programs in Library to `optionsMenu` (the
    // frame's View and Options menus), and connects Find and the worker. `view` shows the state
    // `state`; the engine fed is asked through `worker`.
    void Install(QMainWindow& frame, CQuorlinView& view, const CBrowseState& state,
                 CEngineWorker& worker, QMenu& viewMenu, QMenu& optionsMenu);

    CLibraryWindow* Window();
    // The library is kept for this run only (the demo unit's): its window says so quietly, and
    // a backup replaces no earlier file on the strength of a copy kept there.
    void SetForThisRunOnly(bool only) {
        m_bForThisRunOnly = only;
        m_pSightings->SetForThisRunOnly(only);
    }
    bool IsOpen() const { return m_feed.IsOpen(); }
    const QString& OpenError() const { return m_openError; }

private:
    void Restore(const QString& file, int bank);

    library::CProgramLibrary m_feed;
    library::CProgramLibrary m_view;
    QString m_openError;
    std::unique_ptr<library::CLibrarySightings> m_pSightings;
    CLibrarian* m_pEngine = nullptr;
    QMainWindow* m_pFrame = nullptr;
    CQuorlinView* m_pView = nullptr;
    const CBrowseState* m_pState = nullptr;
    CEngineWorker* m_pWorker = nullptr;
    QPointer<CLibraryWindow> m_pWindow;
    QString m_strLastFind;
    bool m_bForThisRunOnly = false;
};
