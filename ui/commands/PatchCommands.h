#pragma once
// The commands that change what the unit holds or copy it to the computer: load a ".sig" file
// into the shown bank (file dialog or drop), delete a program or a bank, create and rename banks,
// find a program by name across all banks, back up the shown bank's user programs to a folder.
// Every exchange with the unit runs through the view's engine worker.
//
// GUI thread only. The choosers (file, folder, the two small dialogs) can be replaced, so tests
// drive the commands without modal dialogs.

#include <QObject>
#include <QString>
#include <functional>

class CQuorlinView;

// Why files cannot be written into `folder` (the system's reason), or empty when they can.
QString BackupFolderProblem(const QString& folder);

class CPatchCommands : public QObject {
    Q_OBJECT
public:
    CPatchCommands(CQuorlinView& view, QObject* parent);

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

    CQuorlinView& m_view;
    BackupResult m_lastBackup;
};
