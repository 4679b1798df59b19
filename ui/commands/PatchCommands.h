#pragma once
// The commands that change what the unit holds or copy it to the computer: load a ".sig" file
// into the shown bank (file dialog or drop), delete a program or a bank, create and rename banks,
// find a program by name across all banks, back up the shown bank's user programs to a folder.
// They act on the browsing state and the engine the view shows; every exchange with the unit runs
// through the engine worker, and a command goes on in the worker's continuation once the unit has
// answered. They take the list's requests (deleteRequested, createBankRequested,
// renameCommitted, filesDropped) from its signals. The backup is the bank backup the command
// line runs too (archive/BankBackup.h): a program's file is written only when the unit sent that
// program; any other is skipped, and the summary names it with the reason.
//
// GUI thread only. The choosers (file, folder, the two small dialogs) can be replaced, so tests
// drive the commands without modal dialogs.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class CBrowseState;
class CEngineWorker;
class CEntryListCtrl;
class CLibrarian;
class CQuorlinView;
class IHost;

class CPatchCommands : public QObject {
    Q_OBJECT
public:
    // `view` shows what the commands change and `list` is its list; the other parts are those
    // the view works with.
    CPatchCommands(CQuorlinView& view, CEntryListCtrl& list, CLibrarian& engine,
                   CEngineWorker& worker, CBrowseState& state, IHost& host, QObject* parent);

    // Menu and toolbar commands.
    void OnLoadPatch();
    void OnDelete() { DeleteSelection(); }
    void OnCreateBank() { CreateBank(); }
    void OnFind();
    void OnFindNext() { FindNext(); }
    void OnBackup() { BackupUserPatches(); }

    void LoadPatch(const QString& path);
    void DeleteSelection();
    void CreateBank();
    // Gives bank `number`, listed as `entry`, the name `name`; the list shows "<number> <name>"
    // only if the unit took it.
    void RenameBank(int number, const QString& entry, const QString& name);
    void FindNext();
    void BackupUserPatches();
    // Delete: a selected bank at the bank level, a selected user program at the program level.
    bool CanDelete() const;

    struct BackupResult {
        int written = 0;
        int skipped = 0;
        bool cancelled = false;
    };
    const BackupResult& LastBackup() const { return m_lastBackup; }

    // Choosers: an empty result means the user cancelled.
    std::function<QString()> m_fnChoosePatchFile;
    std::function<QString()> m_fnChooseBackupFolder;
    // Run the dialogs; false when cancelled.
    std::function<bool(int& number, QString& name)> m_fnCreateBankDialog;
    std::function<bool(QString& text)> m_fnFindDialog;

private:
    void HostMessage(const QString& text);
    // The first of the dropped files is loaded; the others are ignored.
    void LoadDroppedFiles(const QStringList& paths);

    CQuorlinView& m_view;
    CBrowseState& m_state;
    CEngineWorker& m_worker;
    CLibrarian& m_engine;
    CEntryListCtrl& m_list;
    IHost& m_host;
    BackupResult m_lastBackup;
};
