#include "ui/commands/PatchCommands.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <algorithm>
#include <bitset>
#include <string>

#include "archive/BankBackup.h"
#include "engine/HeldOperation.h"
#include "engine/Librarian.h"
#include "engine/UnitRanges.h"
#include "link/Host.h"
#include "ui/core/BrowseState.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/GuiHost.h"
#include "ui/core/UnitText.h"
#include "ui/dialogs/CreateBankDlg.h"
#include "ui/dialogs/FindPatchDlg.h"
#include "ui/list/EntryListCtrl.h"
#include "ui/view/QuorlinView.h"

void CPatchCommands::HostMessage(const QString& text) {
    m_host.ShowMessage(ToUtf8(text));
}

CPatchCommands::CPatchCommands(CQuorlinView& view, CEntryListCtrl& list, CLibrarian& engine,
                               CEngineWorker& worker, CBrowseState& state, IHost& host,
                               QObject* parent)
    : QObject(parent),
      m_view(view),
      m_state(state),
      m_worker(worker),
      m_engine(engine),
      m_list(list),
      m_host(host) {
    connect(&m_list, &CEntryListCtrl::deleteRequested, this, &CPatchCommands::DeleteSelection);
    connect(&m_list, &CEntryListCtrl::createBankRequested, this, &CPatchCommands::CreateBank);
    connect(&m_list, &CEntryListCtrl::renameCommitted, this, &CPatchCommands::RenameBank);
    connect(&m_list, &CEntryListCtrl::filesDropped, this, &CPatchCommands::LoadDroppedFiles);

    m_fnChoosePatchFile = [this] {
        QFileDialog dialog(m_view.window(), tr("Load Patch"));
        dialog.setNameFilter(tr("Sigfiles (*.sig)"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };
    m_fnChooseBackupFolder = [this] {
        return QFileDialog::getExistingDirectory(
            m_view.window(), tr("Choose folder where the user patches should be stored"));
    };
    m_fnCreateBankDialog = [this](int& number, QString& name) {
        CCreateBankDlg dialog(m_view.window());
        dialog.SetBank(number, name);
        if (dialog.exec() != QDialog::Accepted) return false;
        number = dialog.BankNumber();
        name = dialog.BankName();
        return true;
    };
    m_fnFindDialog = [this](QString& text) {
        CFindPatchDlg dialog(m_view.window());
        if (dialog.exec() != QDialog::Accepted) return false;
        text = dialog.FindWhat();
        return true;
    };
}

void CPatchCommands::OnLoadPatch() {
    if (m_state.Level() != CBrowseState::kProgramLevel) return;
    const QString path = m_fnChoosePatchFile();
    if (!path.isEmpty()) LoadPatch(path);
}

void CPatchCommands::LoadDroppedFiles(const QStringList& paths) {
    if (!paths.isEmpty()) LoadPatch(paths.first());
}

void CPatchCommands::LoadPatch(const QString& path) {
    CLibrarian* engine = &m_engine;
    const std::string file = ToFilePath(path);
    // The unit normally has the shown bank selected; when it was left elsewhere, the shown bank
    // is selected again first, so the program goes where the window says.
    const bool reselect = m_view.UnitOffShownBank();
    const int bank = m_state.CurrentBank();
    const int dsp = m_state.Dsp();
    m_worker.Run(
        tr("Loading %1 into bank %2…").arg(QFileInfo(path).fileName()).arg(m_state.CurrentBank()),
        [engine, file, reselect, bank, dsp] {
            // The file is read and checked before the unit is asked anything.
            std::string content;
            if (engine->ReadPatchFile(file, content) != 0) return -2;
            // The bank select and the load: a unit that goes in between is told once.
            CHeldOperation held(*engine);
            if (reselect && engine->SelectBank(bank, dsp, true) != 0) return -2;
            return engine->LoadPatchText(content, file);
        },
        [this, reselect](int result) {
            if (reselect && result == 0) m_view.SetUnitOffShownBank(false);
            if (result != 0) return;
            // The unit numbers the new program itself: it is the one the list did not hold.
            std::bitset<unit_ranges::kProgramCount> before;
            const int count = m_list.count();
            for (int i = 0; i < count; ++i) {
                const int number = m_list.EntryNumberAt(i);
                if (unit_ranges::IsProgram(number)) before.set(static_cast<std::size_t>(number));
            }
            m_view.ShowPrograms([this, before, count](int) {
                CEntryListCtrl* list = &m_list;
                for (int i = 0; i <= count && i < list->count(); ++i) {
                    const int number = list->EntryNumberAt(i);
                    if (unit_ranges::IsProgram(number) &&
                        !before.test(static_cast<std::size_t>(number))) {
                        list->SelectRow(i);
                        list->setFocus();
                        m_view.ActivateSelection();
                        return;
                    }
                }
            });
        });
}

bool CPatchCommands::CanDelete() const {
    const int row = m_list.SelectedRow();
    if (row < 0) return false;
    if (m_state.Level() == CBrowseState::kBankLevel) return true;
    return m_state.Level() == CBrowseState::kProgramLevel && m_list.EntryData(row) != 0;
}

void CPatchCommands::DeleteSelection() {
    CLibrarian* engine = &m_engine;
    const int row = m_list.SelectedRow();
    if (row < 0) return;
    const int number = m_list.EntryNumberAt(row);
    if (number < 0) return;  // an entry without a number is only shown
    if (m_state.Level() == CBrowseState::kBankLevel) {
        m_worker.Run(
            tr("Deleting bank %1…").arg(number),
            [engine, number] {
                // Key presses are never answered: look whether it is gone.
                const int r = engine->DeleteBank(number);
                return r == 0 ? engine->CheckBankDeleted(number) : r;
            },
            [this](int result) {
                if (result == 0) m_view.ShowBanks();
            });
        return;
    }
    // Factory programs stay.
    if (m_state.Level() != CBrowseState::kProgramLevel || m_list.EntryData(row) == 0) return;
    const int bank = m_state.CurrentBank();
    const int channel = m_state.Channel();
    const int dsp = m_state.Dsp();
    m_worker.Run(
        tr("Deleting program %1…").arg(number),
        [=] {
            // Held here too, so that whether the unit went is still known after the delete.
            CHeldOperation held(*engine);
            engine->DeletePreset(bank, number, channel, dsp);
            return engine->LinkLost();
        },
        [this, dsp](bool lost) {
            // The delete chose the program with a program change: what ran before runs no more.
            m_state.ClearLoaded(dsp);
            // A unit that went (and was told) is not asked again for the list.
            if (!lost) m_view.ShowPrograms();
        });
}

// Tells the worker how far a bank's naming on the unit's panel is (CLibrarian::SetBankName).
// There is no Cancel: a sequence stopped half-way would leave the unit inside its menus.
static CLibrarian::KeyProgress KeyPressProgress(CEngineWorker* worker) {
    return [worker](int done, int total) {
        worker->SetProgress(CPatchCommands::tr("Key press %1 of %2 on the unit's panel")
                                .arg(std::min(done + 1, total))
                                .arg(total),
                            done, total);
    };
}

void CPatchCommands::RenameBank(int number, const QString& entry, const QString& name) {
    CLibrarian* engine = &m_engine;
    CEngineWorker* worker = &m_worker;
    const std::string unitName = ToUtf8(name);
    m_worker.Run(
        tr("Naming bank %1…").arg(number),
        [engine, worker, number, unitName] {
            // Key presses are never answered: look whether the unit lists the new name.
            const int r = engine->SetBankName(number, unitName, KeyPressProgress(worker));
            return r == 0 ? engine->CheckBankName(number, unitName) : r;
        },
        [this, entry, number, name](int result) {
            if (result == 0) m_list.ShowBankName(entry, number, name);  // else the old name stays
        });
}

void CPatchCommands::CreateBank() {
    if (m_state.Level() != CBrowseState::kBankLevel) return;
    CLibrarian* engine = &m_engine;
    int number = engine->NextFreeBankNumber();
    QString name = tr("Bank %1").arg(number);
    for (;;) {
        if (!m_fnCreateBankDialog(number, name)) return;
        // Naming a number that is taken renames that bank: only when the user says so. No
        // brings the dialog back with what was entered.
        QString existing;
        bool taken = false;
        for (const std::string& bank : engine->BankList()) {
            const QString entry = StripLeadingBlanks(FromUtf8(bank));
            if (EntryNumber(entry) != number) continue;
            const int blank = entry.indexOf(QLatin1Char(' '));
            existing = blank < 0 ? QString() : entry.mid(blank + 1);
            taken = true;
            break;
        }
        if (!taken) break;
        QMessageBox question(
            QMessageBox::Question, CGuiHost::ApplicationTitle(),
            tr("Bank %1 \"%2\" exists. Rename it to \"%3\"?").arg(number).arg(existing, name),
            QMessageBox::Yes | QMessageBox::No, m_view.window());
        question.setTextFormat(Qt::PlainText);
        question.setDefaultButton(QMessageBox::No);
        if (question.exec() == QMessageBox::Yes) break;
    }
    const std::string unitName = ToUtf8(name);
    CEngineWorker* worker = &m_worker;
    m_worker.Run(
        tr("Creating bank %1…").arg(number),
        [engine, worker, number, unitName] {
            const int r = engine->SetBankName(number, unitName, KeyPressProgress(worker));
            return r == 0 ? engine->CheckBankName(number, unitName) : r;
        },
        [this](int) { m_view.ShowBanks(); });
}

void CPatchCommands::OnFind() {
    QString text;
    if (!m_fnFindDialog(text)) return;
    m_state.SetFindText(text);
    FindNext();
}

void CPatchCommands::FindNext() {
    const QString findText = m_state.FindText();
    if (findText.isEmpty()) return;
    CLibrarian* engine = &m_engine;
    const int selected = m_list.SelectedRow();
    int startBank = 0;
    int startProgram = 0;
    if (m_state.Level() == CBrowseState::kBankLevel) {
        startBank = selected >= 0 ? selected : 0;
    } else {
        startBank = m_state.BankIndex();
        startProgram = selected >= 0 ? selected + 1 : 0;
    }
    const std::string search = ToUtf8(findText);
    CEngineWorker* worker = &m_worker;
    const QString notFound = tr("Cannot find %1").arg(findText);
    if (startBank < 0 || startBank >= static_cast<int>(engine->BankList().size())) {
        HostMessage(notFound);  // nothing to search from (the bank list is empty)
        return;
    }
    struct Search {
        int result = -2;
        int bank = -1;
        int program = -1;
        bool searched = false;
        bool cancelled = false;
        bool lost = false;  // the connection to the unit was lost (and told)
    };
    m_worker.Run(
        tr("Searching for \"%1\"…").arg(findText),
        [engine, worker, startBank, startProgram, search] {
            Search s;
            // Bank after bank: a unit that goes in the middle is told once.
            CHeldOperation held(*engine);
            s.result = engine->FindProgram(startBank, startProgram, search, s.bank, s.program,
                                           [&s, worker](int, const std::string& bankEntry) {
                                               s.searched = true;
                                               worker->SetProgress(FromUtf8(bankEntry));
                                               s.cancelled = worker->CancelRequested();
                                               return !s.cancelled;
                                           });
            s.lost = engine->LinkLost();
            return s;
        },
        [this, engine, notFound](const Search& s) {
            // Not searched at all: the link could not be taken (the link has said so).
            // Cancelled: the user knows. A bank that could not be read ends the search without
            // a match.
            // A search that went through banks left the unit on the last one it read.
            if (s.searched) m_view.SetUnitOffShownBank(true);
            if (s.cancelled || s.lost || (s.result != 0 && !s.searched)) return;
            if (s.result != 0 || s.program < 0) {
                HostMessage(notFound);
                return;
            }
            const auto& banks = engine->BankList();
            if (s.bank < 0 || s.bank >= static_cast<int>(banks.size())) return;
            const QString entry =
                StripLeadingBlanks(FromUtf8(banks[static_cast<std::size_t>(s.bank)]));
            const int number = EntryNumber(entry);
            if (number < 0) return;
            // The search selected each bank on DSP A; the found bank is opened on the DSP chosen
            // for bank changes, so that its programs load there. The title, the bank shown and
            // its number follow the bank found once the unit has taken it.
            const int program = s.program;
            m_view.OpenBank(number, s.bank, BankTitle(entry), [this, program](int result) {
                if (result != 0 || program >= m_list.count()) return;
                m_list.SelectRow(program);
                m_list.setFocus();
            });
        },
        true);
}

void CPatchCommands::BackupUserPatches() {
    const QString folder = m_fnChooseBackupFolder();
    if (folder.isNull()) return;  // cancelled
    if (m_state.Level() != CBrowseState::kProgramLevel) return;

    // The programs as the list shows them.
    std::vector<ProgramEntry> programs;
    for (int i = 0; i < m_list.count(); ++i)
        programs.push_back({ToUtf8(m_list.item(i)->text()), m_list.EntryData(i)});

    // Progress and Cancel through the worker; the skips are told in the summary at the end.
    class CProgress : public IArchiveVisitor {
    public:
        explicit CProgress(CEngineWorker& worker) : m_worker(worker) {}
        void OnProgress(Count, int done, int total) override {
            m_nDone = done;
            m_nTotal = total;
        }
        void OnProgram(int, int program, const std::string& name) override {
            m_worker.SetProgress(
                QString::number(program) + QLatin1Char(' ') + FromUtf8(name) + QLatin1Char('\n') +
                    CPatchCommands::tr("Program %1 of %2").arg(m_nDone + 1).arg(m_nTotal),
                m_nDone, m_nTotal);
        }
        bool ShouldCancel() override { return m_worker.CancelRequested(); }

    private:
        CEngineWorker& m_worker;
        int m_nDone = 0;
        int m_nTotal = 0;
    };
    CLibrarian* engine = &m_engine;
    CEngineWorker* worker = &m_worker;
    const int channel = m_state.Channel();
    const std::string path = ToFilePath(folder);
    const int bank = m_state.CurrentBank();
    m_worker.Run(
        tr("Backing up bank %1 into %2…")
            .arg(QString::number(bank), QDir::toNativeSeparators(QDir(folder).absolutePath())),
        [engine, worker, channel, path, bank, programs = std::move(programs)] {
            CProgress progress(*worker);
            archive::CBankBackup backup(*engine, progress, channel);
            return backup.Run(path, bank, [&programs](std::vector<ProgramEntry>& listed) {
                listed = programs;
                return true;
            });
        },
        [this, folder](const archive::BankBackupOutcome& outcome) {
            using Problem = archive::BankBackupFolder::Problem;
            if (outcome.folder.problem == Problem::NotAFolder) {
                m_host.ShowMessage(ToUtf8(tr("Unable to get directory list")), {},
                                   IHost::Icon::Error);
                return;
            }
            if (outcome.folder.problem == Problem::NotWritable) {
                m_host.ShowMessage(ToUtf8(tr("Cannot back up into %1: %2")
                                              .arg(QDir::toNativeSeparators(folder),
                                                   FromUtf8(outcome.folder.why))),
                                   {}, IHost::Icon::Error);
                return;
            }
            m_lastBackup = {outcome.onDisk, static_cast<int>(outcome.skipped.size()),
                            outcome.cancelled};
            if (outcome.userPrograms > 0) {
                QStringList reasons;  // one line per skipped program
                for (const archive::BankBackupSkip& skip : outcome.skipped) {
                    const QString entry = FromUtf8(skip.entry);
                    switch (skip.why) {
                        case archive::BankBackupSkip::Why::NotSent:
                            reasons << tr("%1: the unit did not send it.").arg(entry);
                            break;
                        case archive::BankBackupSkip::Why::WrongProgram:
                            reasons << tr("%1: the unit sent \"%2\" instead of \"%3\".")
                                           .arg(entry, FromUtf8(skip.sentName),
                                                WithoutTrailingBlanks(FromUtf8(skip.name)));
                            break;
                        case archive::BankBackupSkip::Why::ConnectionLost:
                            reasons << tr("%1: the connection to the unit was lost while it "
                                          "was fetched.")
                                           .arg(entry);
                            break;
                        case archive::BankBackupSkip::Why::NotAsked:
                            reasons << tr("%1: not asked for, the connection to the unit was "
                                          "lost.")
                                           .arg(entry);
                            break;
                        case archive::BankBackupSkip::Why::NotWritten:
                            reasons << tr("%1: cannot write %2: %3")
                                           .arg(entry,
                                                QDir::toNativeSeparators(FromFilePath(skip.path)),
                                                FromUtf8(skip.error));
                            break;
                    }
                }
                const BackupResult& done = m_lastBackup;
                QString summary =
                    tr("%1: %2 %3 written, %4 skipped.")
                        .arg(done.cancelled     ? tr("Backup cancelled")
                             : outcome.interrupted ? tr("Backup interrupted")
                                                   : tr("Backup finished"))
                        .arg(done.written)
                        .arg(done.written == 1 ? tr("file") : tr("files"))
                        .arg(done.skipped);
                // Files that stood in the folder before: what became of each.
                const auto listed = [](const std::vector<std::string>& paths) {
                    QStringList names;
                    for (const std::string& path : paths)
                        names << QDir::toNativeSeparators(FromFilePath(path));
                    return names.join('\n');
                };
                if (!outcome.replaced.empty()) {
                    const auto n = static_cast<int>(outcome.replaced.size());
                    summary += (n == 1 ? tr("\n\nReplaced 1 earlier backup file of the same "
                                            "program (the earlier text is kept in the library):\n")
                                       : tr("\n\nReplaced %1 earlier backup files of the same "
                                            "program (the earlier texts are kept in the "
                                            "library):\n")
                                             .arg(n)) +
                               listed(outcome.replaced);
                }
                if (!outcome.kept.empty()) {
                    const auto n = static_cast<int>(outcome.kept.size());
                    summary += (n == 1 ? tr("\n\nKept 1 file that was already there (the new "
                                            "file took the next free name):\n")
                                       : tr("\n\nKept %1 files that were already there (the new "
                                            "files took the next free names):\n")
                                             .arg(n)) +
                               listed(outcome.kept);
                }
                if (!reasons.isEmpty()) summary += tr("\n\nSkipped:\n") + reasons.join('\n');
                ShowFolderMessage(m_host, summary, QDir(folder).absolutePath());
            }
            // A unit that went is not asked again to load the selected program.
            if (m_list.SelectedRow() >= 0 && !outcome.interrupted) m_view.ActivateSelection();
        },
        true);
}
