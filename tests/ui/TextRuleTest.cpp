// What the user reads is what the unit sent or the user typed: the unit's names (8-bit
// characters, UTF-8, Cyrillic, percent signs) in the lists, the title, the Patch Info pane, real
// message and question boxes, backup file names and the Library window; and folder names (with
// "ö", Cyrillic, percent signs) in the messages of loading, backing up and restoring.

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <functional>

#include "library/LibrarySightings.h"
#include "library/ProgramLibrary.h"
#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"
#include "ui/commands/ArchiveCommands.h"
#include "ui/core/UnitText.h"
#include "ui/library/LibraryWindow.h"

namespace {

// Runs `action` with the real message boxes of the host; the text of the first box that opens
// meanwhile, answered with `button` (empty when none opened).
QString BoxShownBy(CUiFixture& f, const std::function<void()>& action,
                   QMessageBox::StandardButton button = QMessageBox::Ok) {
    f.host.SetPresenter(nullptr);
    QString shown;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        watch.stop();
        shown = box->text();
        box->button(button)->click();
    });
    watch.start();
    action();
    f.Settle();
    return shown;
}

QString StripTrailingBlanks(QString text) {
    while (text.endsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char('\n'))) text.chop(1);
    return text;
}

}  // namespace

class TextRuleTest : public QObject {
    Q_OBJECT

private slots:
    void unitTextsReadAsTheUnitSentThem_data() {
        QTest::addColumn<QByteArray>("bytes");  // the name as the unit holds it
        QTest::addColumn<QString>("shown");
        QTest::newRow("ASCII") << QByteArray("Plain Hall") << QStringLiteral("Plain Hall");
        QTest::newRow("8-bit e acute") << QByteArray("Caf\xE9") << QStringLiteral("Caf\u00E9");
        QTest::newRow("UTF-8 e acute") << QByteArray("Caf\xC3\xA9") << QStringLiteral("Caf\u00E9");
        QTest::newRow("UTF-8 Cyrillic") << QByteArray("\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0")
                                        << QStringLiteral("\u041F\u0430\u043F\u043A\u0430");
        QTest::newRow("percent signs") << QByteArray("50%1 %2 mix") << QStringLiteral("50%1 %2 mix");
    }

    void unitTextsReadAsTheUnitSentThem() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        const std::string name = bytes.toStdString();
        QTemporaryDir dir;
        const QString libraryFile = dir.filePath(QStringLiteral("library.sqlite"));
        library::CProgramLibrary feed;
        std::string error;
        QVERIFY2(feed.Open(ToFilePath(libraryFile), error), error.c_str());
        library::CLibrarySightings sightings(feed);

        CUiFixture f;
        f.unit.ClearBanks();
        f.unit.AddBank(40, name);
        f.unit.AddProgram(40, 0, sim::MakeProgramText(name, "Plate", 20, {"About " + name}), true);
        f.unit.AddProgram(40, 1, sim::MakeProgramText("Other", "Hall", 30, {"x"}), true);
        f.Start();
        f.Engine().SetSightings(&sightings);

        // The lists and the title.
        QCOMPARE(f.Entries(), QStringList{QStringLiteral("40 ") + shown});
        f.OpenBank(40);
        QCOMPARE(f.State().Title(), QStringLiteral("Bank 40: ") + shown);
        QCOMPARE(f.frame->windowTitle(), QStringLiteral("Bank 40: ") + shown + " - Quorlin");
        QCOMPARE(f.Entries(), (QStringList{QStringLiteral("0 ") + shown, QStringLiteral("1 Other")}));

        // The pane: the information text of the program loaded.
        f.ActivateProgram(0);
        const int dsp = f.State().Dsp();
        QCOMPARE(StripTrailingBlanks(f.State().Info(dsp)), QStringLiteral("About ") + shown);

        // A real message box made by the desktop: the backup's summary names what the unit sent
        // instead of the program asked for, and the file takes the program's name.
        f.unit.SetReceiveChannel(7);  // program changes on our channel do nothing now
        QTemporaryDir backup;
        f.Commands().m_fnChooseBackupFolder = [&backup] { return backup.path(); };
        const QString summary = BoxShownBy(f, [&f] { f.Commands().BackupUserPatches(); });
        QCOMPARE(summary, QStringLiteral("Backup finished: 1 file written, 1 skipped.\n\nSkipped:\n"
                                         "1 Other: the unit sent \"%1\" instead of \"Other\".")
                                  .arg(shown) +
                              QStringLiteral("\n\nBackup folder: ") +
                              QDir::toNativeSeparators(backup.path()));
        QCOMPARE(QDir(backup.path()).entryList(QDir::Files), QStringList{shown + ".sig"});

        // A real message box made by the engine: Delete refuses when the unit runs another program.
        f.Select(f.RowOf(1));
        const QString refusal = BoxShownBy(f, [&f] { f.Commands().DeleteSelection(); });
        QCOMPARE(refusal, QStringLiteral("Quorlin does not delete program 1 of bank 40: the unit "
                                         "sent \"%1\" instead of \"Other\". Check that the unit "
                                         "takes program changes on MIDI channel %2.")
                              .arg(shown, QString::number(f.State().Channel() + 1)));

        // The pane when the unit runs another program than the one loaded.
        f.ActivateProgram(1);
        QVERIFY2(f.State().Info(dsp).startsWith(
                     QStringLiteral("The unit sent \"%1\" instead of \"Other\". The information "
                                    "below is of \"%1\".")
                         .arg(shown)),
                 qPrintable(f.State().Info(dsp)));

        // The info text reaches the library with the program backed up at its place.
        f.unit.SetReceiveChannel(-1);
        f.ActivateProgram(0);

        // A real question box: the bank's number is taken.
        f.View().OnBack();
        f.Settle();
        int asked = 0;
        f.Commands().m_fnCreateBankDialog = [&asked](int& number, QString& newName) {
            number = 40;
            newName = QStringLiteral("New");
            return asked++ == 0;
        };
        const QString question =
            BoxShownBy(f, [&f] { f.Commands().CreateBank(); }, QMessageBox::No);
        QCOMPARE(question, QStringLiteral("Bank 40 \"%1\" exists. Rename it to \"New\"?").arg(shown));

        // The Library window: the program's name and its information text.
        f.Engine().SetSightings(nullptr);
        library::CProgramLibrary shelf;
        QVERIFY2(shelf.Open(ToFilePath(libraryFile), error), error.c_str());
        CLibraryWindow window(shelf, {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTreeWidgetItem* found = nullptr;
        for (int i = 0; i < window.Results()->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = window.Results()->topLevelItem(i);
            if (item->text(CLibraryWindow::ColumnName) == shown) found = item;
        }
        QVERIFY2(found != nullptr, "the backed-up program is not listed under its name");
        window.Results()->clearSelection();
        found->setSelected(true);
        QCOMPARE(StripTrailingBlanks(window.InfoText()->toPlainText()),
                 QStringLiteral("About ") + shown);
    }

    void foldersReadAsTheUserNamedThem_data() {
        QTest::addColumn<QString>("folderName");
        QTest::newRow("ASCII") << QStringLiteral("plain");
        QTest::newRow("UTF-8 o umlaut") << QStringLiteral("j\u00F6rg");
        QTest::newRow("Cyrillic") << QStringLiteral("\u041F\u0430\u043F\u043A\u0430");
        QTest::newRow("percent signs") << QStringLiteral("100%1 %2");
    }

    void foldersReadAsTheUserNamedThem() {
        QFETCH(QString, folderName);
        QTemporaryDir root;
        const QString folder = QDir(root.path()).filePath(folderName);
        QVERIFY(QDir().mkpath(folder));

        CUiFixture f;
        f.unit.ClearBanks();
        f.unit.AddBank(40, "Live");
        f.unit.AddProgram(40, 0, sim::MakeProgramText("Lead", "Plate", 20, {"a"}), true);
        f.Start();
        f.OpenBank(40);

        // The engine's message about a file it refuses names the file as it is called.
        const QString badFile = QDir(folder).filePath(QStringLiteral("bad.sig"));
        {
            QFile file(badFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("preset \"Bad\"\n\xF7 more\n"));
        }
        f.Commands().m_fnChoosePatchFile = [&badFile] { return badFile; };
        const QString refused = BoxShownBy(f, [&f] { f.Commands().OnLoadPatch(); });
        QVERIFY2(refused.startsWith(QStringLiteral("The patch file \"%1\" cannot be sent to the unit: ")
                                        .arg(badFile)),
                 qPrintable(refused));

        // A bank's backup into the folder; a file that cannot be written is named in full.
        QVERIFY(QDir(folder).mkdir(QStringLiteral("Lead.sig")));  // a folder where the file goes
        f.Commands().m_fnChooseBackupFolder = [&folder] { return folder; };
        const QString skipped = BoxShownBy(f, [&f] { f.Commands().BackupUserPatches(); });
        const QString target =
            QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("Lead.sig")));
        QVERIFY2(skipped.contains(QStringLiteral("0 Lead: cannot write %1: ").arg(target)),
                 qPrintable(skipped));
        QVERIFY(QDir(folder).rmdir(QStringLiteral("Lead.sig")));
        const QString written = BoxShownBy(f, [&f] { f.Commands().BackupUserPatches(); });
        // The summary names the folder as it is called.
        QCOMPARE(written, QStringLiteral("Backup finished: 1 file written, 0 skipped.\n\n"
                                         "Backup folder: ") +
                              QDir::toNativeSeparators(folder));
        QVERIFY(QFile::exists(QDir(folder).filePath(QStringLiteral("Lead.sig"))));

        // The whole unit's backup goes into a new folder inside the one chosen.
        const QString unitBackup = QDir(folder).filePath(QStringLiteral("unit"));
        QVERIFY(QDir().mkpath(unitBackup));
        f.frame->Archive()->m_fnChooseBackupParent = [&unitBackup] { return unitBackup; };
        const QString finished =
            BoxShownBy(f, [&f] { f.frame->Actions().backupUnit->trigger(); });
        QVERIFY2(finished.startsWith(QStringLiteral("Backup finished: 1 programs from 1 banks")),
                 qPrintable(finished));
        const QString made = f.frame->Archive()->LastBackupFolder();
        QCOMPARE(QFileInfo(made).absolutePath(), unitBackup);
        QVERIFY2(finished.endsWith(QStringLiteral("\n\nBackup folder: ") +
                                   QDir::toNativeSeparators(made)),
                 qPrintable(finished));
        QVERIFY(QFile::exists(QDir(made).filePath(QStringLiteral("manifest.json"))));

        // The archive's messages name the folder as it is called: one that is not a folder, and
        // one without a manifest to restore.
        const QString notFolder = QDir(folder).filePath(QStringLiteral("Lead.sig"));
        f.frame->Archive()->m_fnChooseBackupParent = [&notFolder] { return notFolder; };
        QCOMPARE(BoxShownBy(f, [&f] { f.frame->Actions().backupUnit->trigger(); }),
                 QStringLiteral("Cannot back up into %1: it is not a folder.")
                     .arg(QDir::toNativeSeparators(notFolder)));
        f.frame->Archive()->m_fnChooseRestoreFolder = [&folder] { return folder; };
        const QString restore =
            BoxShownBy(f, [&f] { f.frame->Actions().restoreUnit->trigger(); });
        QVERIFY2(restore.startsWith(QStringLiteral("Cannot read %1/manifest.json: ").arg(folder)),
                 qPrintable(restore));
    }

    // The question box of the host shows the engine's UTF-8 as it is.
    void theHostsQuestionShowsUtf8() {
        CUiFixture f;
        f.Start(false);
        const QString shown = QStringLiteral("Delete \u201C50%1 Caf\u00E9 \u041F\u0430\u043F\u043A\u0430\u201D?");
        bool answer = true;
        const QString asked = BoxShownBy(
            f, [&] { answer = f.host.AskYesNo(ToUtf8(shown), {}); }, QMessageBox::No);
        QCOMPARE(asked, shown);
        QVERIFY(!answer);
    }
};

QTEST_MAIN(TextRuleTest)
#include "TextRuleTest.moc"
