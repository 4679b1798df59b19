#include "ui/library/LibraryController.h"

#include <QAction>
#include <QMainWindow>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include "archive/UnitBackup.h"
#include "engine/Librarian.h"
#include "settings/SettingsStore.h"
#include "ui/core/BrowseState.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/UnitText.h"
#include "ui/library/LibraryWindow.h"
#include "ui/view/QuorlinView.h"

CLibraryController::CLibraryController(const std::string& path, QObject* parent)
    : QObject(parent) {
    std::string error;
    if (m_feed.Open(path, error)) m_view.Open(path, error);
    if (!m_feed.IsOpen()) m_openError = QString::fromStdString(error);
    m_pSightings = std::make_unique<library::CLibrarySightings>(m_feed, m_feed.OpenReason());
    // A library that opened and then cannot be written (a full disk): told once, from the
    // engine's thread through the host. One that did not open is told at the start.
    m_pSightings->SetKeepsDeletedPrograms(
        SettingsStore().ReadDword(kSectionOptions, library::kKeepDeletedSetting).value_or(1) != 0);
}

// The engine goes with the frame, before this object (see the header): nothing to undo.
CLibraryController::~CLibraryController() = default;

void CLibraryController::Feed(CLibrarian& engine, IHost& host) {
    m_pEngine = &engine;
    m_pSightings->SetLink(archive::LinkDescription(engine));
    if (m_feed.IsOpen()) {
        const std::string path = m_feed.Path();
        m_pSightings->SetFailureReporter([&host, path](const std::string& reason) {
            host.ShowMessage(ToUtf8(tr("The program library %1 cannot record a program: %2. "
                                       "Quorlin goes on without it.")
                                        .arg(FromFilePath(path), FromUtf8(reason))));
        });
    }
    engine.SetSightings(m_pSightings.get());
}

CLibraryWindow* CLibraryController::Window() {
    if (!m_pWindow) {
        m_pWindow = new CLibraryWindow(m_view, m_openError, m_pFrame);
        m_pWindow->SetForThisRunOnly(m_bForThisRunOnly);
        connect(m_pWindow, &CLibraryWindow::restoreRequested, this, &CLibraryController::Restore);
    }
    return m_pWindow;
}

void CLibraryController::Install(QMainWindow& frame, CQuorlinView& shown,
                                 const CBrowseState& state, CEngineWorker& worker,
                                 QMenu& viewMenu, QMenu& optionsMenu) {
    m_pFrame = &frame;
    m_pView = &shown;
    m_pState = &state;
    m_pWorker = &worker;
    auto* action = new QAction(tr("&Library"), &frame);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    action->setStatusTip(tr("Search every program Quorlin has seen"));
    action->setObjectName(QStringLiteral("actionLibrary"));
    connect(action, &QAction::triggered, this, [this] {
        Window()->show();
        Window()->raise();
        Window()->activateWindow();
    });
    viewMenu.addAction(action);
    frame.addAction(action);

    auto* keep = new QAction(tr("&Keep Deleted Programs in Library"), &frame);
    keep->setObjectName(QStringLiteral("actionKeepDeleted"));
    keep->setStatusTip(
        tr("Fetch a program and keep a copy in the library before Delete removes it"));
    keep->setCheckable(true);
    keep->setChecked(m_pSightings->KeepsDeletedPrograms());
    connect(keep, &QAction::toggled, this, [this](bool on) {
        m_pSightings->SetKeepsDeletedPrograms(on);
        SettingsStore().WriteDword(kSectionOptions, library::kKeepDeletedSetting, on ? 1 : 0);
    });
    optionsMenu.addSeparator();
    optionsMenu.addAction(keep);

    // Find sets the search text, then searches the unit: the library answers at once.
    connect(&state, &CBrowseState::findTextChanged, this, [this](const QString& text) {
        if (text == m_strLastFind) return;
        m_strLastFind = text;
        if (!m_strLastFind.isEmpty() && m_view.IsOpen()) Window()->OfferMatches(m_strLastFind);
    });
    connect(&worker, &CEngineWorker::busyChanged, this, [this](bool busy) {
        if (!busy && m_pWindow && m_pWindow->isVisible()) m_pWindow->Refresh();
    });
    if (!m_openError.isEmpty()) {
        QTimer::singleShot(0, &frame, [this] {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Quorlin"), m_openError,
                            QMessageBox::Ok, m_pFrame);
            box.setTextFormat(Qt::PlainText);
            box.exec();
        });
    }
}

void CLibraryController::Restore(const QString& file, int bank) {
    CQuorlinView* view = m_pView;
    CLibrarian* engine = m_pEngine;
    if (!engine || !view || !m_pWorker || m_pWorker->IsBusy()) return;
    const std::string path = ToFilePath(file);
    const CBrowseState& state = *m_pState;
    const int dsp = state.Dsp();
    const int shown =
        state.Level() == CBrowseState::kProgramLevel ? state.CurrentBank() : -1;
    m_pWorker->Run(
        tr("Restoring to bank %1…").arg(bank),
        [=] {
            // The text is checked before the unit is asked anything (a text that cannot be sent
            // leaves the unit's bank as it was).
            std::string content;
            if (engine->ReadPatchFile(path, content) != 0) return -2;
            engine->SetLoadSightingHow(IProgramSightings::How::Restored);
            int r = engine->SelectBank(bank, dsp, true);
            if (r == 0) r = engine->LoadPatchText(content, path);
            engine->SetLoadSightingHow(IProgramSightings::How::LoadedFromFile);
            // The view's bank is the one selected on the unit again.
            if (shown >= 0 && shown != bank) engine->SelectBank(shown, dsp, true);
            return r;
        },
        [this, view, shown, bank](int result) {
            if (result == 0)
                m_pFrame->statusBar()->showMessage(tr("Restored to bank %1.").arg(bank), 5000);
            if (m_pWindow) m_pWindow->Refresh();
            if (shown == bank) view->ShowPrograms();
        });
}
