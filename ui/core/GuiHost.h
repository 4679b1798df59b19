#pragma once
// The desktop program's host for the engine and the links: message boxes on the GUI thread
// (captioned "Quorlin" unless a caption is given), pauses that sleep the calling thread. Texts
// and captions arrive as UTF-8 (IHost) and are shown as plain text, never as markup.
//
// ShowMessage may be called from any thread. From the engine's worker thread it is carried to the
// GUI thread by a blocking queued call, so the worker waits until the user closed the box; a
// request made on the GUI thread itself (the first-run box while the engine is being built) is
// shown directly, since a blocking queued call to one's own thread would deadlock.
//
// Tests replace the presenter (to record messages instead of showing them) and the pauser (to
// record pauses instead of sleeping).

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>
#include <functional>
#include <mutex>

#include "link/Host.h"

class CGuiHost : public QObject, public IHost {
    Q_OBJECT
public:
    using Presenter = std::function<void(const QString& text, const QString& caption, Icon icon)>;
    using Pauser = std::function<void(int ms)>;

    explicit CGuiHost(QObject* parent = nullptr);

    // The window that owns the message boxes (none: they are top-level).
    void SetParentWindow(QWidget* window) { m_pParentWindow = window; }
    void SetPresenter(Presenter presenter) { m_presenter = std::move(presenter); }
    void SetPauser(Pauser pauser) { m_pauser = std::move(pauser); }

    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override;
    // A message about files written into `folder`: the box names the folder under `text` and has
    // an "Open Folder" button, which shows the folder in the file manager and leaves the box open.
    // GUI thread only. A presenter set by a test gets `text` alone.
    void ShowFolderMessage(const QString& text, const QString& folder);
    // Shows a folder in the file manager; false when that could not be done. Tests replace it,
    // so that no file manager starts.
    using FolderOpener = std::function<bool(const QString& folder)>;
    void SetFolderOpener(FolderOpener opener) { m_folderOpener = std::move(opener); }
    // A question box with Yes and No (No the default), shown on the GUI thread like a message.
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    // Tests: answers questions instead of showing them (gets the question's text).
    using Asker = std::function<bool(const QString& text)>;
    void SetAsker(Asker asker) { m_asker = std::move(asker); }
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void Pause(int ms) override;

    // A new engine operation starts: a message that the operation repeats (the unit's silence is
    // reported once per key lookup) is shown only once per operation.
    void BeginOperation();

    // The application title, the caption of every message box.
    static QString ApplicationTitle() { return QStringLiteral("Quorlin"); }

signals:
    // Emitted on the GUI thread just before a message is shown and just after it was closed, so
    // that nothing opens over a message that someone waits for.
    void messageOpening();
    void messageClosed();

private:
    // `folder` (not empty): the box names it and offers to open it.
    void Present(const QString& text, const QString& caption, Icon icon,
                 const QString& folder = {});
    void OpenFolder(const QString& folder, QWidget* box);

    QPointer<QWidget> m_pParentWindow;
    std::mutex m_mutex;
    QSet<QString> m_shownThisOperation;
    Presenter m_presenter;
    Pauser m_pauser;
    Asker m_asker;
    FolderOpener m_folderOpener;
};

// Shows `text` about files written into `folder` through `host`: the desktop's host names the
// folder and offers to open it (CGuiHost::ShowFolderMessage); any other host gets the text with
// the folder's line under it. GUI thread only.
void ShowFolderMessage(IHost& host, const QString& text, const QString& folder);
