#pragma once
// The whole-unit commands of the Tools menu, over the archive layer (UnitBackup.h,
// UnitRestore.h), as the command-line tool uses it:
//   Back Up Entire Unit…    the user picks a parent folder; a new folder "Quorlin backup
//                           YYYY-MM-DD HHMMSS" (local time) is made in it and the whole unit is
//                           backed up there on the engine worker, with the bank and program being
//                           fetched in the progress dialog and Cancel honoured between programs;
//                           the summary at the end.
//   Restore Backup to Unit… the user picks a backup folder; the plan is made against the unit,
//                           shown per bank with a check box per bank; OK carries out the checked
//                           banks' steps with progress and Cancel; the summary at the end.
//
// GUI thread only. The choosers and the plan dialog can be replaced, so tests drive the commands
// without modal dialogs.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "archive/UnitRestore.h"

class CBrowseState;
class CEngineWorker;
class CWorkerVisitor;
class CLibrarian;
class CQuorlinView;
class IHost;

// The name of the folder a whole-unit backup started at `when` (local time) is written to.
QString UnitBackupFolderName(const class QDateTime& when);

class CArchiveCommands : public QObject {
    Q_OBJECT
public:
    // `view` shows the unit again after a run; the other parts are those the view works with.
    CArchiveCommands(CQuorlinView& view, CLibrarian& engine, CEngineWorker& worker,
                     CBrowseState& state, IHost& host, QObject* parent);

    void BackUpUnit();
    void RestoreUnit();

    // The folder the last backup wrote into (empty: none was begun).
    QString LastBackupFolder() const { return m_strLastBackupFolder; }

    // Choosers: an empty result means the user cancelled.
    std::function<QString()> m_fnChooseBackupParent;
    std::function<QString()> m_fnChooseRestoreFolder;
    // Shows the plan; false when cancelled. `banks` comes with every bank of the plan and leaves
    // with the banks to restore.
    std::function<bool(const archive::RestorePlan& plan, std::vector<int>& banks)> m_fnPlanDialog;

private:
    void Tell(const QString& text);
    // The shown list again after the unit was worked on: the bank list, or the shown bank
    // selected again (the run selected others) and its programs.
    void Refresh();

    // Carries out the banks of the plan the user chose.
    void CarryRestore(const std::shared_ptr<archive::CUnitRestore>& restore,
                      const std::shared_ptr<CWorkerVisitor>& visitor,
                      archive::RestorePlan chosen);

    CQuorlinView& m_view;
    CLibrarian& m_engine;
    CEngineWorker& m_worker;
    CBrowseState& m_state;
    IHost& m_host;
    QString m_strLastBackupFolder;
};
