// The patch commands over the simulated unit: load (file and drop), delete, create bank, find,
// backup.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "archive/BankBackup.h"
#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"

namespace {

QString WriteSig(const QTemporaryDir& dir, const QString& fileName, const std::string& text) {
    const QString path = dir.filePath(fileName);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string ProgramText(const std::string& name) {
    return sim::MakeProgramText(name, "Plate", 20, {"Loaded from the computer."});
}

// Bank 40 "Backup" with the user programs 0 Lead and 1 Pad, shown in a started window.
void StartOnTwoUserPrograms(CUiFixture& f) {
    f.unit.AddBank(40, "Backup");
    f.unit.AddProgram(40, 0, sim::MakeProgramText("Lead", "Plate", 20, {"a"}), true);
    f.unit.AddProgram(40, 1, sim::MakeProgramText("Pad", "Hall", 40, {"c"}), true);
    f.Start();
    f.OpenBank(40);
}

// Whether the target took the drop.
bool Drop(QWidget* target, const QList<QUrl>& urls) {
    auto* data = new QMimeData;
    data->setUrls(urls);
    const QPointF where(10, 10);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(where, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(target, &drop);
    delete data;
    return drop.isAccepted();
}

}  // namespace

class PatchCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void loadingAFileSelectsAndActivatesTheNewProgram() {
        CUiFixture f;
        f.Start();
        QTemporaryDir dir;
        const QString path = WriteSig(dir, QStringLiteral("new.sig"), ProgramText("New Lead"));
        f.OpenBank(10);  // programs 0, 1 and 3
        QCOMPARE(f.RowOf(2), -1);
        f.Commands().m_fnChoosePatchFile = [path] { return path; };
        f.frame->Actions().loadPatch->trigger();
        f.Settle();

        const int row = f.RowOf(2);
        QVERIFY(row >= 0);
        QCOMPARE(f.List().item(row)->text(), QStringLiteral("2 New Lead"));
        QCOMPARE(f.List().currentRow(), row);
        QVERIFY(f.View().IsLoadedProgram(row));
        QCOMPARE(f.unit.LoadedProgram(1)->name, std::string("New Lead"));
        QVERIFY(f.View().PaneText().startsWith(QStringLiteral("Loaded from the computer.")));
    }

    void aFileTheEngineRefusesLeavesTheListAsItWas() {
        CUiFixture f;
        f.Start();
        QTemporaryDir dir;
        const QString path = WriteSig(dir, QStringLiteral("nameless.sig"), "no name in here\n");
        f.OpenBank(10);
        const QStringList before = f.Entries();
        f.Commands().LoadPatch(path);
        f.Settle();
        f.Commands().LoadPatch(dir.filePath(QStringLiteral("missing.sig")));
        f.Settle();
        f.Commands().LoadPatch(WriteSig(dir, QStringLiteral("notes.txt"), ProgramText("Text")));
        f.Settle();
        QCOMPARE(f.Entries(), before);
        QCOMPARE(f.messages.size(), 3);
        // Refused before the unit is asked: the file holds no program name.
        QCOMPARE(f.messages[0], QStringLiteral("The patch file \"%1\" holds no program name (a "
                                               "name between double quotes): it is not a program "
                                               "of the unit. Choose a .sig file saved from the "
                                               "unit.")
                                    .arg(path));
        QVERIFY(f.messages[1].contains(QStringLiteral("missing.sig")));
        QCOMPARE(f.messages[2], QStringLiteral("Only .sig files are currently supported"));
    }

    void droppingThreeFilesLoadsOnlyTheFirst() {
        CUiFixture f;
        f.Start();
        QTemporaryDir dir;
        const QList<QUrl> urls = {
            QUrl::fromLocalFile(WriteSig(dir, QStringLiteral("a.sig"), ProgramText("Drop One"))),
            QUrl::fromLocalFile(WriteSig(dir, QStringLiteral("b.sig"), ProgramText("Drop Two"))),
            QUrl::fromLocalFile(WriteSig(dir, QStringLiteral("c.sig"), ProgramText("Drop Three")))};

        int operations = 0;
        QObject counting;  // goes before the counter does
        connect(&f.worker, &CEngineWorker::operationStarting, &counting,
                [&operations] { ++operations; });
        auto dropped = [&f](int bank) {
            QStringList names;
            for (const auto& program : f.unit.Programs(bank)) {
                if (program.name.rfind("Drop", 0) == 0) names << QString::fromStdString(program.name);
            }
            return names;
        };

        // At the bank level nothing is taken.
        QVERIFY(!Drop(f.List().viewport(), urls));
        f.Settle();
        QCOMPARE(operations, 0);
        QCOMPARE(f.State().Level(), 0);
        QCOMPARE(dropped(12), QStringList());

        f.OpenBank(12);
        const auto before = f.unit.Programs(12).size();
        QVERIFY(Drop(f.List().viewport(), urls));
        // The load ends with the new program marked loaded in the list.
        auto loadedDropOne = [&f] {
            const auto found = f.List().findItems(QStringLiteral(" Drop One"), Qt::MatchEndsWith);
            return found.size() == 1 && f.View().IsLoadedProgram(f.List().row(found.first()));
        };
        QTRY_VERIFY_WITH_TIMEOUT(loadedDropOne(), 30000);
        f.Settle();
        QCOMPARE(dropped(12), QStringList{QStringLiteral("Drop One")});
        QCOMPARE(f.unit.Programs(12).size(), before + 1);
        QCOMPARE(f.unit.LoadedProgram(1)->name, std::string("Drop One"));
        QCOMPARE(f.List().count(), static_cast<int>(before) + 1);
    }

    void deleteSparesFactoryProgramsAndResetsThePane() {
        CUiFixture f;
        f.Start();
        f.OpenBank(0);
        const auto before = f.unit.Programs(0).size();
        f.Select(f.RowOf(0));  // a factory program
        QVERIFY(!f.frame->Actions().del->isEnabled());
        QTest::keyClick(&f.List(), Qt::Key_Delete);
        f.Settle();
        QCOMPARE(f.unit.Programs(0).size(), before);

        f.ActivateProgram(5);  // Mike's Plate, a user program
        QVERIFY(f.View().PaneText() != QStringLiteral("No program selected"));
        f.Select(f.RowOf(5));
        QVERIFY(f.frame->Actions().del->isEnabled());
        QTest::keyClick(&f.List(), Qt::Key_Delete);
        f.Settle();
        QCOMPARE(f.unit.Programs(0).size(), before - 1);
        QCOMPARE(f.RowOf(5), -1);
        QCOMPARE(f.View().PaneText(), QStringLiteral("No program selected"));
        QCOMPARE(f.State().Loaded(1).nIndex, -1);
    }

    void deletingBanks() {
        CUiFixture f;
        f.Start();
        // A bank that still holds programs is refused; the list stays as it was.
        const QStringList before = f.Entries();
        f.Select(f.RowOf(3));
        f.frame->Actions().del->trigger();
        f.Settle();
        QCOMPARE(f.messages.last(), QStringLiteral("Cannot delete bank.  This bank is not empty!"));
        QCOMPARE(f.Entries(), before);
        // The empty bank goes, from the unit and from the list.
        f.Select(f.RowOf(20));
        f.frame->Actions().del->trigger();
        f.Settle();
        QCOMPARE(f.RowOf(20), -1);
        for (const auto& bank : f.unit.Banks()) QVERIFY(bank.number != 20);
    }

    void createBankProposesTheFirstGapOr99_data() {
        QTest::addColumn<QList<int>>("banks");
        QTest::addColumn<int>("proposed");
        QTest::newRow("gap at 3") << QList<int>{0, 1, 2, 5} << 3;
        QTest::newRow("no gap") << QList<int>{0, 1, 2} << 99;
    }

    void createBankProposesTheFirstGapOr99() {
        QFETCH(QList<int>, banks);
        QFETCH(int, proposed);
        CUiFixture f;
        f.unit.ClearBanks();
        for (int bank : banks) f.unit.AddBank(bank, "B" + std::to_string(bank));
        f.Start();
        int offered = -1;
        QString offeredName;
        f.Commands().m_fnCreateBankDialog = [&](int& number, QString& name) {
            offered = number;
            offeredName = name;
            return true;
        };
        f.frame->Actions().createBank->trigger();
        f.Settle();
        QCOMPARE(offered, proposed);
        QCOMPARE(offeredName, QStringLiteral("Bank %1").arg(proposed));
        QVERIFY(f.Entries().contains(QStringLiteral("%1 Bank %1").arg(proposed)));
        bool created = false;
        for (const auto& bank : f.unit.Banks()) {
            created |= bank.number == proposed && bank.name == "Bank " + std::to_string(proposed);
        }
        QVERIFY(created);
        QCOMPARE(f.unit.TooSoonKeyCount(), 0);
    }

    void createBankAsksBeforeRenamingABankOfThatNumber() {
        CUiFixture f;
        f.Start();
        int openings = 0;
        QString reopenedWith;
        f.Commands().m_fnCreateBankDialog = [&](int& number, QString& name) -> bool {
            ++openings;
            if (openings == 2) {
                reopenedWith = QStringLiteral("%1 %2").arg(number).arg(name);
                return false;  // cancelled
            }
            number = 5;
            name = QStringLiteral("Dupe");
            return true;
        };
        QStringList asked;
        auto answer = [&asked](QMessageBox::StandardButton button) {
            CUiFixture::OnNextDialog([&asked, button](QDialog& dialog) {
                auto* box = qobject_cast<QMessageBox*>(&dialog);
                QVERIFY(box != nullptr);
                asked << box->windowTitle() + QStringLiteral(": ") + box->text();
                box->button(button)->click();
            });
        };
        auto bank5 = [&f] {
            for (const auto& bank : f.unit.Banks()) {
                if (bank.number == 5) return bank.name;
            }
            return std::string();
        };
        const QString question =
            QStringLiteral("Quorlin: Bank 5 \"Dynamics\" exists. Rename it to \"Dupe\"?");

        answer(QMessageBox::No);
        f.frame->Actions().createBank->trigger();
        f.Settle();
        QCOMPARE(asked, QStringList{question});
        QCOMPARE(openings, 2);
        QCOMPARE(reopenedWith, QStringLiteral("5 Dupe"));  // No: back to what was entered
        QCOMPARE(bank5(), std::string("Dynamics"));
        QVERIFY(f.Entries().contains(QStringLiteral("5 Dynamics")));

        openings = 0;
        answer(QMessageBox::Yes);
        f.frame->Actions().createBank->trigger();
        f.Settle();
        QCOMPARE(asked, (QStringList{question, question}));
        QCOMPARE(openings, 1);
        QCOMPARE(bank5(), std::string("Dupe"));
        QVERIFY(f.Entries().contains(QStringLiteral("5 Dupe")));
    }

    void findWrapsRoundAndFindsTheSelectedEntryAgain() {
        CUiFixture f;
        f.Start();
        f.OpenBank(3);
        const int row = f.RowOf(1);  // Fifth Up, the only program with "fifth"
        f.Select(row);
        f.State().SetFindText(QStringLiteral("FIFTH"));
        f.frame->Actions().findNext->trigger();
        f.Settle();
        QCOMPARE(f.State().Level(), 1);
        QCOMPARE(f.List().SelectedRow(), row);
        QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 3: Pitch"));
        QVERIFY(f.messages.isEmpty());
    }

    void findFromTheBankLevelOpensTheBankFound() {
        CUiFixture f;
        f.Start();
        f.Commands().m_fnFindDialog = [](QString& text) {
            text = QStringLiteral("snare");
            return true;
        };
        f.frame->Actions().find->trigger();
        f.Settle();
        QCOMPARE(f.State().Level(), 1);
        QCOMPARE(f.State().CurrentBank(), 10);
        QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 10: Mine"));
        QCOMPARE(f.List().item(f.List().SelectedRow())->text(), QStringLiteral("3 Snare Room"));
        QVERIFY(f.frame->Actions().findNext->isEnabled());

        f.Commands().m_fnFindDialog = [](QString& text) {
            text = QStringLiteral("nothing like it");
            return true;
        };
        f.frame->Actions().find->trigger();
        f.Settle();
        QCOMPARE(f.messages, QStringList{QStringLiteral("Cannot find nothing like it")});
        QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 10: Mine"));

        // An empty text closes the dialog and does nothing.
        f.Commands().m_fnFindDialog = [](QString& text) {
            text.clear();
            return true;
        };
        f.frame->Actions().find->trigger();
        f.Settle();
        QVERIFY(!f.frame->Actions().findNext->isEnabled());
        QCOMPARE(f.messages.size(), 1);
    }

    void findOnDspBOpensTheFoundBankOnDspB() {
        CUiFixture f;
        f.Start();
        f.frame->Actions().dspB->trigger();
        f.Settle();
        QCOMPARE(f.unit.SelectedBank(2), 0);
        f.State().SetFindText(QStringLiteral("snare"));
        f.Commands().FindNext();
        f.Settle();
        QCOMPARE(f.State().CurrentBank(), 10);
        QCOMPARE(f.unit.SelectedBank(2), 10);
        QCOMPARE(f.unit.CurrentProcessor(), 2);
        // The program found loads on DSP B, and the pane shows its text.
        f.View().ActivateSelection();
        f.Settle();
        QCOMPARE(f.unit.LoadedProgram(2)->name, std::string("Snare Room"));
        const auto info = sim::InfoLines(f.unit.LoadedProgram(2)->text);
        QVERIFY(!info.empty());
        QVERIFY2(f.View().PaneText().startsWith(QString::fromStdString(info.front())),
                 qPrintable(f.View().PaneText()));
    }

    void backupWritesEachUserProgramUnderASafeName() {
        CUiFixture f;
        f.unit.AddBank(40, "Backup");
        f.unit.AddProgram(40, 0, sim::MakeProgramText("Lead", "Plate", 20, {"a"}), true);
        f.unit.AddProgram(40, 1, sim::MakeProgramText("Factory Thing", "Plate", 20, {"b"}), false);
        f.unit.AddProgram(40, 2, sim::MakeProgramText("Pad", "Hall", 40, {"c"}), true);
        f.unit.AddProgram(40, 3, sim::MakeProgramText("../a/b:c?", "Hall", 40, {"d"}), true);
        f.Start();
        f.OpenBank(40);
        QTemporaryDir dir;
        WriteSig(dir, QStringLiteral("Pad.sig"), "an old file");
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        f.frame->Actions().backup->trigger();
        f.Settle();

        const QStringList files =
            QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        // No hidden file: the leading dot of "../a/b:c?" becomes "_" too. The old file that
        // holds no program stays, and Pad takes the next name.
        QCOMPARE(files, (QStringList{QStringLiteral("Lead.sig"), QStringLiteral("Pad (2).sig"),
                                     QStringLiteral("Pad.sig"), QStringLiteral("_._a_b_c_.sig")}));
        const auto programs = f.unit.Programs(40);
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("Lead.sig"))),
                 QByteArray::fromStdString(programs[0].text));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("Pad (2).sig"))),
                 QByteArray::fromStdString(programs[2].text));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("Pad.sig"))), QByteArray("an old file"));
        QCOMPARE(f.Commands().LastBackup().written, 3);
        QCOMPARE(f.messages,
                 QStringList{QStringLiteral("Backup finished: 3 files written, 0 skipped.\n\n"
                                            "Kept 1 file that was already there (the new file "
                                            "took the next free name):\n") +
                             dir.filePath(QStringLiteral("Pad.sig"))});
    }

    void backupGivesEveryProgramAFileOfItsOwn() {
        // Names that are equal, equal but for letter case, or equal once made safe.
        CUiFixture f;
        f.unit.AddBank(40, "Backup");
        const std::vector<std::pair<std::string, QString>> programs = {
            {"Lead", QStringLiteral("Lead.sig")},     {"Lead", QStringLiteral("Lead (2).sig")},
            {"a/b", QStringLiteral("a_b.sig")},       {"a:b", QStringLiteral("a_b (2).sig")},
            {"LEAD", QStringLiteral("LEAD (3).sig")}, {"..", QStringLiteral("_..sig")},
            {"_.", QStringLiteral("_. (2).sig")}};
        for (std::size_t i = 0; i < programs.size(); ++i) {
            f.unit.AddProgram(40, static_cast<int>(i),
                              sim::MakeProgramText(programs[i].first, "Hall", 20,
                                                   {"program " + std::to_string(i)}),
                              true);
        }
        f.Start();
        f.OpenBank(40);
        QTemporaryDir dir;
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        f.Commands().BackupUserPatches();
        f.Settle();

        const auto stored = f.unit.Programs(40);
        QStringList expected;
        for (std::size_t i = 0; i < programs.size(); ++i) {
            expected << programs[i].second;
            QCOMPARE(ReadAll(dir.filePath(programs[i].second)),
                     QByteArray::fromStdString(stored[i].text));
        }
        QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        files.sort();
        expected.sort();
        QCOMPARE(files, expected);
        QCOMPARE(f.Commands().LastBackup().written, static_cast<int>(programs.size()));
        QCOMPARE(f.messages, QStringList{QStringLiteral("Backup finished: 7 files written, "
                                                        "0 skipped.")});
    }

    void backupSaysWhyAFileWasSkipped() {
        CUiFixture f;
        StartOnTwoUserPrograms(f);
        QTemporaryDir dir;
        // A folder where Lead's file would go: the system refuses to put a file there.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Lead.sig")));
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        f.Commands().BackupUserPatches();
        f.Settle();
        QCOMPARE(f.Commands().LastBackup().written, 1);
        QCOMPARE(f.Commands().LastBackup().skipped, 1);
        QCOMPARE(f.messages.size(), 1);
        const QStringList lines = f.messages.first().split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("Backup finished: 1 file written, 1 skipped."));
        const QString leadLine = lines.last();
        QVERIFY2(leadLine.startsWith(QStringLiteral("0 Lead: cannot write ")) &&
                     leadLine.contains(QDir::toNativeSeparators(dir.filePath("Lead.sig"))),
                 qPrintable(leadLine));
        // The system's reason follows the path.
        QVERIFY2(!leadLine.section(QStringLiteral(".sig: "), 1).trimmed().isEmpty(),
                 qPrintable(leadLine));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Lead.sig"))).isDir());
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("Pad.sig"))),
                 QByteArray::fromStdString(f.unit.Programs(40)[1].text));
    }

    // A link planted where a program's file goes is never written through, and a name longer
    // than the file system takes is shortened rather than skipped.
    void backupNeitherFollowsAPlantedLinkNorSkipsALongName() {
        CUiFixture f;
        const std::string longName(300, 'x');
        f.unit.AddBank(40, "Backup");
        f.unit.AddProgram(40, 0, sim::MakeProgramText("Lead", "Plate", 20, {"a"}), true);
        f.unit.AddProgram(40, 1, sim::MakeProgramText(longName, "Hall", 40, {"c"}), true);
        f.Start();
        f.OpenBank(40);
        QTemporaryDir dir;
        QTemporaryDir elsewhere;
        const QString outside = WriteSig(elsewhere, QStringLiteral("outside.txt"), "keep me");
        QVERIFY(QFile::link(outside, dir.filePath(QStringLiteral("Lead.sig"))));
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        f.Commands().BackupUserPatches();
        f.Settle();

        QCOMPARE(ReadAll(outside), QByteArray("keep me"));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Lead.sig"))).isSymLink());
        const QString shortened = QString(251, QLatin1Char('x')) + QStringLiteral(".sig");
        QCOMPARE(ReadAll(dir.filePath(shortened)),
                 QByteArray::fromStdString(f.unit.Programs(40)[1].text));
        QCOMPARE(f.Commands().LastBackup().written, 1);
        QCOMPARE(f.Commands().LastBackup().skipped, 1);
        QVERIFY2(f.messages.last().contains(QStringLiteral("0 Lead: cannot write ")),
                 qPrintable(f.messages.last()));
    }

    // A folder on a read-only file system. Root writes into any folder whatever its permission
    // bits, so the test runs itself again in a child with a private mount namespace, where the
    // folder is a read-only tmpfs; it is skipped where such a mount cannot be made.
    void backupIntoAReadOnlyFolderFetchesNothing() {
        const QByteArray readOnly = qgetenv("QUORLIN_READONLY_FOLDER");
        if (readOnly.isEmpty()) {
            QTemporaryDir mountPoint;
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QUORLIN_READONLY_FOLDER"), mountPoint.path());
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(
                QStringLiteral("unshare"),
                {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                 QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("mount -t tmpfs -o ro,size=64k quorlin-ro \"$1\" || "
                                "exit 77; exec \"$2\" "
                                "backupIntoAReadOnlyFolderFetchesNothing"),
                 QStringLiteral("sh"), mountPoint.path(), QCoreApplication::applicationFilePath()});
            if (!child.waitForStarted()) QSKIP("unshare is not available");
            QVERIFY(child.waitForFinished(120000));
            const QByteArray output = child.readAll();
            if (child.exitCode() == 77 || (child.exitCode() != 0 && output.contains("unshare:")))
                QSKIP("a read-only mount cannot be made here");
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                     output.constData());
            return;
        }
        const QString folder = QString::fromLocal8Bit(readOnly);
        using Problem = archive::BankBackupFolder::Problem;
        QVERIFY(archive::CheckBankBackupFolder(QFile::encodeName(folder).toStdString()).problem ==
                Problem::NotWritable);
        QTemporaryDir writable;
        QVERIFY(archive::CheckBankBackupFolder(QFile::encodeName(writable.path()).toStdString())
                    .problem == Problem::None);
        QVERIFY(QDir(writable.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());  // the probe leaves nothing behind

        CUiFixture f;
        StartOnTwoUserPrograms(f);
        f.Commands().m_fnChooseBackupFolder = [&folder] { return folder; };
        f.link->ClearTranscript();
        f.Commands().BackupUserPatches();
        f.Settle();
        QVERIFY(f.link->Transcript().empty());  // not one program was asked for
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(
            f.messages.first().startsWith(
                QStringLiteral("Cannot back up into %1: ").arg(QDir::toNativeSeparators(folder))),
            qPrintable(f.messages.first()));
        QVERIFY2(f.messages.first().contains(QStringLiteral("Read-only file system")),
                 qPrintable(f.messages.first()));
    }

    void backupGoesOnWhenTheUnitStopsAnswering() {
        CUiFixture f;
        StartOnTwoUserPrograms(f);
        QTemporaryDir dir;
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        int programChanges = 0;
        f.onPause = [&](int) {
            // The pause after the second program change: the unit goes quiet.
            if (++programChanges == 2) f.link->SetSilent(true);
        };
        f.Commands().BackupUserPatches();
        f.Settle();
        f.link->SetSilent(false);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Lead.sig")});
        QCOMPARE(f.Commands().LastBackup().written, 1);
        QCOMPARE(f.Commands().LastBackup().skipped, 1);
        QCOMPARE(f.messages.last(), QStringLiteral("Backup finished: 1 file written, 1 skipped.\n\n"
                                                   "Skipped:\n1 Pad: the unit did not send it."));
    }

    // A unit that stays on one program whatever program change comes (here: it listens on
    // another MIDI channel) answers every request with that program's text. Only the program
    // that is that one is written; the other is skipped, and the summary, in the real message
    // box, says what the unit sent instead.
    void backupSkipsAProgramTheUnitDidNotChangeTo() {
        CUiFixture f;
        StartOnTwoUserPrograms(f);
        f.ActivateProgram(0);  // the unit runs Lead
        QCOMPARE(f.unit.LoadedProgram(f.State().Dsp())->name, std::string("Lead"));
        f.unit.SetReceiveChannel(7);
        f.messages.clear();
        f.host.SetPresenter(nullptr);
        QString shown;
        CUiFixture::OnNextDialog([&shown](QDialog& dialog) {
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            QVERIFY(box != nullptr);
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QTemporaryDir dir;
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        f.Commands().BackupUserPatches();
        f.Settle();

        QCOMPARE(shown, QStringLiteral("Backup finished: 1 file written, 1 skipped.\n\n"
                                       "Skipped:\n1 Pad: the unit sent \"Lead\" instead of "
                                       "\"Pad\".\n\nBackup folder: ") +
                            QDir::toNativeSeparators(dir.path()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Lead.sig")});
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("Lead.sig"))),
                 QByteArray::fromStdString(f.unit.Programs(40)[0].text));
        QCOMPARE(f.Commands().LastBackup().written, 1);
        QCOMPARE(f.Commands().LastBackup().skipped, 1);
    }

    void backupAndFindStopBetweenItemsWhenCancelled() {
        CUiFixture f;
        StartOnTwoUserPrograms(f);
        QTemporaryDir dir;
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        f.worker.SetProgressDelay(0);
        auto cancelWhileHeld = [&f](CPauseGate& gate) {
            QTimer::singleShot(0, [&f, &gate] {
                QTRY_VERIFY(gate.Held());
                QTRY_VERIFY(f.worker.ProgressDialog() != nullptr);
                // Esc on the progress dialog, as a user would cancel.
                QTest::keyClick(f.worker.ProgressDialog(), Qt::Key_Escape);
                QTRY_VERIFY(f.worker.CancelRequested());
                gate.Release();
            });
        };
        {
            CPauseGate gate;  // holds the backup in the pause after its first program change
            f.onPause = gate.Hook();
            cancelWhileHeld(gate);
            f.Commands().BackupUserPatches();
            f.Settle();
            f.onPause = nullptr;
        }
        QCOMPARE(f.Commands().LastBackup().written, 1);
        QVERIFY(f.Commands().LastBackup().cancelled);
        QCOMPARE(f.messages.last(), QStringLiteral("Backup cancelled: 1 file written, 0 skipped."));

        // A search stops between banks: nothing found, nothing said.
        f.messages.clear();
        f.State().SetFindText(QStringLiteral("no such program"));
        {
            CPauseGate gate;  // holds the search after its first bank select
            f.onPause = gate.Hook();
            cancelWhileHeld(gate);
            f.Commands().FindNext();
            f.Settle();
            f.onPause = nullptr;
        }
        QVERIFY(f.messages.isEmpty());
        QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 40: Backup"));
    }

    void findWithoutABankListSaysItCannotFind() {
        CUiFixture f;
        f.Start(false);
        f.State().SetFindText(QStringLiteral("hall"));
        f.Commands().FindNext();
        f.Settle();
        QCOMPARE(f.messages, QStringList{QStringLiteral("Cannot find hall")});
    }

    void aFileDroppedOnTheInfoPaneIsLoaded() {
        CUiFixture f;
        f.Start();
        QTemporaryDir dir;
        const QString path = WriteSig(dir, QStringLiteral("pane.sig"), ProgramText("On The Pane"));
        f.OpenBank(12);
        const auto before = f.unit.Programs(12).size();
        Drop(&f.View(), {QUrl::fromLocalFile(path)});
        QTRY_COMPARE(f.unit.Programs(12).size(), before + 1);
        QCOMPARE(f.unit.LoadedProgram(1)->name, std::string("On The Pane"));
    }

    void backupFolderThatCannotBeUsedIsReported() {
        CUiFixture f;
        f.Start();
        f.OpenBank(10);
        f.Commands().m_fnChooseBackupFolder = [] { return QStringLiteral(""); };
        f.Commands().BackupUserPatches();
        f.Settle();
        QCOMPARE(f.messages, QStringList{QStringLiteral("Unable to get directory list")});
        f.Commands().m_fnChooseBackupFolder = [] { return QString(); };  // cancelled
        f.Commands().BackupUserPatches();
        f.Settle();
        QCOMPARE(f.messages.size(), 1);
    }
};

QTEST_MAIN(PatchCommandsTest)
#include "PatchCommandsTest.moc"
