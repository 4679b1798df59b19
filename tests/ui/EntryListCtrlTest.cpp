// The list control: context menus, in-place bank renaming, the loaded-program mark, dragging a
// program out.

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolTip>
#include <QUrl>
#include <optional>

#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"
#include "ui/dialogs/BankNameValidator.h"
#include "ui/list/PatchMimeData.h"

namespace {

QStringList MenuItems(CEntryListCtrl& list) {
    QStringList items;
    if (auto menu = list.BuildContextMenu()) {
        for (QAction* action : menu->actions()) {
            items << QStringLiteral("%1 (%2)").arg(action->text(), action->objectName());
        }
    }
    return items;
}

QLineEdit* Editor(CEntryListCtrl& list) {
    return list.findChild<QLineEdit*>();
}

// The program changes the unit was sent since the transcript was cleared.
int ProgramChanges(const CSimLink& link) {
    int changes = 0;
    for (const auto& frame : link.Transcript()) {
        const auto status = static_cast<unsigned char>(frame.bytes.empty() ? 0 : frame.bytes[0]);
        if ((status & 0xF0) == 0xC0) ++changes;
    }
    return changes;
}

// The selected program loaded and fetched as a drag-out does it, then the data the drag offers
// (nullptr: none; `refusal` then says why, when the unit sent another program).
std::unique_ptr<CPatchMimeData> DragOut(CUiFixture& f, QString* refusal = nullptr) {
    const int row = f.List().SelectedRow();
    std::optional<ProgramFetch> fetched;
    f.View().LoadProgram(row, true, [&fetched](const ProgramFetch& fetch) { fetched = fetch; });
    f.Settle();
    if (!fetched) return nullptr;
    QString why;
    std::unique_ptr<CPatchMimeData> data = f.List().CreatePatchDrag(row, *fetched, why);
    if (refusal != nullptr) *refusal = why;
    return data;
}

}  // namespace

class EntryListCtrlTest : public QObject {
    Q_OBJECT

private slots:
    void contextMenuFitsLevelAndSelection() {
        CUiFixture f;
        f.Start();
        f.List().clearSelection();
        QCOMPARE(MenuItems(f.List()),
                 QStringList{QStringLiteral("&Create Bank… (createBankAction)")});
        f.Select(0);
        QCOMPARE(MenuItems(f.List()),
                 (QStringList{QStringLiteral("&Create Bank… (createBankAction)"),
                              QStringLiteral("&Rename Bank (renameBankAction)"),
                              QStringLiteral("&Delete Bank (deleteAction)")}));
        f.OpenBank(0);
        f.List().clearSelection();
        QVERIFY(MenuItems(f.List()).isEmpty());
        f.Select(f.RowOf(0));  // factory
        QVERIFY(MenuItems(f.List()).isEmpty());
        f.Select(f.RowOf(5));  // user
        QCOMPARE(MenuItems(f.List()), QStringList{QStringLiteral("&Delete Patch (deleteAction)")});
    }

    void renamingABankSendsTheNameAndEscSendsNothing() {
        CUiFixture f;
        f.unit.AddBank(7, "Old");
        f.Start();
        const int row = f.RowOf(7);
        QCOMPARE(f.List().item(row)->text(), QStringLiteral("7 Old"));

        // Esc: nothing is sent, the entry keeps its text.
        f.Select(row);
        f.link->ClearTranscript();
        int operations = 0;
        std::size_t framesBeforeAnOperation = 0;
        QObject counting;  // goes before the counters do
        connect(&f.worker, &CEngineWorker::operationStarting, &counting, [&] {
            if (++operations == 1) framesBeforeAnOperation = f.link->Transcript().size();
        });
        f.List().RenameSelectedBank();
        QPointer<QLineEdit> editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->text(), QStringLiteral("Old"));  // the name alone
        editor->setText(QStringLiteral("Nope"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(editor.isNull());  // the field is gone
        f.Settle();
        QCOMPARE(f.List().item(row)->text(), QStringLiteral("7 Old"));
        QVERIFY(f.link->Transcript().empty());
        QCOMPARE(operations, 0);

        f.List().RenameSelectedBank();
        editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        editor->setText(QStringLiteral("New"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(f.List().item(row)->text(), QStringLiteral("7 New"));
        // A rename that Esc had let through would have reached the unit before this one began.
        QCOMPARE(operations, 1);
        QCOMPARE(framesBeforeAnOperation, std::size_t{0});
        bool renamed = false;
        for (const auto& bank : f.unit.Banks()) renamed |= bank.number == 7 && bank.name == "New";
        QVERIFY(renamed);
        QCOMPARE(f.unit.TooSoonKeyCount(), 0);
    }

    void aRenameToNoNameIsNeverSent() {
        CUiFixture f;
        f.unit.AddBank(7, "Old");
        f.Start();
        const int row = f.RowOf(7);
        f.Select(row);
        f.link->ClearTranscript();
        int operations = 0;
        QObject counting;  // goes before the counter does
        connect(&f.worker, &CEngineWorker::operationStarting, &counting, [&] { ++operations; });
        QSignalSpy committed(&f.List(), &CEntryListCtrl::renameCommitted);

        // Enter does not take an empty name, nor one of blanks: the field stays for a real one.
        f.List().RenameSelectedBank();
        QPointer<QLineEdit> editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        for (const QString& typed : {QString(), QStringLiteral("   ")}) {
            editor->selectAll();
            QTest::keyClick(editor, Qt::Key_Backspace);
            QTest::keyClicks(editor, typed);
            QCOMPARE(editor->text(), typed);
            QTest::keyClick(editor, Qt::Key_Return);
            f.Settle();
            QVERIFY(!editor.isNull());
        }
        // Moving to another entry commits what the field holds: the edit ends without a rename.
        f.List().setCurrentRow(row == 0 ? 1 : 0);
        QTRY_VERIFY(editor.isNull());
        f.Settle();
        QCOMPARE(committed.size(), 0);
        QCOMPARE(operations, 0);
        QVERIFY(f.link->Transcript().empty());
        QCOMPARE(f.List().item(row)->text(), QStringLiteral("7 Old"));
    }

    void aRenameTheUnitDidNotGetKeepsTheOldName() {
        CUiFixture f;
        f.unit.AddBank(7, "Old");
        f.Start();
        const int row = f.RowOf(7);
        f.Select(row);
        f.link->SetFailOpen(true);
        f.List().RenameSelectedBank();
        QLineEdit* editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        editor->setText(QStringLiteral("New"));
        QSignalSpy busy(&f.worker, &CEngineWorker::busyChanged);
        QTest::keyClick(editor, Qt::Key_Return);
        // The rename was tried: its operation began and ended.
        QTRY_VERIFY_WITH_TIMEOUT(busy.size() >= 2, 30000);
        QCOMPARE(busy.first().at(0).toBool(), true);
        f.Settle();
        QCOMPARE(f.List().item(row)->text(), QStringLiteral("7 Old"));
    }

    void bankNamesTakeOnlyCharactersTheUnitCanEnter() {
        CUiFixture f;
        f.unit.AddBank(7, "Old");
        f.Start();
        f.Select(f.RowOf(7));
        f.List().RenameSelectedBank();
        QLineEdit* editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        editor->clear();
        for (const QString& typed : {QStringLiteral("A"), QStringLiteral("\""), QStringLiteral("b"),
                                     QStringLiteral("\u00e9"), QStringLiteral("c")}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
            QApplication::sendEvent(editor, &press);
        }
        QCOMPARE(editor->text(), QStringLiteral("Abc"));
        QTest::keyClick(editor, Qt::Key_Escape);
    }

    void anOperationGivesUpTheRenameInProgress() {
        // Renaming the empty bank 20, the user presses the toolbar's Delete instead of Enter:
        // the bank is deleted and stays deleted.
        CUiFixture f;
        f.Start();
        f.Select(f.RowOf(20));
        f.List().setFocus();
        f.List().RenameSelectedBank();
        QLineEdit* editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        QTest::keyClicks(editor, QStringLiteral("Renamed"));
        int operations = 0;
        connect(&f.worker, &CEngineWorker::operationStarting, [&operations] { ++operations; });
        QWidget* button = f.frame->ToolBar()->widgetForAction(f.frame->Actions().del);
        QVERIFY(button != nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(Editor(f.List()) == nullptr);
        QTRY_VERIFY(!f.worker.IsBusy());
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QCOMPARE(f.RowOf(20), -1);
        for (const auto& bank : f.unit.Banks()) QVERIFY(bank.number != 20);
        // The delete and the bank list that followed it; no rename.
        QCOMPARE(operations, 2);
    }

    void aRenameWaitingForAnOperationGoesOnlyToABankStillListed() {
        CUiFixture f;
        f.unit.AddBank(7, "Old");
        f.Start();
        CPauseGate gate;  // holds the deletion of bank 20 in its first pause
        f.onPause = gate.Hook();
        QTimer::singleShot(0, [&f, &gate] {
            QTRY_VERIFY(gate.Held());
            // Names committed while the deletion runs: they wait for it.
            f.List().FinishRename(20, QStringLiteral("20 Jo's Scratch"), QStringLiteral("Back"));
            f.List().FinishRename(7, QStringLiteral("7 Old"), QStringLiteral("Seven"));
            gate.Release();
        });
        f.Select(f.RowOf(20));
        f.frame->Actions().del->trigger();
        f.Settle();
        f.onPause = nullptr;
        QTRY_COMPARE(f.List().item(f.RowOf(7))->text(), QStringLiteral("7 Seven"));
        QTRY_VERIFY(!f.worker.IsBusy());
        QCOMPARE(f.RowOf(20), -1);
        bool seven = false;
        for (const auto& bank : f.unit.Banks()) {
            QVERIFY(bank.number != 20);
            seven |= bank.number == 7 && bank.name == "Seven";
        }
        QVERIFY(seven);
    }

    void clickingTheSelectedBankOpensAFramedEditorWithTheNameSelected() {
        CUiFixture f;
        f.unit.AddBank(7, "Old");
        f.Start();
        const int row = f.RowOf(7);
        f.Select(row);
        f.List().setFocus();
        const QPoint where = f.List().visualItemRect(f.List().item(row)).center();
        QTest::mouseClick(f.List().viewport(), Qt::LeftButton, Qt::NoModifier, where);
        QTRY_VERIFY(Editor(f.List()) != nullptr);
        QLineEdit* editor = Editor(f.List());
        QVERIFY(editor->hasFrame());
        QVERIFY(editor->autoFillBackground());
        QCOMPARE(editor->selectedText(), QStringLiteral("Old"));
        QVERIFY(editor->height() >= editor->sizeHint().height());
        // Delete edits the text; the bank stays.
        QTest::keyClick(editor, Qt::Key_Delete);
        QCOMPARE(editor->text(), QString());
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(Editor(f.List()) == nullptr);
        QCOMPARE(f.List().item(row)->text(), QStringLiteral("7 Old"));
        bool kept = false;
        for (const auto& bank : f.unit.Banks()) kept |= bank.number == 7 && bank.name == "Old";
        QVERIFY(kept);
    }

    void aRefusedCharacterExplainsItselfInAToolTipThatFits() {
        CUiFixture f;
        f.unit.AddBank(7, "Old");
        f.Start();
        f.Select(f.RowOf(7));
        f.List().RenameSelectedBank();
        QLineEdit* editor = Editor(f.List());
        QVERIFY(editor != nullptr);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("\""));
        QApplication::sendEvent(editor, &press);
        QTRY_VERIFY(QToolTip::isVisible());
        const QString tip = QToolTip::text();
        QCOMPARE(QString(tip).replace(QLatin1Char('\n'), QLatin1Char(' ')),
                 CBankNameValidator::AcceptedCharactersMessage());
        // Lines short enough for any window the list can be in.
        const QFontMetrics metrics(QToolTip::font());
        for (const QString& line : tip.split(QLatin1Char('\n'))) {
            QVERIFY2(metrics.horizontalAdvance(line) <= 420, qPrintable(line));
        }
        QTest::keyClick(editor, Qt::Key_Escape);
    }

    void entriesCutShortShowTheirWholeTextAsToolTip() {
        CUiFixture f;
        const std::string longName = "A bank name far too long to be shown whole in one column";
        f.unit.AddBank(8, longName);
        f.unit.AddBank(7, "Old");
        f.Start();
        const QString longEntry = QStringLiteral("8 ") + QString::fromStdString(longName);
        QCOMPARE(f.List().item(f.RowOf(8))->text(), longEntry);
        QCOMPARE(f.List().item(f.RowOf(8))->toolTip(), longEntry);
        QCOMPARE(f.List().item(f.RowOf(7))->toolTip(), QString());
        // A tool tip event over the entry shows it.
        const QRect rect = f.List().visualItemRect(f.List().item(f.RowOf(8)));
        QHelpEvent help(QEvent::ToolTip, rect.center(),
                        f.List().viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(f.List().viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), longEntry);
    }

    void programsAreNeverRenamedInPlace() {
        CUiFixture f;
        f.Start();
        f.OpenBank(0);
        f.Select(f.RowOf(5));
        f.List().editItem(f.List().item(f.RowOf(5)));
        QVERIFY(Editor(f.List()) == nullptr);
    }

    void enterLoadsTheProgramAndMarksItLoaded() {
        CUiFixture f;
        f.Start();
        f.OpenBank(1);
        const int row = f.RowOf(1);
        f.Select(row);
        f.List().setFocus();
        QTest::keyClick(&f.List(), Qt::Key_Return);
        f.Settle();
        QVERIFY(f.View().IsLoadedProgram(row));
        QCOMPARE(f.List().SelectedRow(), -1);  // the mark replaces the selection
        QCOMPARE(f.unit.LoadedProgram(1)->number, 1);
    }

    // As a user does it: a double click on the bank opens it, a double click on a program loads
    // it; the title names the bank, the program is marked loaded and the pane shows its text.
    void doubleClickingOpensABankAndLoadsAProgram() {
        CUiFixture f;
        f.unit.AddBank(40, "Clicked");
        f.unit.AddProgram(40, 2, sim::MakeProgramText("Dark Room", "Room", 30, {"Double-clicked."}),
                          true);
        f.unit.AddProgram(40, 3, sim::MakeProgramText("Bright Room", "Room", 30, {"Not this."}),
                          true);
        f.Start();
        f.List().clearSelection();
        auto doubleClick = [&f](int row) {
            QListWidgetItem* item = f.List().item(row);
            QVERIFY(item != nullptr);
            f.List().scrollToItem(item);
            const QPoint where = f.List().visualItemRect(item).center();
            QVERIFY(f.List().viewport()->rect().contains(where));
            QTest::mouseDClick(f.List().viewport(), Qt::LeftButton, Qt::NoModifier, where);
        };

        doubleClick(f.RowOf(40));
        QTRY_COMPARE(f.State().Level(), 1);
        QCOMPARE(f.State().CurrentBank(), 40);
        QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 40: Clicked"));
        QTRY_COMPARE(f.frame->windowTitle(), QStringLiteral("Bank 40: Clicked - Quorlin"));
        QCOMPARE(f.Entries(), (QStringList{QStringLiteral("2 Dark Room"),
                                           QStringLiteral("3 Bright Room")}));
        QVERIFY(Editor(f.List()) == nullptr);  // no rename began on the way
        QCOMPARE(f.unit.SelectedBank(1), 40);

        const int row = f.RowOf(2);
        doubleClick(row);
        QTRY_VERIFY(f.View().IsLoadedProgram(row));
        QVERIFY(!f.View().IsLoadedProgram(f.RowOf(3)));
        QVERIFY(f.unit.LoadedProgram(1).has_value());
        QCOMPARE(f.unit.LoadedProgram(1)->name, std::string("Dark Room"));
        QVERIFY2(f.View().PaneText().startsWith(QStringLiteral("Double-clicked.")),
                 qPrintable(f.View().PaneText()));
        QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 40: Clicked"));
    }

    // The list on its own, over a state and an engine but without the view or the commands: it
    // says what the user asked for with its signals and acts on nothing itself.
    void theListAsksItsOwnersAndActsOnNothing() {
        CScopedSettingsStore settings;
        CSimUnit unit;
        CGuiHost host;
        host.SetPresenter([](const QString&, const QString&, IHost::Icon) {});
        host.SetPauser([](int) {});
        auto serial = std::make_unique<CSimLink>(unit);
        CSimLink& link = *serial;
        CLibrarian engine(host, std::move(serial),
                          std::make_unique<CSimLink>(unit, CSimLink::ReplyStyle::MIDI));
        CEngineWorker worker;
        CBrowseState state;
        CEntryListCtrl list(state, worker, nullptr);
        list.resize(400, 300);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        link.ClearTranscript();

        QSignalSpy activated(&list, &CEntryListCtrl::activated);
        QSignalSpy deleteRequested(&list, &CEntryListCtrl::deleteRequested);
        QSignalSpy createBankRequested(&list, &CEntryListCtrl::createBankRequested);
        QSignalSpy renameCommitted(&list, &CEntryListCtrl::renameCommitted);
        QSignalSpy filesDropped(&list, &CEntryListCtrl::filesDropped);
        QSignalSpy dragStarted(&list, &CEntryListCtrl::dragStarted);
        auto counts = [&] {
            return QList<qsizetype>{activated.size(),           deleteRequested.size(),
                                    createBankRequested.size(), renameCommitted.size(),
                                    filesDropped.size(),        dragStarted.size()};
        };

        // Bank level.
        list.AddEntry(QStringLiteral("7 Old"), kIconBank, 0);
        list.AddEntry(QStringLiteral("8 Other"), kIconBank, 0);
        QVERIFY(!list.acceptDrops());
        auto trigger = [&list](const QString& text) {
            std::unique_ptr<QMenu> menu = list.BuildContextMenu();
            QVERIFY(menu != nullptr);
            for (QAction* action : menu->actions()) {
                if (action->text() == text) action->trigger();
            }
        };
        list.clearSelection();
        trigger(QStringLiteral("&Create Bank…"));
        QCOMPARE(counts(), (QList<qsizetype>{0, 0, 1, 0, 0, 0}));
        list.SelectRow(0);
        list.setFocus();
        // Enter and Delete are the keys of the actions the main window gives the list: on its
        // own the list does nothing with them.
        QTest::keyClick(&list, Qt::Key_Return);
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(counts(), (QList<qsizetype>{0, 0, 1, 0, 0, 0}));
        trigger(QStringLiteral("&Delete Bank"));
        QCOMPARE(counts(), (QList<qsizetype>{0, 1, 1, 0, 0, 0}));
        const QPoint where = list.visualItemRect(list.item(1)).center();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, where);
        QCOMPARE(counts(), (QList<qsizetype>{1, 1, 1, 0, 0, 0}));

        // A rename taken with Enter is handed on; the entry keeps its text until its owner says
        // the unit took the name.
        list.clearSelection();
        list.setCurrentRow(0);
        list.item(0)->setSelected(true);
        list.RenameSelectedBank();
        QLineEdit* editor = Editor(list);
        QVERIFY(editor != nullptr);
        editor->setText(QStringLiteral("New"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(renameCommitted.size(), 1);
        QCOMPARE(renameCommitted.first(),
                 (QList<QVariant>{7, QStringLiteral("7 Old"), QStringLiteral("New")}));
        QCOMPARE(list.item(0)->text(), QStringLiteral("7 Old"));
        list.ShowBankName(QStringLiteral("7 Old"), 7, QStringLiteral("New"));
        QCOMPARE(list.item(0)->text(), QStringLiteral("7 New"));

        // Program level: files are taken, the local ones handed on in their order.
        state.SetLevel(CBrowseState::kProgramLevel);
        QVERIFY(list.acceptDrops());
        list.clear();
        list.AddEntry(QStringLiteral("3 Big Hall"), kIconUser, 1);
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.sig")),
                         QUrl(QStringLiteral("https://example.org/b.sig")),
                         QUrl::fromLocalFile(QStringLiteral("/tmp/c.sig"))});
        QVERIFY(list.AcceptsDrop(&dropped, nullptr));
        list.TakeDrop(&dropped);
        QTRY_COMPARE(filesDropped.size(), 1);
        QCOMPARE(filesDropped.first().first().toStringList(),
                 (QStringList{QStringLiteral("/tmp/a.sig"), QStringLiteral("/tmp/c.sig")}));

        // A drag-out asks for the program to be loaded and fetched before anything is dragged;
        // then it offers what was fetched.
        list.setCurrentRow(0);
        list.item(0)->setSelected(true);
        QVERIFY(list.BeginPatchDrag());
        QCOMPARE(counts(), (QList<qsizetype>{1, 1, 1, 1, 1, 1}));
        ProgramFetch fetched;
        fetched.status = ProgramFetch::Status::Fetched;
        fetched.text = "\"Big Hall\" text";
        QString refusal;
        std::unique_ptr<CPatchMimeData> data = list.CreatePatchDrag(0, fetched, refusal);
        QVERIFY(data != nullptr);
        QCOMPARE(data->FileName(), QStringLiteral("Big Hall.sig"));
        QCOMPARE(data->data(CPatchMimeData::RawFormat()), QByteArray("\"Big Hall\" text"));

        // The list itself never talked to the unit.
        QVERIFY(link.Transcript().empty());
        QVERIFY(!worker.IsBusy());
    }

    // What the commands ask of the list: one entry selected and current, in view; or none.
    void selectRowSelectsOneEntryAndMakesItCurrentInView() {
        CUiFixture f;
        for (int bank = 30; bank < 90; ++bank) f.unit.AddBank(bank, "Many " + std::to_string(bank));
        f.Start();
        f.frame->resize(400, 300);
        const int last = f.List().count() - 1;
        struct Case {
            const char* what;
            int before;  // selected and current first (-1: none)
            int row;
            int selected;
            int current;
        };
        const Case cases[] = {
            {"another row", 2, 0, 0, 0},
            {"the selected row again", 3, 3, 3, 3},
            {"a row out of view", 0, last, last, last},
            {"none", 4, -1, -1, 4},
            {"a row that is not there", 4, last + 1, -1, 4},
        };
        for (const Case& c : cases) {
            f.List().setCurrentRow(c.before);
            f.List().SelectRow(c.row);
            QVERIFY2(f.List().SelectedRow() == c.selected, c.what);
            QVERIFY2(f.List().selectedItems().size() == (c.selected >= 0 ? 1 : 0), c.what);
            QVERIFY2(f.List().currentRow() == c.current, c.what);
            if (c.selected >= 0) {
                const QRect shown = f.List().visualItemRect(f.List().item(c.selected));
                QVERIFY2(f.List().viewport()->rect().contains(shown), c.what);
            }
        }
        // The arrow keys go on from the selected row.
        f.List().SelectRow(5);
        f.List().setFocus();
        QTest::keyClick(&f.List(), Qt::Key_Down);
        QCOMPARE(f.List().SelectedRow(), 6);
    }

    void dragOutOffersTheSameBytesAsABackup() {
        CUiFixture f;
        f.unit.AddBank(40, "Drag");
        f.unit.AddProgram(40, 3, sim::MakeProgramText("Big Hall", "Hall", 30, {"x"}), true);
        f.unit.AddProgram(40, 4, sim::MakeProgramText("a/b", "Hall", 30, {"y"}), true);
        f.Start();
        // Bank level: nothing is dragged.
        f.Select(0);
        QVERIFY(!f.List().BeginPatchDrag());

        f.OpenBank(40);
        f.Select(f.RowOf(3));
        std::unique_ptr<CPatchMimeData> data = DragOut(f);
        QVERIFY(data != nullptr);
        QCOMPARE(data->FileName(), QStringLiteral("Big Hall.sig"));
        // The program is loaded and its bytes fetched before the drag starts; the drop asks the
        // unit nothing more.
        QVERIFY(f.View().IsLoadedProgram(f.RowOf(3)));
        f.link->ClearTranscript();
        QVERIFY(data->WrittenPath().isEmpty());
        const QList<QUrl> urls = data->urls();
        QVERIFY(f.link->Transcript().empty());
        QCOMPARE(urls.size(), 1);
        const QString dragged = urls.first().toLocalFile();
        QCOMPARE(QFileInfo(dragged).fileName(), QStringLiteral("Big Hall.sig"));
        QFile file(dragged);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray draggedBytes = file.readAll();
        QCOMPARE(data->data(CPatchMimeData::RawFormat()), draggedBytes);

        QTemporaryDir dir;
        f.Commands().m_fnChooseBackupFolder = [&dir] { return dir.path(); };
        f.Commands().BackupUserPatches();
        f.Settle();
        QFile backup(dir.filePath(QStringLiteral("Big Hall.sig")));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), draggedBytes);

        // A name with a path separator is written inside the private folder, under a safe name.
        f.Select(f.RowOf(4));
        data = DragOut(f);
        QVERIFY(data != nullptr);
        const QString unsafe = data->urls().first().toLocalFile();
        QCOMPARE(QFileInfo(unsafe).fileName(), QStringLiteral("a_b.sig"));
        QCOMPARE(QFileInfo(unsafe).absolutePath(), QFileInfo(dragged).absolutePath());
    }

    // The gesture as the list starts it: one operation loads the program (one program change)
    // and fetches it; the row is marked loaded. With the button already up when the fetch is
    // done (as it always is here), no drag starts and nothing more is asked.
    void aDragOutLoadsAndFetchesTheProgramOnce() {
        CUiFixture f;
        f.unit.AddBank(40, "Drag");
        f.unit.AddProgram(40, 3, sim::MakeProgramText("Big Hall", "Hall", 30, {"x"}), true);
        f.Start();
        f.OpenBank(40);
        f.Select(f.RowOf(3));
        f.link->ClearTranscript();
        QSignalSpy busy(&f.worker, &CEngineWorker::busyChanged);
        QVERIFY(f.List().BeginPatchDrag());
        f.Settle();
        QCOMPARE(busy.size(), 2);  // one operation
        QCOMPARE(ProgramChanges(*f.link), 1);
        QVERIFY(f.View().IsLoadedProgram(f.RowOf(3)));
        QCOMPARE(f.unit.LoadedProgram(1)->name, std::string("Big Hall"));
        QVERIFY(f.messages.isEmpty());

        // The port cannot be opened: nothing was sent, so no row is marked loaded.
        f.State().ClearLoaded(1);
        f.link->SetFailOpen(true);
        f.Select(f.RowOf(3));
        QVERIFY(f.List().BeginPatchDrag());
        f.Settle();
        f.link->SetFailOpen(false);
        QVERIFY(!f.View().IsLoadedProgram(f.RowOf(3)));
    }

    // A unit that does not follow the program change (it listens on another MIDI channel) runs
    // "Big Hall" still: the pane says so, the row is not marked loaded, and a drag of the
    // program offers nothing, neither a file nor bytes, and says why.
    void aProgramTheUnitDidNotChangeToIsNotDraggedOut() {
        CUiFixture f;
        f.unit.AddBank(40, "Drag");
        f.unit.AddProgram(40, 3, sim::MakeProgramText("Vocal Plate", "Plate", 20, {"x"}), true);
        f.Start();
        f.OpenBank(40);
        f.unit.SetReceiveChannel(7);
        f.Select(f.RowOf(3));
        QString refusal;
        std::unique_ptr<CPatchMimeData> data = DragOut(f, &refusal);
        QVERIFY(data == nullptr);
        QVERIFY2(f.View().PaneText().startsWith(QStringLiteral(
                     "The unit sent \"Big Hall\" instead of \"Vocal Plate\". The information "
                     "below is of \"Big Hall\".\n\nA wide concert hall")),
                 qPrintable(f.View().PaneText()));
        QVERIFY(!f.View().IsLoadedProgram(f.RowOf(3)));
        const QString expected = QStringLiteral(
            "Cannot drag out program 3 of bank 40: the unit sent \"Big Hall\" instead of \"Vocal "
            "Plate\".");
        QCOMPARE(refusal, expected);

        // Started as the list starts it, the drag is refused with that message.
        f.Select(f.RowOf(3));
        QSignalSpy refused(&f.List(), &CEntryListCtrl::dragRefused);
        QVERIFY(f.List().BeginPatchDrag());
        f.Settle();
        QCOMPARE(refused.size(), 1);
        QCOMPARE(f.messages, QStringList{expected});

        // The unit follows again: the same drag offers the program.
        f.unit.SetReceiveChannel(-1);
        f.Select(f.RowOf(3));
        data = DragOut(f, &refusal);
        QVERIFY(data != nullptr);
        QVERIFY(f.View().IsLoadedProgram(f.RowOf(3)));
        QCOMPARE(data->data(CPatchMimeData::RawFormat()),
                 QByteArray::fromStdString(f.unit.Programs(40)[0].text));
        QVERIFY(refusal.isEmpty());
    }
};

QTEST_MAIN(EntryListCtrlTest)
#include "EntryListCtrlTest.moc"
