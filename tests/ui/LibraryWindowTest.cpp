// The Library window over a real library file: results as you type, the filters, the info text
// (and its absence), the drag data (a ".sig" file the program list takes), Restore to Unit for
// deleted programs, Find's offer, a library that could not be opened, a stored copy that is
// damaged, an empty library's hint, and `quorlin --demo`, whose programs stay out of the user's
// library.

#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "library/ProgramLibrary.h"
#include "tests/ui/UiFixture.h"
#include "ui/library/LibraryController.h"
#include "ui/library/LibraryWindow.h"

using namespace library;

class LibraryWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    CProgramLibrary m_lib;

    static std::string Text(const std::string& name) {
        return "preset \"" + name + "\"\nmix 50\n";
    }
    void Store(const std::string& name, How how, int bank, const std::string& info = {}) {
        Where where;
        where.bank = bank;
        where.program = 3;
        std::string error;
        QVERIFY2(m_lib.Store(Text(name), {}, how, where, error, info), error.c_str());
    }
    static QStringList Names(const CLibraryWindow& window) {
        QStringList names;
        for (int i = 0; i < window.Results()->topLevelItemCount(); ++i)
            names << window.Results()->topLevelItem(i)->text(CLibraryWindow::ColumnName);
        names.sort();
        return names;
    }
    QPushButton* Button(CLibraryWindow& window, const QString& text) {
        for (auto* b : window.findChildren<QPushButton*>())
            if (b->text() == text) return b;
        return nullptr;
    }

private slots:
    void initTestCase() {
        std::string error;
        QVERIFY2(m_lib.Open(m_dir.filePath(QStringLiteral("library.sqlite")).toStdString(), error),
                 error.c_str());
        Store("Cab Sim", How::Fetched, 1);
        Store("Big Hall", How::Fetched, 2, "Warm tape echo");
        Store("Gone Plate", How::Fetched, 4);
        Store("Gone Plate", How::Deleted, 4);
    }

    void resultsFollowTheSearchAsItIsTyped() {
        CLibraryWindow window(m_lib, {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(Names(window), QStringList({"Big Hall", "Cab Sim", "Gone Plate"}));
        QTest::keyClicks(window.SearchBox(), QStringLiteral("a"));
        QCOMPARE(Names(window), QStringList({"Big Hall", "Cab Sim", "Gone Plate"}));
        QTest::keyClicks(window.SearchBox(), QStringLiteral("b"));
        QCOMPARE(Names(window), QStringList({"Cab Sim"}));
        window.SearchBox()->clear();
        QTest::keyClicks(window.SearchBox(), QStringLiteral("TAPE"));
        QCOMPARE(Names(window), QStringList({"Big Hall"}));
        window.Results()->topLevelItem(0)->setSelected(true);
        QCOMPARE(window.InfoText()->toPlainText(), QStringLiteral("Warm tape echo"));
        QCOMPARE(window.Results()->topLevelItem(0)->text(CLibraryWindow::ColumnPlace),
                 QStringLiteral("bank 2 program 3"));
    }

    void aDeletedProgramCanBeRestoredToItsBank() {
        CLibraryWindow window(m_lib, {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.FilterBox()->setCurrentIndex(2);  // Deleted
        QCOMPARE(Names(window), QStringList({"Gone Plate"}));
        QPushButton* restore = Button(window, QStringLiteral("Restore to Unit"));
        QVERIFY(restore);
        QVERIFY(!restore->isEnabled());
        window.Results()->topLevelItem(0)->setSelected(true);
        QVERIFY(restore->isEnabled());
        QSignalSpy requested(&window, &CLibraryWindow::restoreRequested);
        QTest::mouseClick(restore, Qt::LeftButton);
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.at(0).at(1).toInt(), 4);
        QFile file(requested.at(0).at(0).toString());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().toStdString(), Text("Gone Plate"));

        window.FilterBox()->setCurrentIndex(1);  // On the unit
        QCOMPARE(Names(window), QStringList({"Big Hall", "Cab Sim"}));
        window.Results()->topLevelItem(0)->setSelected(true);
        QVERIFY(!restore->isEnabled());
    }

    // What a drag carries: a ".sig" file with the stored text, as a dropped file is.
    void aDraggedProgramIsASigFile() {
        CLibraryWindow window(m_lib, {});
        window.SearchBox()->setText(QStringLiteral("cab"));
        QCOMPARE(window.Results()->topLevelItemCount(), 1);
        const QModelIndex index = window.Results()->model()->index(0, 0);
        std::unique_ptr<QMimeData> data(window.Results()->model()->mimeData({index}));
        QVERIFY(data);
        QVERIFY(data->hasUrls());
        const QString path = data->urls().value(0).toLocalFile();
        QVERIFY2(path.endsWith(QStringLiteral("/Cab Sim.sig")), qPrintable(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().toStdString(), Text("Cab Sim"));
    }

    void findOffersTheLibrarysMatchesAtOnce() {
        CLibraryWindow window(m_lib, {});
        window.OfferMatches(QStringLiteral("plate"));
        QVERIFY(window.isVisible());
        QCOMPARE(Names(window), QStringList({"Gone Plate"}));
        QVERIFY(window.Banner()->isVisible());
        QVERIFY2(window.Banner()->text().contains(QStringLiteral("in the library")),
                 qPrintable(window.Banner()->text()));
        QCOMPARE(window.Results()->topLevelItem(0)->text(CLibraryWindow::ColumnPlace),
                 QStringLiteral("deleted from bank 4"));
    }

    // A copy that no longer matches its SHA-256: named when the window opens; Save As and Show
    // Sightings refuse it with the reason, and a drag carries nothing.
    void aDamagedCopyIsNamedAndRefused() {
        const std::string file = m_dir.filePath(QStringLiteral("damaged.sqlite")).toStdString();
        CProgramLibrary lib;
        std::string error;
        QVERIFY2(lib.Open(file, error), error.c_str());
        Where where;
        where.bank = 1;
        where.program = 2;
        std::string sha;
        QVERIFY2(lib.Store(Text("Cab Sim"), {}, How::Fetched, where, error, {}, &sha),
                 error.c_str());
        lib.Close();
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "UPDATE texts SET body = CAST('preset \"Cab Sin\"' AS BLOB)",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        QVERIFY2(lib.Open(file, error), error.c_str());

        CLibraryWindow window(lib, {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.Banner()->isHidden());
        QVERIFY2(window.Banner()->text().contains(
                     QStringLiteral("holds 1 damaged copy: \"Cab Sim\" (%1)")
                         .arg(QString::fromStdString(sha.substr(0, 12)))),
                 qPrintable(window.Banner()->text()));
        QCOMPARE(window.Results()->topLevelItemCount(), 1);
        window.Results()->topLevelItem(0)->setSelected(true);
        for (const QString& name : {QStringLiteral("Save As…"), QStringLiteral("Show Sightings")}) {
            QString said;
            auto* timer = new QTimer(this);
            timer->setInterval(10);
            connect(timer, &QTimer::timeout, this, [timer, &said] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    timer->stop();
                    timer->deleteLater();
                    said = box->text();
                    box->accept();
                }
            });
            timer->start();
            QPushButton* button = Button(window, name);
            QVERIFY(button);
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(said, QStringLiteral("The library's copy of \"Cab Sim\" is damaged: it no "
                                          "longer matches its SHA-256; fetch, import or back up "
                                          "the program again to replace it."));
        }
        const QModelIndex index = window.Results()->model()->index(0, 0);
        std::unique_ptr<QMimeData> data(window.Results()->model()->mimeData({index}));
        QVERIFY(!data);
    }

    // A program without an info text says so, in the placeholder's muted colour (nothing that
    // could be copied as the program's text); with none selected, the pane says what to do.
    void aProgramWithoutInfoTextSaysSo() {
        CLibraryWindow window(m_lib, {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QPlainTextEdit* info = window.InfoText();
        QCOMPARE(info->placeholderText(), QStringLiteral("Select a program to read its info text."));
        struct Case {
            QString name;
            QString text;
            QString placeholder;
        };
        const Case cases[] = {
            {QStringLiteral("Cab Sim"), QString(), QStringLiteral("No information text.")},
            {QStringLiteral("Big Hall"), QStringLiteral("Warm tape echo"), {}},
            {QStringLiteral("Cab Sim"), QString(), QStringLiteral("No information text.")},
        };
        for (const auto& c : cases) {
            const auto found = window.Results()->findItems(c.name, Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            window.Results()->setCurrentItem(found.front());
            QCOMPARE(info->toPlainText(), c.text);
            if (c.text.isEmpty()) QCOMPARE(info->placeholderText(), c.placeholder);
        }
        window.Results()->clearSelection();
        QCOMPARE(info->placeholderText(), QStringLiteral("Select a program to read its info text."));
    }

    // Nothing in the library yet: the list's place says how programs get there, until the first
    // arrives. A library of this run only (the demo unit's) says so below the list.
    void anEmptyLibraryShowsHowProgramsGetThere() {
        QTemporaryDir dir;
        CProgramLibrary empty;
        std::string error;
        QVERIFY2(empty.Open(dir.filePath(QStringLiteral("library.sqlite")).toStdString(), error),
                 error.c_str());
        CLibraryWindow window(empty, {});
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.EmptyHint()->isVisible());
        QVERIFY(!window.Results()->isVisible());
        QVERIFY(window.EmptyHint()->text().startsWith(QStringLiteral("The library is empty.")));
        for (const char* how : {"loaded into the unit", "backed up", "dragged out of a bank",
                                "before Delete", "quorlin-cli import"})
            QVERIFY2(window.EmptyHint()->text().contains(QLatin1String(how)), how);
        const auto runOnlyNote = [&window]() -> QLabel* {
            for (auto* label : window.findChildren<QLabel*>())
                if (label->text().contains(QStringLiteral("for this run only"))) return label;
            return nullptr;
        };
        QVERIFY(runOnlyNote());
        QVERIFY(!runOnlyNote()->isVisible());
        window.SetForThisRunOnly(true);
        QVERIFY(runOnlyNote()->isVisible());

        Where where;
        where.bank = 1;
        QVERIFY2(empty.Store(Text("First"), {}, How::Fetched, where, error), error.c_str());
        window.Refresh();
        QVERIFY(!window.EmptyHint()->isVisible());
        QVERIFY(window.Results()->isVisible());
        QCOMPARE(Names(window), QStringList({"First"}));
        // A search that finds nothing is no empty library.
        window.SearchBox()->setText(QStringLiteral("nothing like it"));
        QVERIFY(!window.EmptyHint()->isVisible());
    }

    // `quorlin --demo` keeps the demo unit's programs in a library of the run's own, in the
    // temporary folder: the user's library is not even made. $QUORLIN_LIBRARY still names the
    // library of every run.
    void theDemoUnitsLibraryIsNotTheUsersLibrary() {
        QTemporaryDir sandbox;
        const QString tmp = sandbox.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(tmp));
        const QString usersLibrary =
            sandbox.filePath(QStringLiteral("data/Brisca/Quorlin/library.sqlite"));
        const QString chosen = sandbox.filePath(QStringLiteral("chosen.sqlite"));
        struct Case {
            QString variable;  // QUORLIN_LIBRARY, or empty
            QString expectedLibrary;  // empty: one in a quorlin-demo-* folder in `tmp`
        };
        for (const Case& c : {Case{{}, {}}, Case{chosen, chosen}}) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), sandbox.filePath(QStringLiteral("config")));
            env.insert(QStringLiteral("XDG_DATA_HOME"), sandbox.filePath(QStringLiteral("data")));
            env.insert(QStringLiteral("TMPDIR"), tmp);
            if (c.variable.isEmpty())
                env.remove(QStringLiteral("QUORLIN_LIBRARY"));
            else
                env.insert(QStringLiteral("QUORLIN_LIBRARY"), c.variable);
            QProcess quorlin;
            quorlin.setProcessEnvironment(env);
            quorlin.start(QStringLiteral(QUORLIN_GUI_PATH), {QStringLiteral("--demo")});
            QVERIFY(quorlin.waitForStarted());
            // The library is opened before the window shows.
            const auto demoLibraries = [&tmp] {
                return QDir(tmp).entryList({QStringLiteral("quorlin-demo-*")}, QDir::Dirs);
            };
            if (c.expectedLibrary.isEmpty()) {
                QTRY_VERIFY_WITH_TIMEOUT(
                    demoLibraries().size() == 1 &&
                        QFile::exists(tmp + QLatin1Char('/') + demoLibraries().front() +
                                      QStringLiteral("/library.sqlite")),
                    30000);
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(c.expectedLibrary), 30000);
                QVERIFY(demoLibraries().isEmpty());
            }
            QVERIFY2(!QFile::exists(usersLibrary), "the demo run made the user's library");
            quorlin.kill();
            quorlin.waitForFinished();
            for (const QString& left : demoLibraries())
                QDir(tmp + QLatin1Char('/') + left).removeRecursively();
        }
    }

    void aLibraryThatCannotBeOpenedSaysWhy() {
        CProgramLibrary closed;
        const QString why = QStringLiteral("The program library x cannot be used: it is damaged.");
        CLibraryWindow window(closed, why);
        QCOMPARE(window.Banner()->text(), why);
        QVERIFY(!window.Banner()->isHidden());
        QVERIFY(!window.SearchBox()->isEnabled());
        QCOMPARE(window.Results()->topLevelItemCount(), 0);
    }

    // The library's two commands go into the menus it is given, whatever those are called.
    void theLibraryJoinsTheMenusItIsGiven() {
        CUiFixture f;
        f.Start(false);
        CLibraryController controller(
            m_dir.filePath(QStringLiteral("installed.sqlite")).toStdString());
        QVERIFY(controller.IsOpen());
        QMenu view;
        QMenu options;
        controller.Install(*f.frame, f.View(), f.State(), f.worker, view, options);
        const auto names = [](const QMenu& menu) {
            QStringList names;
            for (QAction* action : menu.actions())
                names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
            return names;
        };
        QCOMPARE(names(view), QStringList{QStringLiteral("actionLibrary")});
        QCOMPARE(names(options),
                 (QStringList{QStringLiteral("-"), QStringLiteral("actionKeepDeleted")}));
        QVERIFY(!names(*f.frame->ViewMenu()).contains(QStringLiteral("actionLibrary")));
        QVERIFY(!names(*f.frame->OptionsMenu()).contains(QStringLiteral("actionKeepDeleted")));
    }
};

QTEST_MAIN(LibraryWindowTest)
#include "LibraryWindowTest.moc"
