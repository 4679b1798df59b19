// The main window from the keyboard alone: Create Bank on its key and in the Tools menu, the
// list's context menu from Shift+F10 and the Menu key, Ctrl+Q while an operation runs, Delete on
// a factory program, a command started while a bank's name is being edited, and a key of its own
// for every menu item.

#include <QDockWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <map>
#include <memory>
#include <vector>

#include "tests/ui/UiFixture.h"
#include "ui/library/LibraryController.h"
#include "ui/library/LibraryWindow.h"

namespace {

QLineEdit* Editor(CEntryListCtrl& list) {
    return list.findChild<QLineEdit*>();
}

// Runs `open` and returns the object names of the items of every popup menu it opened (each is
// closed as soon as it is seen), one string per menu.
QStringList MenusOpenedBy(const std::function<void()>& open) {
    QStringList menus;
    QTimer watch;
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&menus] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        QStringList names;
        for (QAction* action : menu->actions()) names << action->objectName();
        menus << names.join(QLatin1Char(','));
        menu->close();
    });
    watch.start();
    open();
    QTest::qWait(50);  // a second menu, had one been opened
    return menus;
}

// The key of a menu item's text ("&Find…" gives "F"; "&&" is a plain "&"), or the empty text.
QString MnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] != QLatin1Char('&')) return text.mid(i + 1, 1).toUpper();
        ++i;
    }
    return {};
}

// The text of every item of `menu` and of its submenus, each with the menu it is in.
void CollectItems(QMenu& menu, const QString& path, QList<QPair<QString, QAction*>>& items) {
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) continue;
        items.append({path, action});
        if (action->menu() != nullptr)
            CollectItems(*action->menu(), path + QStringLiteral(" > ") + action->text(), items);
    }
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void createBankIsInTheToolsMenuAndOnCtrlN() {
        CUiFixture f;
        f.Start();
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        QAction* createBank = f.frame->Actions().createBank;
        auto* tools = f.frame->menuBar()->findChild<QMenu*>(QStringLiteral("toolsMenu"));
        QVERIFY(tools != nullptr);
        QVERIFY(tools->actions().contains(createBank));
        QVERIFY(createBank->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_N)));

        // The key opens the dialog, from the list as from anywhere in the window.
        QStringList dialogs;
        CUiFixture::OnNextDialog([&dialogs](QDialog& dialog) {
            dialogs << dialog.objectName();
            dialog.reject();
        });
        f.List().setFocus();
        QTest::keyClick(&f.List(), Qt::Key_N, Qt::ControlModifier);
        f.Settle();
        QCOMPARE(dialogs.size(), 1);
    }

    // A right click, Shift+F10 and the Menu key open one and the same menu, with every command
    // that applies where the user is.
    void theMenuKeysOpenTheRightClickMenu_data() {
        QTest::addColumn<int>("bank");  // -1: the bank list
        QTest::addColumn<int>("entry");  // -1: none selected
        QTest::addColumn<QString>("items");
        QTest::newRow("bank list, nothing selected") << -1 << -1 << "createBankAction";
        QTest::newRow("bank list, a bank") << -1 << 3
                                           << "createBankAction,renameBankAction,deleteAction";
        QTest::newRow("user program") << 0 << 5 << "deleteAction";
    }
    void theMenuKeysOpenTheRightClickMenu() {
        QFETCH(int, bank);
        QFETCH(int, entry);
        QFETCH(QString, items);
        CUiFixture f;
        f.Start();
        if (bank >= 0) f.OpenBank(bank);
        f.Select(entry >= 0 ? f.RowOf(entry) : -1);
        CEntryListCtrl& list = f.List();
        list.setFocus();

        const QStringList rightClick = MenusOpenedBy([&list] {
            const QPoint at(5, 5);
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
            QApplication::sendEvent(list.viewport(), &event);
        });
        QCOMPARE(rightClick, QStringList{items});
        const QStringList shiftF10 = MenusOpenedBy(
            [&list] { QTest::keyClick(&list, Qt::Key_F10, Qt::ShiftModifier); });
        QCOMPARE(shiftF10, rightClick);
        const QStringList menuKey =
            MenusOpenedBy([&list] { QTest::keyClick(&list, Qt::Key_Menu); });
        QCOMPARE(menuKey, rightClick);
    }

    // Delete on a factory program does nothing, and the status bar says why.
    void deleteOnAFactoryProgramSaysWhy() {
        CUiFixture f;
        f.Start();
        f.OpenBank(0);
        const auto before = f.unit.Programs(0).size();
        const int factory = f.RowOf(0);
        f.Select(factory);
        f.List().setFocus();
        QTest::keyClick(&f.List(), Qt::Key_Delete);
        f.Settle();
        QCOMPARE(f.unit.Programs(0).size(), before);
        QCOMPARE(f.frame->statusBar()->currentMessage(),
                 QStringLiteral("\"%1\" is a factory program and cannot be deleted: only user "
                                "programs can be deleted.")
                     .arg(f.List().item(factory)->text()));
    }

    // Ctrl+Q quits at once when nothing runs; during an operation it asks first, and Yes closes
    // the window once the operation is over.
    void quitAsksFirstWhileAnOperationRuns() {
        CUiFixture f;
        f.Start();
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        QStringList questions;
        bool answer = false;
        f.host.SetAsker([&](const QString& text) {
            questions << text;
            return answer;
        });
        CPauseGate gate;
        f.onPause = gate.Hook();
        bool visibleAfterNo = false;
        bool busyAfterNo = false;
        QTimer::singleShot(0, [&] {
            QTRY_VERIFY(gate.Held());
            QTest::keyClick(f.frame.get(), Qt::Key_Q, Qt::ControlModifier);
            visibleAfterNo = f.frame->isVisible();
            busyAfterNo = f.worker.IsBusy();
            answer = true;
            QTest::keyClick(f.frame.get(), Qt::Key_Q, Qt::ControlModifier);
            gate.Release();
        });
        f.Select(f.RowOf(3));
        f.View().ActivateSelection();  // the bank select pauses
        f.Settle();
        QCOMPARE(questions.size(), 2);
        QCOMPARE(questions[0],
                 QStringLiteral("An operation with the unit is still running.\n\nQuit anyway? The "
                                "operation stops after the step it is on, then Quorlin closes."));
        QVERIFY(visibleAfterNo);
        QVERIFY(busyAfterNo);
        QTRY_VERIFY(!f.frame->isVisible());
        f.onPause = nullptr;
    }
    void quitWhileIdleAsksNothing() {
        CUiFixture f;
        f.Start();
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        int questions = 0;
        f.host.SetAsker([&questions](const QString&) {
            ++questions;
            return false;
        });
        QTest::keyClick(f.frame.get(), Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!f.frame->isVisible());
        QCOMPARE(questions, 0);
    }

    // A command started while a bank's name is being edited gives the edit up: nothing is sent
    // to the unit and the entry keeps its name, whether the command opens a dialog, switches
    // the DSP or comes from the list's own menu.
    void aCommandStartedDuringARenameCancelsIt_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("Ctrl+F") << "Ctrl+F";
        QTest::newRow("Ctrl+N") << "Ctrl+N";
        QTest::newRow("Ctrl+B") << "Ctrl+B";
        QTest::newRow("About from the menu") << "about";
        QTest::newRow("Create Bank from the list's menu") << "context";
    }
    void aCommandStartedDuringARenameCancelsIt() {
        QFETCH(QString, command);
        CUiFixture f;
        f.unit.AddBank(7, "Old");
        f.Start();
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        const int row = f.RowOf(7);
        f.Select(row);
        QSignalSpy committed(&f.List(), &CEntryListCtrl::renameCommitted);
        f.List().RenameSelectedBank();
        QPointer<QLineEdit> editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        editor->setFocus();
        QTRY_VERIFY(editor->hasFocus());
        editor->setText(QStringLiteral("New"));

        // Any dialog the command opens is cancelled.
        QTimer dialogs;
        dialogs.setInterval(10);
        connect(&dialogs, &QTimer::timeout, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        dialogs.start();
        if (command == QLatin1String("about")) {
            f.frame->Actions().about->trigger();
        } else if (command == QLatin1String("context")) {
            std::unique_ptr<QMenu> menu = f.List().BuildContextMenu();
            QVERIFY(menu != nullptr);
            menu->findChild<QAction*>(QStringLiteral("createBankAction"))->trigger();
        } else {
            QTest::keySequence(editor.data(), QKeySequence(command));
        }
        f.Settle();
        f.Settle();
        dialogs.stop();

        QVERIFY(editor.isNull());
        QCOMPARE(committed.size(), 0);
        QCOMPARE(f.List().item(f.RowOf(7))->text(), QStringLiteral("7 Old"));
        bool found = false;
        for (const auto& bank : f.unit.Banks())
            if (bank.number == 7) found = bank.name == "Old";
        QVERIFY(found);
    }
    // Every item of every menu of the window (the menu bar's with the library's items, the
    // toolbar's, the list's at either level) has a key of its own within its menu; the items
    // that open a dialog, and only they, end in "…"; the two backups say which is which.
    void everyMenuItemHasItsOwnKeyAndDialogsEndInAnEllipsis() {
        CUiFixture f;
        QTemporaryDir dir;
        CLibraryController library(dir.filePath(QStringLiteral("library.sqlite")).toStdString());
        f.Start();
        library.Install(*f.frame, f.View(), f.State(), f.worker, *f.frame->ViewMenu(),
                        *f.frame->OptionsMenu());
        const QStringList opensDialog = {
            QStringLiteral("commSetupAction"),  QStringLiteral("findAction"),
            QStringLiteral("loadPatchAction"),  QStringLiteral("backupAction"),
            QStringLiteral("backupUnitAction"), QStringLiteral("restoreUnitAction"),
            QStringLiteral("aboutAction"),      QStringLiteral("createBankAction"),
        };

        // Each menu with its place, for the messages; the menus built here are owned here.
        QList<QPair<QString, QMenu*>> menus;
        std::vector<std::unique_ptr<QMenu>> built;
        QStringList titleKeys;
        for (QAction* title : f.frame->menuBar()->actions()) {
            menus.append({title->text(), title->menu()});
            // The menu bar's titles have keys of their own too.
            const QString key = MnemonicOf(title->text());
            QVERIFY2(!key.isEmpty() && !titleKeys.contains(key), qPrintable(title->text()));
            titleKeys << key;
        }
        QVERIFY(menus.size() >= 5);
        const auto add = [&](const QString& place, QMenu* menu) {
            built.emplace_back(menu);
            menus.append({place, menu});
        };
        add(QStringLiteral("toolbar menu"), f.frame->createPopupMenu());
        f.Select(f.RowOf(3));
        add(QStringLiteral("bank list menu"), f.List().BuildContextMenu().release());
        f.OpenBank(0);
        f.Select(f.RowOf(5));  // a user program
        add(QStringLiteral("program list menu"), f.List().BuildContextMenu().release());

        int seen = 0;
        for (const auto& [place, menu] : menus) {
            QVERIFY2(menu != nullptr, qPrintable(place));
            QList<QPair<QString, QAction*>> items;
            CollectItems(*menu, place, items);
            std::map<QString, std::map<QString, QString>> keys;  // menu: key: the item's text
            for (const auto& [where, action] : items) {
                ++seen;
                const QString text = action->text();
                const QString what = where + QStringLiteral(": ") + text;
                const QString key = MnemonicOf(text);
                QVERIFY2(!key.isEmpty(), qPrintable(what + QStringLiteral(" has no key")));
                // The sixteen channels: each number's last digit is its key, so 11 to 16 share
                // theirs with 1 to 6 (the key steps between the two).
                if (action->objectName().startsWith(QStringLiteral("channel"))) {
                    QCOMPARE(key, QString(text).remove(QLatin1Char('&')).right(1));
                    continue;
                }
                QVERIFY2(!keys[where].contains(key),
                         qPrintable(what + QStringLiteral(" has the key of ") + keys[where][key]));
                keys[where][key] = text;
                const bool dialog = opensDialog.contains(action->objectName());
                QVERIFY2(text.endsWith(QChar(0x2026)) == dialog,
                         qPrintable(what + (dialog ? QStringLiteral(" opens a dialog")
                                                   : QStringLiteral(" opens no dialog"))));
                QVERIFY2(!text.endsWith(QStringLiteral("...")), qPrintable(what));
            }
        }
        QVERIFY(seen > 30);  // the sixteen channels, the two DSPs, every command

        const auto shown = [](QAction* action) { return action->text().remove(QLatin1Char('&')); };
        QCOMPARE(shown(f.frame->Actions().backup), QStringLiteral("Back Up This Bank…"));
        QCOMPARE(shown(f.frame->Actions().backupUnit), QStringLiteral("Back Up Entire Unit…"));
    }
    // The commands that the library and the log add to the window give an open name edit up
    // as the window's own do: nothing is sent, the entry keeps its name. Ctrl+Shift+L opens
    // the Library window, which takes the focus from the edit.
    void theLibraryAndLogCommandsCancelARenameToo_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("Ctrl+Shift+L") << "Ctrl+Shift+L";
        QTest::newRow("View: Library") << "actionLibrary";
        QTest::newRow("View: Communication Log") << "CommLogPanel";
        QTest::newRow("Options: Keep Deleted Programs") << "actionKeepDeleted";
        QTest::newRow("toolbar menu: Toolbar") << "toolbar";
        // A command added later whose own handler, connected first, moves the focus at once.
        QTest::newRow("a later command that takes the focus") << "focusTaker";
    }
    void theLibraryAndLogCommandsCancelARenameToo() {
        QFETCH(QString, command);
        CUiFixture f;
        QTemporaryDir dir;
        CLibraryController library(dir.filePath(QStringLiteral("library.sqlite")).toStdString());
        f.unit.AddBank(7, "Old");
        f.Start();
        library.Install(*f.frame, f.View(), f.State(), f.worker, *f.frame->ViewMenu(),
                        *f.frame->OptionsMenu());
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        f.Select(f.RowOf(7));
        QSignalSpy committed(&f.List(), &CEntryListCtrl::renameCommitted);
        f.List().RenameSelectedBank();
        QPointer<QLineEdit> editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        editor->setFocus();
        QTRY_VERIFY(editor->hasFocus());
        editor->setText(QStringLiteral("New"));

        QLineEdit field(f.frame.get());
        field.show();
        if (command == QLatin1String("focusTaker")) {
            auto* taker = new QAction(QStringLiteral("&Go to Field"), f.frame.get());
            taker->setObjectName(command);
            connect(taker, &QAction::triggered, &field, [&field] { field.setFocus(); });
            f.frame->ViewMenu()->addAction(taker);
        }
        if (command.startsWith(QLatin1String("Ctrl"))) {
            QTest::keySequence(editor.data(), QKeySequence(command));
        } else {
            // The item as its menu holds it (a dock's or a toolbar's toggle is its own action).
            QAction* action = f.frame->findChild<QAction*>(command);
            if (action == nullptr) {
                auto* holder = f.frame->findChild<QWidget*>(command);
                QVERIFY(holder != nullptr);
                if (auto* dock = qobject_cast<QDockWidget*>(holder))
                    action = dock->toggleViewAction();
                if (auto* bar = qobject_cast<QToolBar*>(holder)) action = bar->toggleViewAction();
            }
            QVERIFY2(action != nullptr, qPrintable(command));
            action->trigger();
        }
        f.Settle();
        f.Settle();

        QVERIFY(editor.isNull());
        QCOMPARE(committed.size(), 0);
        QCOMPARE(f.List().item(f.RowOf(7))->text(), QStringLiteral("7 Old"));
        for (const auto& bank : f.unit.Banks())
            if (bank.number == 7) QCOMPARE(bank.name, std::string("Old"));
        if (auto* window = library.Window()) window->close();
    }
};

QTEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
