// The whole-unit commands of the Tools menu over the simulated unit: back up every bank into a
// new dated folder, cancel it from the progress dialog, restore a backup through its plan dialog.

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <atomic>

#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"
#include "ui/commands/ArchiveCommands.h"
#include "ui/dialogs/RestorePlanDlg.h"

namespace {

std::string Text(const std::string& name) {
    return sim::MakeProgramText(name, "Plate", 20, {"a"});
}

// A small unit: bank 40 "Live" (factory 0 Hall, user 1 Lead, 2 Pad), bank 41 "Studio" (user 0
// Room). `without` leaves out programs by name (as if they had been deleted since).
// True for "About N s" with N from `low` to `high`.
bool SecondsBetween(const QString& text, int low, int high) {
    static const QRegularExpression about(QStringLiteral("^About (\\d+) s$"));
    const QRegularExpressionMatch match = about.match(text);
    if (!match.hasMatch()) return false;
    const int seconds = match.captured(1).toInt();
    return seconds >= low && seconds <= high;
}

void Seed(CSimUnit& unit, const QStringList& without = {}) {
    unit.ClearBanks();
    unit.AddBank(40, "Live");
    unit.AddBank(41, "Studio");
    auto add = [&](int bank, int number, const std::string& name, bool user) {
        if (!without.contains(QString::fromStdString(name)))
            unit.AddProgram(bank, number, Text(name), user);
    };
    add(40, 0, "Hall", false);
    add(40, 1, "Lead", true);
    add(40, 2, "Pad", true);
    add(41, 0, "Room", true);
}

QStringList Names(const CSimUnit& unit, int bank) {
    QStringList names;
    for (const auto& program : unit.Programs(bank)) names << QString::fromStdString(program.name);
    return names;
}

QJsonObject ReadManifest(const QString& folder) {
    QFile file(QDir(folder).filePath(QStringLiteral("manifest.json")));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// Backs the seeded unit up into a new folder under `parent`; the folder written.
QString BackUp(CUiFixture& f, const QString& parent) {
    f.frame->Archive()->m_fnChooseBackupParent = [parent] { return parent; };
    f.frame->Actions().backupUnit->trigger();
    f.Settle();
    return f.frame->Archive()->LastBackupFolder();
}

}  // namespace

class ArchiveCommandsTest : public QObject {
    Q_OBJECT

private slots:
    // At either level: a dated folder with the manifest and one file per user program, the
    // summary, and the shown bank selected again on the unit afterwards.
    void backUpEntireUnitWritesADatedFolder_data() {
        QTest::addColumn<int>("openBank");
        QTest::newRow("bank level") << -1;
        QTest::newRow("program level") << 41;
    }

    void backUpEntireUnitWritesADatedFolder() {
        QFETCH(int, openBank);
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        if (openBank >= 0) f.OpenBank(openBank);
        QVERIFY(f.frame->Actions().backupUnit->isEnabled());
        QVERIFY(f.frame->Actions().restoreUnit->isEnabled());
        QTemporaryDir parent;
        const QString folder = BackUp(f, parent.path());

        QCOMPARE(QDir(parent.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{QFileInfo(folder).fileName()});
        QVERIFY2(QRegularExpression(QStringLiteral("^Quorlin backup \\d{4}-\\d\\d-\\d\\d \\d{6}$"))
                     .match(QFileInfo(folder).fileName())
                     .hasMatch(),
                 qPrintable(folder));
        const QJsonObject manifest = ReadManifest(folder);
        QCOMPARE(manifest.value(QStringLiteral("banks")).toArray().size(), 2);
        QCOMPARE(manifest.value(QStringLiteral("result")).toObject().value("written").toInt(), 3);
        QCOMPARE(manifest.value(QStringLiteral("result")).toObject().value("cancelled").toBool(),
                 false);
        const QDir dir(folder);
        QCOMPARE(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("40 Live"), QStringLiteral("41 Studio")}));
        for (const auto& [bank, file, number] :
             {std::tuple{40, "40 Live/Lead.sig", 1}, std::tuple{40, "40 Live/Pad.sig", 2},
              std::tuple{41, "41 Studio/Room.sig", 0}}) {
            QFile written(dir.filePath(QString::fromUtf8(file)));
            QVERIFY2(written.open(QIODevice::ReadOnly), file);
            const auto programs = f.unit.Programs(bank);
            const auto it = std::find_if(programs.begin(), programs.end(),
                                         [n = number](const auto& p) { return p.number == n; });
            QCOMPARE(written.readAll(), QByteArray::fromStdString(it->text));
        }
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("40 Live/Hall.sig"))));
        QCOMPARE(f.messages,
                 QStringList{QStringLiteral("Backup finished: 3 programs from 2 banks written, "
                                            "0 skipped.")});
        if (openBank >= 0) {
            // The backup selected other banks on the unit; the shown one is selected again, so
            // that a load goes where the window says.
            QCOMPARE(f.unit.SelectedBank(f.State().Dsp()), openBank);
            QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 41: Studio"));
        } else {
            QCOMPARE(f.State().Level(), 0);
        }
        QVERIFY(f.frame->Actions().backupUnit->isEnabled());
    }

    // Both backups say where their files go: the progress names the folder, and the summary
    // names it with an "Open Folder" button that shows it in the file manager and leaves the
    // summary open.
    void everyBackupNamesItsFolderAndOffersToOpenIt_data() {
        QTest::addColumn<bool>("wholeUnit");
        QTest::newRow("bank backup") << false;
        QTest::newRow("whole-unit backup") << true;
    }

    void everyBackupNamesItsFolderAndOffersToOpenIt() {
        QFETCH(bool, wholeUnit);
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        f.OpenBank(40);
        QTemporaryDir dir;
        const QString chosen = QDir(dir.path()).filePath(QStringLiteral("My Backups"));
        QVERIFY(QDir().mkpath(chosen));

        QStringList labels;
        connect(&f.worker, &CEngineWorker::busyChanged, [&f, &labels](bool busy) {
            if (busy) labels << f.worker.CurrentLabel();
        });
        QStringList opened;
        f.host.SetFolderOpener([&opened](const QString& folder) {
            opened << folder;
            return true;
        });
        f.host.SetPresenter(nullptr);  // the real box
        QString shown;
        bool buttonFound = false;
        bool openLeftTheBoxOpen = false;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            watch.stop();
            shown = box->text();
            auto* open = box->findChild<QPushButton*>(QStringLiteral("openFolderButton"));
            buttonFound = open != nullptr && open->text() == QStringLiteral("Open Folder");
            if (open != nullptr) open->click();
            openLeftTheBoxOpen = box->isVisible();
            box->button(QMessageBox::Ok)->click();
        });
        watch.start();
        QString folder = chosen;
        if (wholeUnit) {
            folder = BackUp(f, chosen);
        } else {
            f.Commands().m_fnChooseBackupFolder = [chosen] { return chosen; };
            f.Commands().BackupUserPatches();
            f.Settle();
        }

        const QString native = QDir::toNativeSeparators(folder);
        QVERIFY2(wholeUnit ? QFileInfo::exists(QDir(folder).filePath("40 Live/Lead.sig"))
                           : QFileInfo::exists(QDir(folder).filePath("Lead.sig")),
                 qPrintable(folder));
        QVERIFY2(labels.size() >= 1 && labels.first().contains(native),
                 qPrintable(labels.join('|')));
        QVERIFY2(shown.startsWith(QStringLiteral("Backup finished: ")), qPrintable(shown));
        QVERIFY2(shown.endsWith(QStringLiteral("\n\nBackup folder: ") + native), qPrintable(shown));
        QVERIFY(buttonFound);
        QCOMPARE(opened, QStringList{folder});
        QVERIFY(openLeftTheBoxOpen);
    }

    // Cancel in the progress dialog (which names the bank and program being fetched) stops the
    // backup between programs; the manifest says it was cancelled.
    void cancellingTheBackupWritesACancelledManifest() {
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        f.worker.SetProgressDelay(0);
        QTemporaryDir parent;
        // Holds the backup in the pause after the program change to Lead (the pause hook runs
        // on the thread that drives the simulated unit).
        CPauseGate gate;
        f.onPause = [&f, hold = gate.Hook()](int ms) {
            const auto running = f.unit.LoadedProgram(f.unit.CurrentProcessor());
            if (running && running->name == "Lead") hold(ms);
        };
        QString shown;
        bool disabledWhileRunning = false;
        QTimer::singleShot(0, [&] {
            struct ReleaseOnExit {  // a failed check must not leave the backup held
                CPauseGate& gate;
                ~ReleaseOnExit() { gate.Release(); }
            } release{gate};
            QTRY_VERIFY(gate.Held());
            QTRY_VERIFY(f.worker.ProgressDialog() != nullptr);
            QTRY_VERIFY(f.worker.ProgressDialog()->labelText().contains(QStringLiteral("Lead")));
            shown = f.worker.ProgressDialog()->labelText();
            disabledWhileRunning = !f.frame->Actions().backupUnit->isEnabled() &&
                                   !f.frame->Actions().restoreUnit->isEnabled();
            QTest::keyClick(f.worker.ProgressDialog(), Qt::Key_Escape);
            QTRY_VERIFY(f.worker.CancelRequested());
        });
        const QString folder = BackUp(f, parent.path());
        f.onPause = nullptr;

        QVERIFY2(shown.contains(QStringLiteral("Bank 40 Live: fetching 1 Lead")),
                 qPrintable(shown));
        QVERIFY(disabledWhileRunning);
        const QJsonObject result = ReadManifest(folder).value(QStringLiteral("result")).toObject();
        QCOMPARE(result.value(QStringLiteral("cancelled")).toBool(), true);
        QCOMPARE(result.value(QStringLiteral("written")).toInt(), 1);
        QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("40 Live/Lead.sig"))));
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("40 Live/Pad.sig"))));
        QCOMPARE(f.messages.size(), 1);
        QCOMPARE(f.messages.first(),
                 QStringLiteral("Backup cancelled: 1 programs from 1 banks written, 1 skipped.\n"
                                "Skipped bank 40 program 2 \"Pad\": the backup was cancelled\n"
                                "Not read: bank 41\n"
                                "The backup was cancelled."));
    }

    // The plan dialog lists each bank by number and name under a check box, with its programs by
    // name; below, the totals and the time of the checked banks follow the check boxes (a load is
    // 4 s of pauses, a bank select 0.3 s, the bytes well under a second). The banks left checked
    // are restored (a deleted program comes back), an unchecked one is not touched.
    void restoreShowsThePlanAndRestoresTheCheckedBanks() {
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        QTemporaryDir parent;
        const QString folder = BackUp(f, parent.path());
        Seed(f.unit, {QStringLiteral("Pad"), QStringLiteral("Room")});  // deleted since
        f.ShowBanks();
        f.messages.clear();

        QStringList banksShown;
        QStringList stepsShown;
        QStringList totalsShown;
        f.frame->Archive()->m_fnChooseRestoreFolder = [folder] { return folder; };
        CUiFixture::OnNextDialog([&](QDialog& dialog) {
            auto* plan = qobject_cast<CRestorePlanDlg*>(&dialog);
            QVERIFY(plan != nullptr);
            QTreeWidget* tree = plan->Steps();
            for (int i = 0; i < tree->topLevelItemCount(); ++i) {
                QTreeWidgetItem* bank = tree->topLevelItem(i);
                banksShown << bank->text(0);
                QCOMPARE(bank->checkState(0), Qt::Checked);
                for (int k = 0; k < bank->childCount(); ++k) stepsShown << bank->child(k)->text(0);
            }
            totalsShown << plan->TotalsLabel()->text() << plan->EstimateLabel()->text();
            tree->topLevelItem(1)->setCheckState(0, Qt::Unchecked);  // bank 41 stays as it is
            totalsShown << plan->TotalsLabel()->text() << plan->EstimateLabel()->text();
            QVERIFY(plan->TotalsLabel()->isVisible());
            plan->Buttons()->button(QDialogButtonBox::Ok)->click();
        });
        f.frame->Actions().restoreUnit->trigger();
        f.Settle();

        QCOMPARE(banksShown, (QStringList{QStringLiteral("Bank 40 “Live”"),
                                          QStringLiteral("Bank 41 “Studio”")}));
        QCOMPARE(stepsShown, (QStringList{QStringLiteral("Lead (already on the unit)"),
                                          QStringLiteral("Pad"), QStringLiteral("Room")}));
        QCOMPARE(totalsShown.size(), 4);
        QCOMPARE(totalsShown[0],
                 QStringLiteral("2 programs into 2 banks, 0 banks created, 1 present"));
        QVERIFY2(SecondsBetween(totalsShown[1], 9, 10), qPrintable(totalsShown[1]));  // 8.6 s
        QCOMPARE(totalsShown[2],
                 QStringLiteral("1 program into 1 bank, 0 banks created, 1 present"));
        QVERIFY2(SecondsBetween(totalsShown[3], 4, 5), qPrintable(totalsShown[3]));  // 4.3 s
        QVERIFY(Names(f.unit, 40).contains(QStringLiteral("Pad")));
        QCOMPARE(Names(f.unit, 41), QStringList());
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(f.messages.first().startsWith(QStringLiteral(
                     "Restore finished: 1 programs loaded, 0 banks created, 1 already present, "
                     "0 not loaded.")),
                 qPrintable(f.messages.first()));
        QCOMPARE(f.State().Level(), 0);
    }

    // The plan dialog on its own: a bank whose programs are all present stays folded, the banks
    // with work are open; a program that cannot be restored says why and is counted. The time:
    // bank "Studio B" typed (3.5 s of menu keys, 104 steps of 400 ms, 8 characters entered at
    // 200 ms), a bank select and two loads of 4 s: 55 s and the bytes.
    void planDialogFoldsBanksThatNeedNothingAndCountsWhatCannotBeRestored() {
        using K = archive::RestoreStep::Kind;
        archive::RestorePlan plan;
        plan.folder = "/backups/one";
        auto step = [&plan](K kind, int bank, const char* name, bool missing = false) {
            archive::RestoreStep s;
            s.kind = kind;
            s.bank = bank;
            s.name = name;
            s.file = std::string(name) + ".sig";
            s.missing = missing;
            plan.steps.push_back(s);
        };
        plan.bankNames = {{3, "Live"}, {12, "Studio B"}};
        step(K::Skip, 3, "Lead Vox");
        step(K::Skip, 3, "Big Hall");
        step(K::CreateBank, 12, "Studio B");
        step(K::Load, 12, "Vocal Plate");
        step(K::Load, 12, "Snare Room");
        step(K::Refuse, 12, "Tape Echo", true);
        CRestorePlanDlg dialog(plan);
        dialog.show();
        QTreeWidget* tree = dialog.Steps();
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Bank 3 “Live”"));
        QVERIFY(!tree->topLevelItem(0)->isExpanded());
        QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Bank 12 “Studio B”"));
        QVERIFY(tree->topLevelItem(1)->isExpanded());
        QCOMPARE(tree->topLevelItem(1)->child(0)->text(0),
                 QStringLiteral("New bank, created as “Studio B”"));
        QCOMPARE(tree->topLevelItem(1)->child(3)->text(0),
                 QStringLiteral("Tape Echo cannot be restored: its file is missing"));
        QCOMPARE(dialog.TotalsLabel()->text(),
                 QStringLiteral("2 programs into 1 bank, 1 bank created, 2 present, "
                                "1 cannot be restored"));
        QVERIFY2(SecondsBetween(dialog.EstimateLabel()->text(), 55, 56),
                 qPrintable(dialog.EstimateLabel()->text()));
        // Only the bank with nothing to do: nothing to time, and OK stays on.
        tree->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
        QCOMPARE(dialog.TotalsLabel()->text(),
                 QStringLiteral("0 programs into 0 banks, 0 banks created, 2 present"));
        QCOMPARE(dialog.EstimateLabel()->text(), QString());
        QVERIFY(dialog.Buttons()->button(QDialogButtonBox::Ok)->isEnabled());
    }

    // A parent that is not a folder: said, nothing asked of the unit, nothing made.
    void backUpIntoSomethingThatIsNotAFolderIsRefused() {
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        QTemporaryDir dir;
        QFile plain(dir.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        f.link->ClearTranscript();
        for (const QString& parent : {plain.fileName(), dir.filePath(QStringLiteral("gone"))}) {
            f.messages.clear();
            BackUp(f, parent);
            QCOMPARE(f.messages,
                     QStringList{QStringLiteral("Cannot back up into %1: it is not a folder.")
                                     .arg(QDir::toNativeSeparators(parent))});
        }
        QVERIFY(f.link->Transcript().empty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("plain")});
    }

    // Cancel in the progress dialog stops the restore between programs; the summary says so.
    void cancellingTheRestoreStopsBetweenPrograms() {
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        QTemporaryDir parent;
        const QString folder = BackUp(f, parent.path());
        Seed(f.unit, {QStringLiteral("Pad"), QStringLiteral("Room")});
        f.ShowBanks();
        f.messages.clear();
        f.worker.SetProgressDelay(0);
        std::atomic<bool> armed{false};  // set once the plan is accepted
        CPauseGate gate;                 // holds the restore's first pause
        f.onPause = [&armed, hold = gate.Hook()](int ms) {
            if (armed) hold(ms);
        };
        f.frame->Archive()->m_fnChooseRestoreFolder = [folder] { return folder; };
        // Accepting the plan arms the gate and queues the cancel, which runs while the restore
        // is under way.
        f.frame->Archive()->m_fnPlanDialog = [&](const archive::RestorePlan&, std::vector<int>&) {
            armed = true;
            QTimer::singleShot(0, [&] {
                struct ReleaseOnExit {  // a failed check must not leave the restore held
                    CPauseGate& gate;
                    ~ReleaseOnExit() { gate.Release(); }
                } release{gate};
                QTRY_VERIFY(gate.Held());
                QTRY_VERIFY(f.worker.ProgressDialog() != nullptr);
                QTest::keyClick(f.worker.ProgressDialog(), Qt::Key_Escape);
                QTRY_VERIFY(f.worker.CancelRequested());
            });
            return true;
        };
        f.frame->Actions().restoreUnit->trigger();
        f.Settle();
        f.onPause = nullptr;

        QVERIFY(!Names(f.unit, 41).contains(QStringLiteral("Room")));  // the next bank: not begun
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(f.messages.first().startsWith(QStringLiteral("Restore cancelled: ")),
                 qPrintable(f.messages.first()));
        QVERIFY2(f.messages.first().contains(QStringLiteral("The restore was cancelled.")),
                 qPrintable(f.messages.first()));
    }

    // Nothing is sent to the unit when the plan is cancelled or the manifest is refused.
    void restoreSendsNothingWhenCancelledOrRefused_data() {
        QTest::addColumn<QByteArray>("manifest");  // empty: the backup as written
        QTest::addColumn<QString>("message");      // empty: none
        QTest::newRow("plan cancelled") << QByteArray() << QString();
        QTest::newRow("not JSON") << QByteArray("{ \"format\": 1,") << QStringLiteral("manifest");
        QTest::newRow("other format")
            << QByteArray("{ \"format\": 2, \"banks\": [] }") << QStringLiteral("format");
    }

    void restoreSendsNothingWhenCancelledOrRefused() {
        QFETCH(QByteArray, manifest);
        QFETCH(QString, message);
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        QTemporaryDir parent;
        const QString folder = BackUp(f, parent.path());
        if (!manifest.isEmpty()) {
            QFile file(QDir(folder).filePath(QStringLiteral("manifest.json")));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(manifest);
        }
        Seed(f.unit, {QStringLiteral("Pad")});
        f.messages.clear();
        bool planShown = false;
        f.frame->Archive()->m_fnChooseRestoreFolder = [folder] { return folder; };
        f.frame->Archive()->m_fnPlanDialog = [&](const archive::RestorePlan&, std::vector<int>&) {
            planShown = true;
            f.link->ClearTranscript();
            return false;
        };
        if (!manifest.isEmpty()) f.link->ClearTranscript();
        f.frame->Actions().restoreUnit->trigger();
        f.Settle();

        QCOMPARE(planShown, manifest.isEmpty());
        QVERIFY(f.link->Transcript().empty());
        QCOMPARE(Names(f.unit, 40), (QStringList{QStringLiteral("Hall"), QStringLiteral("Lead")}));
        if (message.isEmpty()) {
            QVERIFY(f.messages.isEmpty());
        } else {
            QCOMPARE(f.messages.size(), 1);
            QVERIFY2(f.messages.first().contains(message, Qt::CaseInsensitive),
                     qPrintable(f.messages.first()));
        }
    }
    // The plan is made from the banks the unit has now, read at the time of planning: here
    // another unit took the port since the bank list was read, without bank 41 and with bank 40
    // under another name.
    void restorePlansFromTheBanksTheUnitHasNow() {
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        QTemporaryDir parent;
        const QString folder = BackUp(f, parent.path());
        f.unit.ClearBanks();
        f.unit.AddBank(40, "Stage");
        f.unit.AddBank(42, "Spare");
        f.messages.clear();

        QStringList lines;
        f.frame->Archive()->m_fnChooseRestoreFolder = [folder] { return folder; };
        f.frame->Archive()->m_fnPlanDialog = [&](const archive::RestorePlan& plan,
                                                 std::vector<int>&) {
            for (const auto& step : plan.steps)
                lines << QString::fromStdString(archive::StepLine(step));
            return false;
        };
        f.frame->Actions().restoreUnit->trigger();
        f.Settle();

        QCOMPARE(lines, (QStringList{
                            QStringLiteral("keep bank 40 \"Stage\" (backup: \"Live\")"),
                            QStringLiteral("load 40 40 Live/Lead.sig"),
                            QStringLiteral("load 40 40 Live/Pad.sig"),
                            QStringLiteral("create bank 41 Studio"),
                            QStringLiteral("load 41 41 Studio/Room.sig"),
                        }));
        QVERIFY(f.messages.isEmpty());
    }
    // The unit goes away at the first bank: the banks not read are named, and the summary says
    // the backup was interrupted, never that it finished.
    void aBackupTheUnitLeavesSaysItWasInterrupted() {
        CUiFixture f;
        Seed(f.unit);
        f.unit.AddBank(42, "Spare");
        f.unit.AddProgram(42, 0, Text("Echo"), true);
        f.Start();
        f.messages.clear();
        std::atomic<bool> gone{false};
        f.onPause = [&f, &gone](int) {
            if (!gone.exchange(true)) f.link->SetFailOpen(true);  // after the first bank select
        };
        QTemporaryDir parent;
        const QString folder = BackUp(f, parent.path());
        f.onPause = nullptr;
        f.link->SetFailOpen(false);

        // Told once (this link gives no reason of its own), then the summary.
        QCOMPARE(f.messages.size(), 2);
        QCOMPARE(f.messages.first(), QStringLiteral("The connection to the unit was lost."));
        const QString summary = f.messages.last();
        QVERIFY2(summary.startsWith(QStringLiteral(
                     "Backup interrupted: 0 programs from 0 banks written, 0 skipped.")),
                 qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("Not read: bank 40, 41, 42")),
                 qPrintable(summary));
        // The manifest records it.
        const QJsonObject result = ReadManifest(folder).value(QStringLiteral("result")).toObject();
        QCOMPARE(result.value(QStringLiteral("unread_banks")).toArray(),
                 (QJsonArray{40, 41, 42}));
    }
};

QTEST_MAIN(ArchiveCommandsTest)
#include "ArchiveCommandsTest.moc"
