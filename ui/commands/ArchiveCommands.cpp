#include "ui/commands/ArchiveCommands.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>

#include "archive/UnitBackup.h"
#include "engine/Librarian.h"
#include "ui/core/BrowseState.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/GuiHost.h"
#include "ui/core/UnitText.h"
#include "ui/dialogs/RestorePlanDlg.h"
#include "ui/view/QuorlinView.h"

// Progress in the worker's dialog, Cancel from it; the messages are kept for the end (a box per
// skipped program would stop the run until the user closed it). A restore counts its planned
// loads; a backup learns how many user programs a bank holds only when it reads that bank, so its
// bar fills bank by bank, each bank's share by its programs.
class CWorkerVisitor : public IArchiveVisitor {
public:
    CWorkerVisitor(CEngineWorker& worker, bool restore) : m_worker(worker), m_bRestore(restore) {}

    void OnProgress(Count what, int done, int total) override {
        if (what == Count::Banks && !m_bRestore) {
            m_nBank = done;
            m_nBanks = total;
            m_nProgram = m_nPrograms = 0;
        } else {
            m_nProgram = done;
            m_nPrograms = total;
        }
    }
    void OnBank(int bank, const std::string& name) override {
        m_strBank = name.empty()
                        ? CArchiveCommands::tr("Bank %1").arg(bank)
                        : CArchiveCommands::tr("Bank %1 %2").arg(bank).arg(FromUtf8(name));
        if (m_bRestore && m_nPrograms > 0)
            m_worker.SetProgress(m_strBank + QLatin1Char('\n') +
                                     CArchiveCommands::tr("Program %1 of %2")
                                         .arg(std::min(m_nProgram + 1, m_nPrograms))
                                         .arg(m_nPrograms),
                                 m_nProgram, m_nPrograms);
        else if (!m_bRestore && m_nBanks > 0)
            m_worker.SetProgress(
                m_strBank + QLatin1Char('\n') +
                    CArchiveCommands::tr("Bank %1 of %2").arg(m_nBank + 1).arg(m_nBanks),
                m_nBank * kBankShare, m_nBanks * kBankShare);
        else
            m_worker.SetProgress(m_strBank);
    }
    void OnProgram(int, int program, const std::string& name) override {
        const QString what = program >= 0
                                 ? QStringLiteral("%1 %2").arg(program).arg(FromUtf8(name))
                                 : FromUtf8(name);
        const QString item = CArchiveCommands::tr("%1: %2 %3")
                                 .arg(m_strBank,
                                      m_bRestore ? CArchiveCommands::tr("loading")
                                                 : CArchiveCommands::tr("fetching"),
                                      what);
        if (m_bRestore && m_nPrograms > 0) {
            m_worker.SetProgress(
                item + QLatin1Char('\n') +
                    CArchiveCommands::tr("Program %1 of %2").arg(m_nProgram + 1).arg(m_nPrograms),
                m_nProgram, m_nPrograms);
        } else if (!m_bRestore && m_nBanks > 0 && m_nPrograms > 0) {
            m_worker.SetProgress(item + QLatin1Char('\n') +
                                     CArchiveCommands::tr("Bank %1 of %2, program %3 of %4")
                                         .arg(m_nBank + 1)
                                         .arg(m_nBanks)
                                         .arg(m_nProgram + 1)
                                         .arg(m_nPrograms),
                                 m_nBank * kBankShare + m_nProgram * kBankShare / m_nPrograms,
                                 m_nBanks * kBankShare);
        } else {
            m_worker.SetProgress(item);
        }
    }
    void OnMessage(const std::string& text) override { messages << FromUtf8(text); }
    bool ShouldCancel() override { return m_worker.CancelRequested(); }

    QStringList messages;

private:
    // A bank's share of the backup's bar, split among its programs.
    static constexpr int kBankShare = 1000;

    CEngineWorker& m_worker;
    bool m_bRestore;
    QString m_strBank;
    int m_nBank = 0;  // banks before the current one
    int m_nBanks = 0;
    int m_nProgram = 0;  // programs before the current one
    int m_nPrograms = 0;
};

QString UnitBackupFolderName(const QDateTime& when) {
    return QStringLiteral("Quorlin backup ") + when.toString(QStringLiteral("yyyy-MM-dd HHmmss"));
}

CArchiveCommands::CArchiveCommands(CQuorlinView& view, CLibrarian& engine, CEngineWorker& worker,
                                   CBrowseState& state, IHost& host, QObject* parent)
    : QObject(parent),
      m_view(view),
      m_engine(engine),
      m_worker(worker),
      m_state(state),
      m_host(host) {
    m_fnChooseBackupParent = [this] {
        return QFileDialog::getExistingDirectory(m_view.window(),
                                                 tr("Choose the folder to hold the unit's backup"));
    };
    m_fnChooseRestoreFolder = [this] {
        return QFileDialog::getExistingDirectory(m_view.window(),
                                                 tr("Choose the backup folder to restore"));
    };
    m_fnPlanDialog = [this](const archive::RestorePlan& plan, std::vector<int>& banks) {
        CRestorePlanDlg dialog(plan, m_view.window());
        if (dialog.exec() != QDialog::Accepted) return false;
        banks = dialog.CheckedBanks();
        return true;
    };
}

void CArchiveCommands::Tell(const QString& text) {
    // A failure is never left unsaid, even when the archive layer gave no reason.
    m_host.ShowMessage(
        ToUtf8(text.isEmpty() ? tr("The command could not be carried out.") : text));
}

void CArchiveCommands::BackUpUnit() {
    const QString parent = m_fnChooseBackupParent();
    if (parent.isEmpty()) return;  // cancelled
    if (!QFileInfo(parent).isDir()) {
        Tell(tr("Cannot back up into %1: it is not a folder.")
                 .arg(QDir::toNativeSeparators(parent)));
        return;
    }
    // A second backup in the same second gets a folder of its own.
    const QString base = UnitBackupFolderName(QDateTime::currentDateTime());
    QString folder = QDir(parent).filePath(base);
    for (int n = 2; QFileInfo::exists(folder) || QFileInfo(folder).isSymLink(); ++n)
        folder = QDir(parent).filePath(QStringLiteral("%1 (%2)").arg(base).arg(n));
    m_strLastBackupFolder = folder;

    CLibrarian* engine = &m_engine;
    const auto visitor = std::make_shared<CWorkerVisitor>(m_worker, false);
    const int dsp = m_state.Dsp();
    const int channel = m_state.Channel();
    const std::string path = ToFilePath(folder);
    m_worker.Run(
        tr("Backing up the unit into %1…")
            .arg(QDir::toNativeSeparators(QDir(folder).absolutePath())),
        [engine, visitor, dsp, channel, path] {
            archive::CUnitBackup backup(*engine, *visitor, dsp, channel);
            return backup.Run(path, archive::LinkDescription(*engine));
        },
        [this, visitor, folder](const archive::BackupOutcome& outcome) {
            using S = archive::BackupOutcome::Status;
            if (outcome.status == S::Refused ||
                (outcome.status == S::Failed && outcome.manifest.created.empty())) {
                // Nothing was begun: the reason is among the messages.
                Tell(visitor->messages.join(QLatin1Char('\n')));
            } else {
                QString text = FromUtf8(archive::BackupSummary(outcome));
                if (!outcome.manifestWritten && !visitor->messages.isEmpty())
                    text += QLatin1Char('\n') + visitor->messages.last();
                ShowFolderMessage(m_host, text, QDir(folder).absolutePath());
            }
            // A unit that went is not asked again: the list stays as it was shown.
            if (!outcome.interrupted) Refresh();
        },
        true);
}

void CArchiveCommands::RestoreUnit() {
    const QString folder = m_fnChooseRestoreFolder();
    if (folder.isEmpty()) return;  // cancelled

    const auto visitor = std::make_shared<CWorkerVisitor>(m_worker, true);
    const auto restore =
        std::make_shared<archive::CUnitRestore>(m_engine, *visitor, m_state.Dsp());
    using R = archive::CUnitRestore::Result;
    const auto plan = std::make_shared<archive::RestorePlan>();
    const std::string path = ToFilePath(folder);
    m_worker.Run(
        tr("Planning the restore…"), [restore, plan, path] { return restore->Plan(path, {}, *plan); },
        [this, visitor, restore, plan](R planned) {
            if (planned != R::Done) {
                // A manifest refused whole, or the unit's lists not read: nothing was sent.
                Tell(visitor->messages.join(QLatin1Char('\n')));
                return;
            }
            std::vector<int> banks;
            for (const auto& step : plan->steps)
                if (banks.empty() || banks.back() != step.bank) banks.push_back(step.bank);
            if (banks.empty()) {
                Tell(tr("Every program of the backup is on the unit; nothing to restore."));
                return;
            }
            if (!m_fnPlanDialog(*plan, banks)) return;
            archive::RestorePlan chosen;
            chosen.folder = plan->folder;
            for (const auto& step : plan->steps)
                if (std::find(banks.begin(), banks.end(), step.bank) != banks.end())
                    chosen.steps.push_back(step);
            if (chosen.steps.empty()) return;
            CarryRestore(restore, visitor, std::move(chosen));
        });
}

void CArchiveCommands::CarryRestore(const std::shared_ptr<archive::CUnitRestore>& restore,
                                    const std::shared_ptr<CWorkerVisitor>& visitor,
                                    archive::RestorePlan chosen) {
    visitor->messages.clear();
    m_worker.Run(
        tr("Restoring the backup…"),
        [restore, chosen = std::move(chosen)] { return restore->Carry(chosen); },
        [this, restore, visitor](auto&&) {
            QString text = FromUtf8(restore->Summary());
            if (!visitor->messages.isEmpty())
                text += QLatin1Char('\n') + visitor->messages.join(QLatin1Char('\n'));
            Tell(text);
            if (!restore->Interrupted()) Refresh();
        },
        true);
}

void CArchiveCommands::Refresh() {
    if (m_state.Level() == CBrowseState::kBankLevel) {
        m_view.ShowBanks();
        return;
    }
    // The run may have replaced what was loaded: nothing is shown as loaded.
    m_state.ClearLoaded(1);
    m_state.ClearLoaded(2);
    // The shown bank is selected again (the run selected others) and its programs read.
    const int bank = m_state.CurrentBank();
    if (bank >= 0) m_view.OpenBank(bank, m_state.BankIndex(), m_state.Title());
}
