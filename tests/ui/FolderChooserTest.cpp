// The folder choosers of the bank backup, the whole-unit backup and the restore, on Qt's own
// (non-native) dialog: the folder returned is the one typed key by key (with or without a
// trailing "/", absolute or relative to the folder shown) or the one shown, never its parent.

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "tests/ui/UiFixture.h"
#include "ui/commands/ArchiveCommands.h"

class FolderChooserTest : public QObject {
    Q_OBJECT

private slots:
    void theFolderTypedOrShownIsTheOneReturned_data() {
        QTest::addColumn<QString>("typed");     // %1: the temporary folder
        QTest::addColumn<QString>("expected");  // relative to the temporary folder
        QTest::newRow("absolute path, no trailing slash")
            << QStringLiteral("%1/elsewhere/Backups") << QStringLiteral("elsewhere/Backups");
        QTest::newRow("absolute path with a trailing slash")
            << QStringLiteral("%1/elsewhere/Backups/") << QStringLiteral("elsewhere/Backups");
        QTest::newRow("name in the folder shown")
            << QStringLiteral("Here") << QStringLiteral("start/Here");
        QTest::newRow("path relative to the folder shown")
            << QStringLiteral("../elsewhere/Backups") << QStringLiteral("elsewhere/Backups");
        QTest::newRow("a name with blanks")
            << QStringLiteral("%1/elsewhere/My Banks") << QStringLiteral("elsewhere/My Banks");
        QTest::newRow("nothing typed: the folder shown") << QString() << QStringLiteral("start");
    }

    void theFolderTypedOrShownIsTheOneReturned() {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString root = QDir(dir.path()).canonicalPath();
        for (const char* folder : {"start/Here", "elsewhere/Backups", "elsewhere/My Banks"})
            QVERIFY(QDir(root).mkpath(QString::fromLatin1(folder)));
        CUiFixture f;
        f.Start();

        const std::function<QString()> choosers[] = {
            f.Commands().m_fnChooseBackupFolder,
            f.frame->Archive()->m_fnChooseBackupParent,
            f.frame->Archive()->m_fnChooseRestoreFolder,
        };
        for (const auto& choose : choosers) {
            bool answered = false;
            QTimer watch;
            watch.setInterval(10);
            connect(&watch, &QTimer::timeout, [&] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                if (dialog == nullptr || !dialog->isVisible()) return;
                watch.stop();
                dialog->setDirectory(root + QStringLiteral("/start"));
                auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(edit != nullptr);
                edit->setFocus();
                QTest::keyClicks(edit, QString(typed).replace(QStringLiteral("%1"), root),
                                 Qt::NoModifier, 20);
                QTest::keyClick(edit, Qt::Key_Return);
                answered = true;
                // A dialog that did not take the Return fails the test instead of hanging it.
                QTimer::singleShot(5000, dialog, &QDialog::reject);
            });
            watch.start();
            const QString chosen = choose();
            QVERIFY(answered);
            QCOMPARE(chosen, root + QLatin1Char('/') + expected);
        }
    }
};

QTEST_MAIN(FolderChooserTest)
#include "FolderChooserTest.moc"
