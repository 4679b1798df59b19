#include "ui/commands/PatchCommands.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <bitset>

#include "archive/BankBackup.h"
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
    m_view.Host().ShowMessage(ToUnit(text));
}

CPatchCommands::CPatchCommands(CQuorlinView& view, QObject* parent)
    : QObject(parent),
      m_view(view),
      m_state(view.State()),
      m_worker(view.Worker()),
      m_engine(*view.Engine()),
      m_list(*view.List()) {
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
    const std::string file = QFile::encodeName(path).toStdString();
    const int result = m_worker.Run(
        tr("Loading %1 into bank %2…").arg(QFileInfo(path).fileName()).arg(m_state.CurrentBank()),
        [engine, &file] { return engine->LoadPatchFile(file); });
    if (result != 0) return;

    CEntryListCtrl* list = &m_list;
    std::bitset<unit_ranges::kProgramCount> before;
    const int count = list->count();
    for (int i = 0; i < count; ++i) {
        const int number = list->EntryNumberAt(i);
        if (unit_ranges::IsProgram(number)) before.set(static_cast<std::size_t>(number));
    }
    m_view.ShowPrograms();
    for (int i = 0; i <= count && i < list->count(); ++i) {
        const int number = list->EntryNumberAt(i);
        if (unit_ranges::IsProgram(number) && !before.test(static_cast<std::size_t>(number))) {
            list->setCurrentRow(i);
            list->item(i)->setSelected(true);
            list->setFocus();
            m_view.ActivateSelection();
            return;
        }
    }
}

bool CPatchCommands::CanDelete() const {
    const int row = m_list.SelectedRow();
    if (row < 0) return false;
    if (m_state.Level() == CBrowseState::kBankLevel) return true;
    return m_state.Level() == CBrowseState::kProgramLevel && m_list.EntryData(row) != 0;
}

void CPatchCommands::DeleteSelection() {
    CLibrarian* engine = &m_engine;
    CEntryListCtrl* list = &m_list;
    const int row = list->SelectedRow();
    if (row < 0) return;
    const int number = list->EntryNumberAt(row);
    if (number < 0) return;  // an entry without a number is only shown
    if (m_state.Level() == CBrowseState::kBankLevel) {
        const int result = m_worker.Run(tr("Deleting bank %1…").arg(number), [engine, number] {
            // Key presses are never answered: look whether it is gone.
            const int r = engine->DeleteBank(number);
            return r == 0 ? engine->CheckBankDeleted(number) : r;
        });
        if (result == 0) m_view.ShowBanks();
        return;
    }
    // Factory programs stay.
    if (m_state.Level() != CBrowseState::kProgramLevel || list->EntryData(row) == 0) return;
    const int bank = m_state.CurrentBank();
    const int channel = m_state.Channel();
    const int dsp = m_state.Dsp();
    m_worker.Run(tr("Deleting program %1…").arg(number),
                 [=] { return engine->DeletePreset(bank, number, channel, dsp); });
    m_state.ClearLoaded(dsp);
    m_view.ShowPrograms();
}

void CPatchCommands::RenameBank(int number, const QString& entry, const QString& name) {
    CLibrarian* engine = &m_engine;
    const std::string unitName = ToUnit(name);
    const int result = m_worker.Run(tr("Naming bank %1…").arg(number), [engine, number, &unitName] {
        // Key presses are never answered: look whether the unit lists the new name.
        const int r = engine->SetBankName(number, unitName);
        return r == 0 ? engine->CheckBankName(number, unitName) : r;
    });
    if (result == 0) m_list.ShowBankName(entry, number, name);  // else the old name stays
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
            const QString entry = StripLeadingBlanks(FromUnit(bank));
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
    const std::string unitName = ToUnit(name);
    m_worker.Run(tr("Creating bank %1…").arg(number), [engine, number, &unitName] {
        const int r = engine->SetBankName(number, unitName);
        return r == 0 ? engine->CheckBankName(number, unitName) : r;
    });
    m_view.ShowBanks();
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
    CEntryListCtrl* list = &m_list;
    const int selected = list->SelectedRow();
    int startBank = 0;
    int startProgram = 0;
    if (m_state.Level() == CBrowseState::kBankLevel) {
        startBank = selected >= 0 ? selected : 0;
    } else {
        startBank = m_state.BankIndex();
        startProgram = selected >= 0 ? selected + 1 : 0;
    }
    const std::string search = ToUnit(findText);
    int bankOut = -1;
    int programOut = -1;
    CEngineWorker& worker = m_worker;
    const QString notFound = tr("Cannot find %1").arg(findText);
    if (startBank < 0 || startBank >= static_cast<int>(engine->BankList().size())) {
        HostMessage(notFound);  // nothing to search from (the bank list is empty)
        return;
    }
    bool searched = false;
    bool cancelled = false;
    const int result = worker.Run(
        tr("Searching for \"%1\"…").arg(findText),
        [&] {
            return engine->FindProgram(startBank, startProgram, search, bankOut, programOut,
                                       [&](int, const std::string& bankEntry) {
                                           searched = true;
                                           worker.SetProgress(FromUnit(bankEntry));
                                           cancelled = worker.CancelRequested();
                                           return !cancelled;
                                       });
        },
        true);
    // Not searched at all: the link could not be taken (the link has said so). Cancelled: the
    // user knows. A bank that could not be read ends the search without a match.
    if (cancelled || (result != 0 && !searched)) return;
    if (result != 0 || programOut < 0) {
        HostMessage(notFound);
        return;
    }
    // The shown bank's number and the title follow the bank found, as opening a bank does.
    const auto& banks = engine->BankList();
    m_state.SetBankIndex(bankOut);
    if (bankOut >= 0 && bankOut < static_cast<int>(banks.size())) {
        const QString entry =
            StripLeadingBlanks(FromUnit(banks[static_cast<std::size_t>(bankOut)]));
        m_state.SetCurrentBank(EntryNumber(entry));
        m_state.SetTitle(BankTitle(entry));
    }
    // The search selected each bank on DSP A; the found bank is selected on the DSP chosen for
    // bank changes, as opening a bank does, so that its programs load there.
    if (m_state.CurrentBank() >= 0) {
        const int bank = m_state.CurrentBank();
        const int dsp = m_state.Dsp();
        worker.Run(tr("Opening bank %1…").arg(bank),
                   [engine, bank, dsp] { return engine->SelectBank(bank, dsp, 1); });
    }
    m_view.ShowPrograms();
    if (programOut < list->count()) {
        list->setCurrentRow(programOut);
        list->item(programOut)->setSelected(true);
        list->scrollToItem(list->item(programOut));
        list->setFocus();
    }
}

void CPatchCommands::BackupUserPatches() {
    const QString folder = m_fnChooseBackupFolder();
    if (folder.isNull()) return;  // cancelled
    if (m_state.Level() != CBrowseState::kProgramLevel) return;

    // The programs as the list shows them.
    std::vector<ProgramEntry> programs;
    CEntryListCtrl* list = &m_list;
    for (int i = 0; i < list->count(); ++i)
        programs.push_back({ToUnit(list->item(i)->text()), list->EntryData(i)});

    // Progress and Cancel through the worker; the skips are told in the summary at the end.
    class CProgress : public IArchiveVisitor {
    public:
        explicit CProgress(CEngineWorker& worker) : m_worker(worker) {}
        void OnProgram(int, int program, const std::string& name) override {
            m_worker.SetProgress(QString::number(program) + QLatin1Char(' ') + FromUnit(name));
        }
        bool ShouldCancel() override { return m_worker.CancelRequested(); }

    private:
        CEngineWorker& m_worker;
    } progress(m_worker);
    archive::CBankBackup backup(m_engine, progress, m_state.Channel());
    const std::string path = QFile::encodeName(folder).toStdString();
    const int bank = m_state.CurrentBank();
    archive::BankBackupOutcome outcome;
    m_worker.Run(
        tr("Backing up bank %1…").arg(bank),
        [&] {
            outcome = backup.Run(path, bank, [&programs](std::vector<ProgramEntry>& listed) {
                listed = programs;
                return true;
            });
            return 0;
        },
        true);

    using Problem = archive::BankBackupFolder::Problem;
    if (outcome.folder.problem == Problem::NotAFolder) {
        m_view.Host().ShowMessage(ToUnit(tr("Unable to get directory list")), {},
                                  IHost::Icon::Error);
        return;
    }
    if (outcome.folder.problem == Problem::NotWritable) {
        m_view.Host().ShowMessage(
            ToUnit(tr("Cannot back up into %1: %2")
                       .arg(QDir::toNativeSeparators(folder),
                            QString::fromLocal8Bit(outcome.folder.why.c_str()))),
            {}, IHost::Icon::Error);
        return;
    }
    m_lastBackup = {outcome.onDisk, static_cast<int>(outcome.skipped.size()), outcome.cancelled};
    if (outcome.userPrograms > 0) {
        QStringList reasons;  // one line per skipped program
        for (const archive::BankBackupSkip& skip : outcome.skipped) {
            const QString entry = FromUnit(skip.entry);
            switch (skip.why) {
                case archive::BankBackupSkip::Why::NotSent:
                    reasons << tr("%1: the unit did not send it.").arg(entry);
                    break;
                case archive::BankBackupSkip::Why::WrongProgram:
                    reasons << tr("%1: the unit sent \"%2\" instead of \"%3\".")
                                   .arg(entry, FromUnit(skip.sentName),
                                        WithoutTrailingBlanks(FromUnit(skip.name)));
                    break;
                case archive::BankBackupSkip::Why::NotWritten:
                    reasons << tr("%1: cannot write %2: %3")
                                   .arg(entry,
                                        QDir::toNativeSeparators(
                                            QFile::decodeName(skip.path.c_str())),
                                        QString::fromLocal8Bit(skip.error.c_str()));
                    break;
            }
        }
        const BackupResult& done = m_lastBackup;
        QString summary = tr("%1: %2 %3 written, %4 skipped.")
                              .arg(done.cancelled ? tr("Backup cancelled") : tr("Backup finished"))
                              .arg(done.written)
                              .arg(done.written == 1 ? tr("file") : tr("files"))
                              .arg(done.skipped);
        if (!reasons.isEmpty()) summary += tr("\n\nSkipped:\n") + reasons.join('\n');
        HostMessage(summary);
    }
    if (list->SelectedRow() >= 0) m_view.ActivateSelection();
}
