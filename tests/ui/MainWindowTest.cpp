// The main window, the bank and program browser and the info pane, over the simulated unit.

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QScreen>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTextCursor>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolBar>
#include <QUrl>
#include <QWheelEvent>
#include <atomic>

#include "settings/LinkSettings.h"
#include "settings/SerialSettings.h"
#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"
#include "ui/dialogs/CommSetupDlg.h"
#include "ui/log/CommLogPanel.h"
#include "ui/view/PatchInfoPane.h"

namespace {

// The simulated unit behind a serial port that can stop opening, saying so as the real serial
// link does.
class CPortLink : public CSimLink {
public:
    CPortLink(CSimUnit& unit, IHost& host) : CSimLink(unit), m_host(host) {}
    int Open(int bufferSize) override {
        if (failOpen) {
            m_host.ShowMessage(kOpenError, {}, IHost::Icon::Warning);
            return -2;
        }
        return CSimLink::Open(bufferSize);
    }
    static constexpr const char* kOpenError =
        "Error opening serial port /dev/ttyQ9 - No such file or directory.";
    std::atomic<bool> failOpen{false};

private:
    IHost& m_host;
};

// A started window whose serial link is a CPortLink, on the bank list.
CPortLink* StartOverPort(CUiFixture& f) {
    CPortLink* port = nullptr;
    f.Build([&f, &port](IHost& h) {
        return std::make_unique<CLibrarian>(
            h,
            [&f, &port](IHost& linkHost) {
                auto link = std::make_unique<CPortLink>(f.unit, linkHost);
                port = link.get();
                f.link = link.get();
                return link;
            },
            [&f](IHost&) { return std::make_unique<CSimLink>(f.unit, CSimLink::ReplyStyle::MIDI); });
    });
    f.frame->show();
    if (!QTest::qWaitForWindowExposed(f.frame.get())) return nullptr;
    return f.ShowBanks() == 0 ? port : nullptr;
}

// Whether `target` takes a drop of a local file.
bool TakesDrop(QWidget* target) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/dropped.sig"))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted() || drop.isAccepted();
}

// What is wrong with the size of a window that found no stored placement (empty: nothing): it
// must lie within the screen's available area, take a fair share of it, and be wide enough for
// the list with the info pane beside it, so that opening a bank need not widen it.
QString FirstStartSizeFault(CUiFixture& f) {
    const QSize area = QGuiApplication::primaryScreen()->availableGeometry().size();
    const QSize size = f.frame->size();
    const int needed = f.View().GetListWidth() + kPaneColumnWidth;
    QStringList faults;
    if (size.width() > area.width() || size.height() > area.height())
        faults << QStringLiteral("larger than the screen");
    if (size.width() < area.width() / 3 && size.width() < area.width())
        faults << QStringLiteral("narrower than a third of the screen");
    if (size.height() < area.height() / 2) faults << QStringLiteral("lower than half the screen");
    if (size.width() < needed && needed <= area.width())
        faults << QStringLiteral("narrower than the list and the pane (%1)").arg(needed);
    if (faults.isEmpty()) return {};
    return QStringLiteral("%1x%2 on a %3x%4 area: %5")
        .arg(size.width())
        .arg(size.height())
        .arg(area.width())
        .arg(area.height())
        .arg(faults.join(QStringLiteral(", ")));
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartAsksForSettingsBeforeTheWindowAppears();
    void openingABankShowsItsProgramsWithTitleIconsAndCount();
    void backSelectsTheBankThatWasOpen();
    void dspSwitchMovesTheChannel_data();
    void dspSwitchMovesTheChannel();
    void paneShowsTheProgramOfTheCurrentDspInTheShownBank();
    void paneScrollsALongTextToItsEnd();
    void theWheelOverThePaneScrollsItsText();
    void thePaneScrollBarFollowsWhatThePaneShows();
    void aFailedInformationRequestIsSaidInThePane();
    void menuItemsSayWhatTheyDoAndChannelsAreRadioItems();
    void actionsAreNamedWithStandardKeysAndTheirOwnTips_data();
    void actionsAreNamedWithStandardKeysAndTheirOwnTips();
    void theKeysOfTheListGoThroughItsActions();
    void eachCommandFollowsItsRuleAndRestsWhileAnOperationRuns();
    void checkMarksFollowWhatTheyShowWithoutAMenuOpening();
    void trackingSizeFollowsLevelAndPane();
    void firstStartFitsTheScreenAndKeepsItsWidth();
    void placementIsSavedAndRestored();
    void closingMaximisedKeepsTheNormalPlacementRunAfterRun();
    void settingsOutOfRangeFallBackToDefaults();
    void silentUnitIsReportedOnceAndSetupFetchesAgain();
    void closingDuringAnOperationWaitsForItAndSavesSettings();
    void commandsFollowTheLevel();
    void entriesWithoutANumberAreShownButNotActedOn();
    void aLongOperationShowsAProgressDialogNamingIt();
    void engineMessagesAreShownOnTheGuiThreadCaptionedQuorlin();
    void anOperationRunsWhileTheWindowGoesOnAndTheListTakesNoInput();
    void aBankTheUnitDoesNotOpenLeavesTheBankListAsItWas_data();
    void aBankTheUnitDoesNotOpenLeavesTheBankListAsItWas();
    void aBankNotListedPutsTheUnitBackOnTheBankShown();
    void aDspSwitchTheUnitDoesNotTakeLeavesTheDspAsItWas();
    void refreshAndBackShowTheBanksOfTheUnitThatCameBack();
};

void MainWindowTest::firstStartAsksForSettingsBeforeTheWindowAppears() {
    CUiFixture f;
    QStringList log;
    f.onMessage = [&log](const QString& text) { log << QStringLiteral("message: ") + text; };
    CUiFixture::OnNextDialog([&](QDialog& dialog) {
        log << QStringLiteral("dialog: %1, window %2")
                   .arg(dialog.windowTitle(), f.frame && f.frame->isVisible()
                                                  ? QStringLiteral("shown")
                                                  : QStringLiteral("hidden"));
        dialog.reject();
    });
    // The program's own engine over the real links, with no settings stored at all.
    f.Build([](IHost& h) { return std::make_unique<CLibrarian>(h); });
    // Nothing answers: point the port somewhere that does not exist.
    f.Engine().GetLinkSettings().pSerial->m_strPortName = "/nonexistent/quorlin-tty";
    f.frame->show();
    log << QStringLiteral("window shown");
    f.View().PostBankListRequest();
    QTRY_COMPARE(log.size(), 4);

    QCOMPARE(
        log[0],
        QStringLiteral("message: Serial port properties have not yet been set up.  Please set them "
                       "now.\nNote: Settings can be changed later from the Options | "
                       "Communications Setup menu."));
    // The menu the text sends the user to is there.
    const auto plain = [](QString text) {
        text.remove(QLatin1Char('&'));
        if (text.endsWith(QStringLiteral("..."))) text.chop(3);
        if (text.endsWith(QChar(0x2026))) text.chop(1);
        return text;
    };
    bool menuThere = false;
    for (QAction* menu : f.frame->menuBar()->actions()) {
        if (menu->menu() == nullptr || plain(menu->text()) != QStringLiteral("Options")) continue;
        for (QAction* item : menu->menu()->actions())
            menuThere = menuThere || plain(item->text()) == QStringLiteral("Communications Setup");
    }
    QVERIFY(menuThere);
    QCOMPARE(log[1], QStringLiteral("dialog: Communications Setup, window hidden"));
    QCOMPARE(log[2], QStringLiteral("window shown"));
    QCOMPARE(log[3], QStringLiteral("message: Error opening serial port /nonexistent/quorlin-tty - "
                                    "No such file or directory."));
    QVERIFY(!f.Engine().SerialSettingsWereMissing());

    const QString sizeFault = FirstStartSizeFault(f);
    QVERIFY2(sizeFault.isEmpty(), qPrintable(sizeFault));
    QVERIFY(f.frame->Actions().channels[0]->isChecked());
    QVERIFY(f.frame->Actions().dspA->isChecked());
    QVERIFY(!f.frame->Actions().dspB->isChecked());
    QVERIFY(f.frame->Actions().patchInfo->isChecked());
    QCOMPARE(f.frame->windowTitle(), QStringLiteral("Banks - Quorlin"));
}

void MainWindowTest::openingABankShowsItsProgramsWithTitleIconsAndCount() {
    CUiFixture f;
    f.Start();
    // The unit lists its banks with leading blanks; the list shows them without.
    QVERIFY(f.Entries().contains(QStringLiteral("1 Rooms")));
    QCOMPARE(f.frame->PatchCountPane()->text(), QString());

    f.OpenBank(10);
    QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 10: Mine"));
    QCOMPARE(f.frame->windowTitle(), QStringLiteral("Bank 10: Mine - Quorlin"));
    QCOMPARE(f.State().CurrentBank(), 10);
    const auto programs = f.unit.Programs(10);
    QCOMPARE(f.List().count(), static_cast<int>(programs.size()));
    for (int i = 0; i < f.List().count(); ++i) {
        const auto& program = programs[static_cast<std::size_t>(i)];
        QCOMPARE(
            f.List().item(i)->text(),
            QStringLiteral("%1 %2").arg(program.number).arg(QString::fromStdString(program.name)));
        QCOMPARE(f.List().EntryData(i) != 0, program.user);
    }
    QCOMPARE(f.frame->PatchCountPane()->text(), QStringLiteral("%1 patches").arg(programs.size()));

    // A bank with a single program still says "patches".
    f.unit.AddBank(30, "Solo");
    f.unit.AddProgram(30, 0, sim::MakeProgramText("Only One", "Room", 20, {"x"}), true);
    f.View().OnBack();
    f.Settle();
    f.Engine().StoreBankEntry(30, "Solo");
    QCOMPARE(f.ShowBanks(), 0);
    f.OpenBank(30);
    QCOMPARE(f.frame->PatchCountPane()->text(), QStringLiteral("1 patches"));
}

void MainWindowTest::backSelectsTheBankThatWasOpen() {
    CUiFixture f;
    f.Start();
    f.Select(2);
    f.View().ActivateSelection();
    f.Settle();
    QCOMPARE(f.State().Level(), 1);
    f.frame->Actions().back->trigger();
    f.Settle();
    QCOMPARE(f.State().Level(), 0);
    QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Banks"));
    QCOMPARE(f.List().SelectedRow(), 2);
    QCOMPARE(f.List().currentRow(), 2);
}

void MainWindowTest::dspSwitchMovesTheChannel_data() {
    QTest::addColumn<int>("dsp");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("choose");
    QTest::addColumn<int>("expected");
    QTest::newRow("B ch16 -> A gives 15") << 2 << 15 << 1 << 14;
    QTest::newRow("A ch15 -> B gives 16") << 1 << 14 << 2 << 15;
    QTest::newRow("B twice leaves 16") << 2 << 15 << 2 << 15;
    QTest::newRow("A ch16 -> B stays 16") << 1 << 15 << 2 << 15;
    QTest::newRow("B ch1 -> A stays 1") << 2 << 0 << 1 << 0;
    QTest::newRow("A twice leaves 1") << 1 << 0 << 1 << 0;
}

void MainWindowTest::dspSwitchMovesTheChannel() {
    QFETCH(int, dsp);
    QFETCH(int, channel);
    QFETCH(int, choose);
    QFETCH(int, expected);
    CUiFixture f;
    f.Start();
    f.OpenBank(3);
    f.State().SetDsp(dsp);
    f.State().SetChannel(channel);
    f.link->ClearTranscript();
    (choose == 1 ? f.frame->Actions().dspA : f.frame->Actions().dspB)->trigger();
    f.Settle();
    QCOMPARE(f.State().Channel(), expected);
    QCOMPARE(f.State().Dsp(), choose);
    QVERIFY(f.frame->Actions().channels[expected]->isChecked());
    QVERIFY((choose == 1 ? f.frame->Actions().dspA : f.frame->Actions().dspB)->isChecked());
    // With the programs shown, the bank is selected again on the chosen DSP.
    QCOMPARE(f.unit.SelectedBank(choose), 3);
    QVERIFY(!f.link->Transcript().empty());
}

void MainWindowTest::paneShowsTheProgramOfTheCurrentDspInTheShownBank() {
    CUiFixture f;
    f.Start();
    const QString none = QStringLiteral("No program selected");
    f.OpenBank(3);
    QCOMPARE(f.View().PaneText(), none);
    f.ActivateProgram(1);
    const QString fifth = f.View().PaneText();
    QVERIFY2(fifth.startsWith(QStringLiteral("A perfect fifth above the input.")),
             qPrintable(fifth));
    QVERIFY(f.View().IsLoadedProgram(f.RowOf(1)));

    f.frame->Actions().dspB->trigger();
    f.Settle();
    QCOMPARE(f.View().PaneText(), none);
    QVERIFY(!f.View().IsLoadedProgram(f.RowOf(1)));
    f.ActivateProgram(0);
    QVERIFY(f.View().PaneText().startsWith(QStringLiteral("One octave below the input.")));

    f.frame->Actions().dspA->trigger();
    f.Settle();
    QCOMPARE(f.View().PaneText(), fifth);

    // Another bank: nothing loaded there; back in bank 3 the text returns.
    f.View().OnBack();
    f.Settle();
    f.OpenBank(5);
    QCOMPARE(f.View().PaneText(), none);
    f.View().OnBack();
    f.Settle();
    f.OpenBank(3);
    QCOMPARE(f.View().PaneText(), fifth);
}

void MainWindowTest::paneScrollsALongTextToItsEnd() {
    CUiFixture f;
    std::vector<std::string> info;
    for (int i = 0; i < 60; ++i)
        info.push_back("Line " + std::to_string(i) + " of a long story & more");
    f.unit.AddProgram(12, 9, sim::MakeProgramText("Long Story", "Hall", 30, info), true);
    f.Start();
    f.frame->resize(600, 400);
    f.OpenBank(12);
    f.ActivateProgram(9);
    QVERIFY(f.View().PaneText().contains(QStringLiteral("& more")));  // no prefix processing
    QPlainTextEdit* text = f.View().Pane()->TextView();
    // Whether the end of the text is in view.
    auto endInView = [text] {
        QTextCursor end(text->document());
        end.movePosition(QTextCursor::End);
        return text->viewport()->rect().contains(text->cursorRect(end));
    };
    QScrollBar* bar = f.View().PaneScroll();
    QTRY_VERIFY(bar->isVisible());
    const int maximum = bar->maximum();
    QVERIFY(maximum > 0);
    QCOMPARE(bar->value(), 0);
    QVERIFY(!endInView());
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar->value(), 1);
    // The end of the text can be reached and read.
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(bar->value(), maximum);
    QVERIFY(endInView());
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar->value(), maximum);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(bar->value(), 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // off the top again

    // A taller window: the bar goes away and the position is reset.
    f.frame->resize(600, 4000);
    QTRY_VERIFY(!bar->isVisible());
    QCOMPARE(bar->value(), 0);

    // Bank level: hidden.
    f.frame->resize(600, 400);
    f.View().OnBack();
    f.Settle();
    QApplication::processEvents();
    QVERIFY(!bar->isVisible());
    QVERIFY(!f.View().Pane()->isVisible());
}

// The bar is shown, ranged and hidden where the pane's text or switch changes.
void MainWindowTest::thePaneScrollBarFollowsWhatThePaneShows() {
    CUiFixture f;
    std::vector<std::string> info;
    for (int i = 0; i < 60; ++i) info.push_back("Line " + std::to_string(i) + " of a long story");
    f.unit.AddProgram(12, 9, sim::MakeProgramText("Long Story", "Hall", 30, info), true);
    f.Start();
    f.frame->resize(600, 400);
    f.OpenBank(12);
    f.ActivateProgram(9);
    QScrollBar* bar = f.View().PaneScroll();
    QTRY_VERIFY(bar->isVisible());
    const int maximum = bar->maximum();
    QVERIFY(maximum > 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar->value(), 1);

    f.State().SetDsp(2);  // nothing loaded on DSP B: the short note fits
    QTRY_VERIFY(!bar->isVisible());
    QCOMPARE(bar->value(), 0);
    QCOMPARE(f.View().Pane()->Text(), QStringLiteral("No program selected"));
    f.State().SetDsp(1);
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(bar->maximum(), maximum);
    f.State().SetShowInfoPane(false);
    QTRY_VERIFY(!bar->isVisible());
    f.State().SetShowInfoPane(true);
    QTRY_VERIFY(bar->isVisible());
    f.State().SetInfo(1, QStringLiteral("Short now."));
    QTRY_VERIFY(!bar->isVisible());
    QCOMPARE(f.View().Pane()->Text(), QStringLiteral("Short now."));
    f.State().SetLevel(0);
    QTRY_VERIFY(!f.View().Pane()->isVisible());
    QVERIFY(!bar->isVisible());
}

void MainWindowTest::theWheelOverThePaneScrollsItsText() {
    CUiFixture f;
    std::vector<std::string> info;
    for (int i = 0; i < 60; ++i) info.push_back("Line " + std::to_string(i) + " of a long story");
    f.unit.AddProgram(12, 9, sim::MakeProgramText("Long Story", "Hall", 30, info), true);
    f.Start();
    f.frame->resize(600, 400);
    f.OpenBank(12);
    f.ActivateProgram(9);
    QScrollBar* bar = f.View().PaneScroll();
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(bar->value(), 0);
    // Through the window, which hands the wheel to the widget under the pointer.
    auto wheel = [&f](QPoint at, int delta) {
        const QPoint inWindow = f.View().mapTo(f.frame.get(), at);
        QWheelEvent event(inWindow, f.View().mapToGlobal(at), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.frame->windowHandle(), &event);
    };
    const QPoint overPane(kPaneBoxWidth / 2, 100);
    wheel(overPane, -120);  // one notch down
    QVERIFY(bar->value() > 0);
    const int afterOneNotch = bar->value();
    wheel(overPane, 120);
    QCOMPARE(bar->value(), 0);
    wheel(overPane, -120);
    QCOMPARE(bar->value(), afterOneNotch);
}

void MainWindowTest::aFailedInformationRequestIsSaidInThePane() {
    CUiFixture f;
    f.Start();
    f.OpenBank(3);
    f.link->SetSilent(true);
    f.ActivateProgram(1);
    f.link->SetSilent(false);
    QCOMPARE(f.View().PaneText(), QStringLiteral("The unit did not send the program information."));
    // The next program that answers replaces it.
    f.ActivateProgram(0);
    QVERIFY(f.View().PaneText().startsWith(QStringLiteral("One octave below the input.")));
}

void MainWindowTest::menuItemsSayWhatTheyDoAndChannelsAreRadioItems() {
    CUiFixture f;
    f.Start(false);
    // Nothing is ever saved, so Exit does not talk of saving.
    QCOMPARE(f.frame->Actions().exit->statusTip(), QStringLiteral("Quit the application"));
    for (QAction* channel : f.frame->Actions().channels) {
        QActionGroup* group = channel->actionGroup();
        QVERIFY(group != nullptr);
        QVERIFY(group->isExclusive());
        QCOMPARE(group, f.frame->Actions().channels[0]->actionGroup());
    }
    QVERIFY(f.frame->Actions().dspA->actionGroup() != nullptr);
    QCOMPARE(f.frame->Actions().dspA->actionGroup(), f.frame->Actions().dspB->actionGroup());
    f.frame->Actions().channels[4]->trigger();
    f.Settle();
    QCOMPARE(f.State().Channel(), 4);
    for (std::size_t i = 0; i < f.frame->Actions().channels.size(); ++i) {
        QCOMPARE(f.frame->Actions().channels[i]->isChecked(), i == 4);
    }
    // Choosing the checked channel again keeps it checked.
    f.frame->Actions().channels[4]->trigger();
    f.Settle();
    QVERIFY(f.frame->Actions().channels[4]->isChecked());
}

void MainWindowTest::actionsAreNamedWithStandardKeysAndTheirOwnTips_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("statusTip");
    QTest::addColumn<QString>("toolTip");    // empty: the text, as Qt derives it
    QTest::addColumn<int>("standardKey");    // QKeySequence::UnknownKey: none
    QTest::addColumn<QKeySequence>("kept");  // the key users know, first
    QTest::addColumn<Qt::ShortcutContext>("context");
    constexpr int none = QKeySequence::UnknownKey;
    const auto text = [](const char* s) { return QString::fromUtf8(s); };
    QTest::newRow("exitAction") << text("E&xit") << text("Quit the application") << text("Exit")
                                << int(QKeySequence::Quit) << QKeySequence(Qt::CTRL | Qt::Key_Q)
                                << Qt::WindowShortcut;
    QTest::newRow("deleteAction") << text("&Delete") << text("Delete the selected patch or bank")
                                  << text("Delete") << int(QKeySequence::Delete) << QKeySequence()
                                  << Qt::WidgetShortcut;
    QTest::newRow("openAction") << text("Open")
                                << text("Open the selected bank or load the selected program")
                                << QString() << none << QKeySequence(Qt::Key_Return)
                                << Qt::WidgetShortcut;
    QTest::newRow("findAction") << text("&Find…") << text("Find patch") << QString()
                                << int(QKeySequence::Find) << QKeySequence(Qt::CTRL | Qt::Key_F)
                                << Qt::WindowShortcut;
    QTest::newRow("findNextAction")
        << text("Find &Next") << text("Find next patch") << QString() << int(QKeySequence::FindNext)
        << QKeySequence(Qt::Key_F3) << Qt::WindowShortcut;
    QTest::newRow("backAction") << text("Back") << text("Back to bank selection") << text("Back")
                                << int(QKeySequence::Back) << QKeySequence(Qt::ALT | Qt::Key_Left)
                                << Qt::WindowShortcut;
    QTest::newRow("dspAAction") << text("DSP &A") << text("Change to DSP A") << text("DSP A")
                                << none << QKeySequence(Qt::CTRL | Qt::Key_A) << Qt::WindowShortcut;
    QTest::newRow("dspBAction") << text("DSP &B") << text("Change to DSP B") << text("DSP B")
                                << none << QKeySequence(Qt::CTRL | Qt::Key_B) << Qt::WindowShortcut;
    QTest::newRow("createBankAction")
        << text("&Create Bank…") << text("Create new bank") << text("Create Bank")
        << int(QKeySequence::New) << QKeySequence(Qt::CTRL | Qt::Key_N) << Qt::WindowShortcut;
    QTest::newRow("loadPatchAction")
        << text("&Load Patch from PC…")
        << text("Open an existing patch and store it in the current bank") << text("Load Patch")
        << none << QKeySequence() << Qt::WindowShortcut;
    QTest::newRow("refreshAction")
        << text("&Refresh")
        << text("Read the bank list or the open bank's programs from the unit again")
        << text("Refresh") << int(QKeySequence::Refresh) << QKeySequence(Qt::Key_F5)
        << Qt::WindowShortcut;
    QTest::newRow("toolbarAction")
        << text("&Toolbar") << text("Show or hide the toolbar") << text("Toggle ToolBar") << none
        << QKeySequence() << Qt::WindowShortcut;
    QTest::newRow("statusBarAction")
        << text("&Status Bar") << text("Show or hide the status bar") << text("Toggle StatusBar")
        << none << QKeySequence() << Qt::WindowShortcut;
    QTest::newRow("aboutAction") << text("&About Quorlin…")
                                 << text(
                                        "Display program information, version number and copyright")
                                 << text("About") << none << QKeySequence() << Qt::WindowShortcut;
}

// Each command is found by a name that says what it is, has the system's standard keys (and the
// key this program always had, first), and its status tip and tool tip as separate texts.
void MainWindowTest::actionsAreNamedWithStandardKeysAndTheirOwnTips() {
    QFETCH(QString, text);
    QFETCH(QString, statusTip);
    QFETCH(QString, toolTip);
    QFETCH(int, standardKey);
    QFETCH(QKeySequence, kept);
    QFETCH(Qt::ShortcutContext, context);
    CUiFixture f;
    f.Start(false);
    auto* action = f.frame->findChild<QAction*>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(action != nullptr);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->statusTip(), statusTip);
    if (!toolTip.isEmpty()) QCOMPARE(action->toolTip(), toolTip);
    const QList<QKeySequence> keys = action->shortcuts();
    if (!kept.isEmpty()) QCOMPARE(keys.value(0), kept);
    if (standardKey != QKeySequence::UnknownKey) {
        const auto standard = QKeySequence::keyBindings(QKeySequence::StandardKey(standardKey));
        for (const QKeySequence& key : standard)
            QVERIFY2(keys.contains(key), qPrintable(key.toString()));
    }
    QCOMPARE(action->shortcutContext(), context);

    // No action carries another's text in its tips, nor a number for a name; the status pane
    // says what it is too.
    for (QAction* any : f.frame->findChildren<QAction*>()) {
        if (any->text().isEmpty()) continue;  // separators, the log panel's inner ones
        QVERIFY2(!any->statusTip().contains(QLatin1Char('\n')), qPrintable(any->text()));
        QVERIFY2(!any->toolTip().contains(QLatin1Char('\n')), qPrintable(any->text()));
        bool number = false;
        any->objectName().toInt(&number);
        QVERIFY2(!number, qPrintable(any->objectName()));
    }
    QCOMPARE(f.frame->findChild<QLabel*>(QStringLiteral("patchCountPane")),
             f.frame->PatchCountPane());
}

void MainWindowTest::theKeysOfTheListGoThroughItsActions() {
    CUiFixture f;
    f.Start();
    QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
    const CMainActions& actions = f.frame->Actions();
    QSignalSpy opened(actions.open, &QAction::triggered);
    QSignalSpy deleted(actions.del, &QAction::triggered);

    // Enter opens the selected bank; Enter on the keypad loads the selected program.
    f.Select(f.RowOf(0));
    f.List().setFocus();
    QTest::keyClick(&f.List(), Qt::Key_Return);
    f.Settle();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Bank 0: Halls"));
    f.Select(f.RowOf(1));
    QTest::keyClick(&f.List(), Qt::Key_Enter);
    f.Settle();
    QCOMPARE(opened.size(), 2);
    QCOMPARE(f.State().Loaded(1).nIndex, f.RowOf(1));

    // Delete: nothing on a factory program (the action is off), the user program otherwise.
    const auto before = f.unit.Programs(0).size();
    f.Select(f.RowOf(0));
    QTest::keyClick(&f.List(), Qt::Key_Delete);
    QCOMPARE(deleted.size(), 0);
    f.Select(f.RowOf(5));
    // The keys are the list's: in the log they neither delete nor open anything.
    auto* log = f.frame->findChild<CCommLogPanel*>(QStringLiteral("CommLogPanel"));
    QVERIFY(log != nullptr);
    log->show();
    log->Table()->setFocus();
    QTRY_VERIFY(log->Table()->hasFocus());
    QTest::keyClick(log->Table(), Qt::Key_Delete);
    QTest::keyClick(log->Table(), Qt::Key_Return);
    QCOMPARE(deleted.size(), 0);
    QCOMPARE(opened.size(), 2);
    f.List().setFocus();
    QTest::keyClick(&f.List(), Qt::Key_Delete);
    f.Settle();
    QCOMPARE(deleted.size(), 1);
    QCOMPARE(f.unit.Programs(0).size(), before - 1);

    // A double click opens as Enter does.
    actions.back->trigger();
    f.Settle();
    f.Settle();
    const QRect rect = f.List().visualItemRect(f.List().item(f.RowOf(3)));
    QTest::mouseDClick(f.List().viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    f.Settle();
    QCOMPARE(opened.size(), 3);
    QCOMPARE(f.State().CurrentBank(), 3);
}

// Each command's own rule, in each place the user can be; while an operation runs every command
// rests, and afterwards each is back to its rule.
void MainWindowTest::eachCommandFollowsItsRuleAndRestsWhileAnOperationRuns() {
    CUiFixture f;
    f.Start();
    const CMainActions& a = f.frame->Actions();
    const QList<QAction*> ruled = {a.back,     a.createBank, a.loadPatch, a.backup,
                                   a.findNext, a.del,        a.open};
    const auto enabled = [&] {
        QStringList names;
        for (QAction* action : ruled)
            if (action->isEnabled()) names << action->objectName();
        return names;
    };
    f.Select(-1);
    QCOMPARE(enabled(), QStringList{QStringLiteral("createBankAction")});
    f.Select(f.RowOf(3));
    QCOMPARE(enabled(),
             (QStringList{QStringLiteral("createBankAction"), QStringLiteral("deleteAction"),
                          QStringLiteral("openAction")}));
    f.OpenBank(0);
    QCOMPARE(enabled(),
             (QStringList{QStringLiteral("backAction"), QStringLiteral("loadPatchAction"),
                          QStringLiteral("backupAction")}));
    f.Select(f.RowOf(0));  // a factory program
    QCOMPARE(enabled(),
             (QStringList{QStringLiteral("backAction"), QStringLiteral("loadPatchAction"),
                          QStringLiteral("backupAction"), QStringLiteral("openAction")}));
    f.State().SetFindText(QStringLiteral("no such program"));
    f.Select(f.RowOf(5));  // a user program
    const QStringList programLevel = {
        QStringLiteral("backAction"),   QStringLiteral("loadPatchAction"),
        QStringLiteral("backupAction"), QStringLiteral("findNextAction"),
        QStringLiteral("deleteAction"), QStringLiteral("openAction")};
    QCOMPARE(enabled(), programLevel);

    CPauseGate gate;
    f.onPause = gate.Hook();
    QList<QAction*> enabledWhileBusy;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(gate.Held());
        for (QAction* action : f.frame->findChildren<QAction*>()) {
            if (action->isEnabled() && action->actionGroup() != nullptr) enabledWhileBusy << action;
        }
        QVERIFY(a.exit->isEnabled());  // it asks first (the keyboard tests)
        QVERIFY(!a.channels[3]->isEnabled());
        QVERIFY(!a.dspB->isEnabled());
        gate.Release();
    });
    f.Commands().FindNext();
    f.Settle();  // the search of every bank has ended
    f.onPause = nullptr;
    QCOMPARE(f.messages.last(), QStringLiteral("Cannot find no such program"));
    QCOMPARE(enabledWhileBusy, QList<QAction*>());
    f.Select(f.RowOf(5));
    QCOMPARE(enabled(), programLevel);
    for (QAction* action : {a.exit, a.find, a.channels[3], a.dspB, a.about, a.patchInfo})
        QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
}

// Check marks follow what they stand for when it changes, not when a menu opens.
void MainWindowTest::checkMarksFollowWhatTheyShowWithoutAMenuOpening() {
    CUiFixture f;
    f.Start(false);
    const CMainActions& a = f.frame->Actions();
    QVERIFY(a.toolbar->isChecked());
    f.frame->ToolBar()->toggleViewAction()->trigger();  // the toolbar's own context menu
    QVERIFY(f.frame->ToolBar()->isHidden());
    QVERIFY(!a.toolbar->isChecked());
    a.toolbar->trigger();
    f.Settle();
    QVERIFY(f.frame->ToolBar()->isVisible());
    QVERIFY(a.toolbar->isChecked());
    a.statusBar->trigger();
    f.Settle();
    QVERIFY(f.frame->statusBar()->isHidden());
    QVERIFY(!a.statusBar->isChecked());
    f.State().SetShowInfoPane(false);
    QVERIFY(!a.patchInfo->isChecked());
    f.State().SetDsp(2);
    QVERIFY(a.dspB->isChecked());
    QVERIFY(!a.dspA->isChecked());
    f.State().SetChannel(11);
    for (std::size_t i = 0; i < a.channels.size(); ++i)
        QCOMPARE(a.channels[i]->isChecked(), i == 11);
}

void MainWindowTest::trackingSizeFollowsLevelAndPane() {
    CUiFixture f;
    f.Start();
    const int listWidth = f.View().GetListWidth();
    QCOMPARE(listWidth, 305);
    QCOMPARE(f.frame->minimumWidth(), listWidth);
    QCOMPARE(f.frame->minimumHeight(), 200);
    f.OpenBank(0);
    QCOMPARE(f.frame->minimumWidth(), listWidth + 224);
    // The window was widened to make room for the pane.
    QVERIFY(f.frame->width() >= listWidth + 224);
    f.frame->Actions().patchInfo->trigger();
    f.Settle();
    QCOMPARE(f.frame->minimumWidth(), listWidth);
    QCOMPARE(f.List().geometry(), f.View().rect());
    f.frame->Actions().patchInfo->trigger();
    f.Settle();
    QCOMPARE(f.List().geometry().left(), 224);
    QCOMPARE(f.List().geometry().top(), 9);
}

// Run on the default screen and, by ctest, on configured screens of 1024x768 and 2560x1440
// (QUORLIN_EXPECTED_SCREEN names the one configured).
void MainWindowTest::firstStartFitsTheScreenAndKeepsItsWidth() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QByteArray expected = qgetenv("QUORLIN_EXPECTED_SCREEN");
    if (!expected.isEmpty())
        QCOMPARE(QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height()),
                 QString::fromLatin1(expected));
    CUiFixture f;
    f.Start();
    const QString sizeFault = FirstStartSizeFault(f);
    QVERIFY2(sizeFault.isEmpty(), qPrintable(sizeFault));
    QVERIFY(f.State().ShowInfoPane());

    // Opening a bank (the pane appears beside the list) and going back keep the width.
    const QSize size = f.frame->size();
    f.OpenBank(0);
    QVERIFY(f.State().PaneShown());
    QCOMPARE(f.frame->size(), size);
    f.frame->Actions().back->trigger();
    f.Settle();
    QCOMPARE(f.State().Level(), 0);
    QCOMPARE(f.frame->size(), size);
}

void MainWindowTest::placementIsSavedAndRestored() {
    CUiFixture f;
    f.Start();
    f.frame->move(50, 60);
    f.frame->resize(600, 400);
    f.frame->close();
    QCOMPARE(f.settings->ReadDword("Options", "X"), 50);
    QCOMPARE(f.settings->ReadDword("Options", "Y"), 60);
    QCOMPARE(f.settings->ReadDword("Options", "Cx"), 600);
    QCOMPARE(f.settings->ReadDword("Options", "Cy"), 400);
    f.frame.reset();

    CUiFixture again;
    again.settings->Seed("Options", "X", std::int64_t{50});
    again.settings->Seed("Options", "Y", std::int64_t{60});
    again.settings->Seed("Options", "Cx", std::int64_t{600});
    again.settings->Seed("Options", "Cy", std::int64_t{400});
    again.Start(false);
    QCOMPARE(again.frame->pos(), QPoint(50, 60));
    QCOMPARE(again.frame->size(), QSize(600, 400));

    // Placed off every screen: brought back onto one.
    CUiFixture lost;
    lost.settings->Seed("Options", "X", std::int64_t{-30000});
    lost.settings->Seed("Options", "Y", std::int64_t{25000});
    lost.Start(false);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(screen.intersects(lost.frame->frameGeometry()));
}

void MainWindowTest::closingMaximisedKeepsTheNormalPlacementRunAfterRun() {
    // Each run opens at the stored placement, is maximised and closed; the next run uses what
    // the last one stored. The window must not wander.
    std::int64_t stored[4] = {50, 60, 600, 400};
    const char* const names[4] = {"X", "Y", "Cx", "Cy"};
    for (int run = 0; run < 3; ++run) {
        CUiFixture f;
        for (int i = 0; i < 4; ++i) f.settings->Seed("Options", names[i], stored[i]);
        f.Start(false);
        QCOMPARE(f.frame->pos(), QPoint(50, 60));
        QCOMPARE(f.frame->size(), QSize(600, 400));
        f.frame->showMaximized();
        QTRY_VERIFY(f.frame->isMaximized());
        QTRY_VERIFY(f.frame->size() != QSize(600, 400));
        f.frame->close();
        for (int i = 0; i < 4; ++i)
            stored[i] = f.settings->ReadDword("Options", names[i]).value_or(-1);
        QCOMPARE(QRect(int(stored[0]), int(stored[1]), int(stored[2]), int(stored[3])),
                 QRect(50, 60, 600, 400));
    }
}

void MainWindowTest::settingsOutOfRangeFallBackToDefaults() {
    CUiFixture f;
    f.settings->Seed("Options", "Channel", std::int64_t{40});
    f.settings->Seed("Options", "BankChangeDevice", std::int64_t{7});
    f.settings->Seed("Options", "Cx", std::int64_t{-3});
    f.Start();
    QCOMPARE(f.State().Channel(), 0);
    QCOMPARE(f.State().Dsp(), 1);
    const QString sizeFault = FirstStartSizeFault(f);  // the stored width is not one: as at first
    QVERIFY2(sizeFault.isEmpty(), qPrintable(sizeFault));
    f.frame->close();
    f.frame.reset();
    QCOMPARE(f.settings->ReadDword("Options", "Channel"), 0);
    QCOMPARE(f.settings->ReadDword("Options", "BankChangeDevice"), 1);
}

void MainWindowTest::silentUnitIsReportedOnceAndSetupFetchesAgain() {
    CUiFixture f;
    f.Start(false);
    f.link->SetSilent(true);
    QCOMPARE(f.ShowBanks(), -2);
    QCOMPARE(f.messages,
             QStringList{QStringLiteral(
                 "Unable to communicate with the unit.  Check your communication settings.")});
    QCOMPARE(f.List().count(), 0);
    QVERIFY(f.frame->Actions().commSetup->isEnabled());

    // Confirming the setup dialog with the bank list still empty fetches it again.
    f.link->SetSilent(false);
    CUiFixture::OnNextDialog([](QDialog& dialog) { dialog.accept(); });
    f.frame->Actions().commSetup->trigger();
    f.Settle();
    QVERIFY(f.List().count() > 0);
    QCOMPARE(f.messages.size(), 1);
}

void MainWindowTest::closingDuringAnOperationWaitsForItAndSavesSettings() {
    CUiFixture f;
    f.Start();
    CPauseGate gate;
    f.onPause = gate.Hook();
    f.State().SetChannel(5);
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(gate.Held());
        f.frame->close();  // while the bank select pauses
        QVERIFY(f.frame->isVisible());
        QVERIFY(!f.frame->Actions().back->isEnabled());
        gate.Release();
    });
    f.Select(f.RowOf(3));
    f.View().ActivateSelection();
    f.Settle();
    QTRY_VERIFY(!f.frame->isVisible());
    f.onPause = nullptr;
    f.frame.reset();
    QCOMPARE(f.settings->ReadDword("Options", "Channel"), 5);
    QVERIFY(f.settings->ReadDword("Options", "Cx").has_value());
}

void MainWindowTest::commandsFollowTheLevel() {
    CUiFixture f;
    f.Start();
    QVERIFY(!f.frame->Actions().back->isEnabled());
    QVERIFY(!f.frame->Actions().loadPatch->isEnabled());
    QVERIFY(!f.frame->Actions().backup->isEnabled());
    QVERIFY(f.frame->Actions().createBank->isEnabled());
    QVERIFY(!f.frame->Actions().findNext->isEnabled());
    f.OpenBank(0);
    QVERIFY(f.frame->Actions().back->isEnabled());
    QVERIFY(f.frame->Actions().loadPatch->isEnabled());
    QVERIFY(f.frame->Actions().backup->isEnabled());
    QVERIFY(!f.frame->Actions().createBank->isEnabled());
    // Channel menu: one check mark, on the chosen channel.
    f.frame->Actions().channels[9]->trigger();
    f.Settle();
    QCOMPARE(f.State().Channel(), 9);
    int checked = 0;
    for (QAction* channel : f.frame->Actions().channels) checked += channel->isChecked();
    QCOMPARE(checked, 1);
}

// "12" (no blank) or "x Name" (no digits) has no number: opening, loading or deleting it sends
// nothing to the unit (it used to be read as bank or program 12, or 0).
void MainWindowTest::entriesWithoutANumberAreShownButNotActedOn() {
    CUiFixture f;
    f.Start();
    const QStringList entries = {QStringLiteral("12"), QStringLiteral("x Name")};
    for (const QString& entry : entries) {
        f.List().AddEntry(entry, kIconBank, 0);
        const auto pauses = f.Pauses().size();
        f.Select(f.List().count() - 1);
        f.View().ActivateSelection();
        f.Settle();
        f.Commands().DeleteSelection();
        f.Settle();
        QCOMPARE(f.State().Level(), 0);
        QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Banks"));
        QCOMPARE(f.Pauses().size(), pauses);
    }
    f.OpenBank(10);
    const int programs = f.List().count();
    for (const QString& entry : entries) {
        f.List().AddEntry(entry, kIconUser, 1);
        const auto pauses = f.Pauses().size();
        f.Select(f.List().count() - 1);
        f.View().ActivateSelection();
        f.Settle();
        f.Commands().DeleteSelection();
        f.Settle();
        QCOMPARE(f.State().Loaded(1).nIndex, -1);
        QCOMPARE(f.Pauses().size(), pauses);
    }
    QCOMPARE(f.List().count(), programs + 2);
    QCOMPARE(f.unit.Programs(10).size(), static_cast<std::size_t>(programs));
}

void MainWindowTest::aLongOperationShowsAProgressDialogNamingIt() {
    CUiFixture f;
    f.Start();
    f.worker.SetProgressDelay(0);
    CPauseGate gate;
    f.onPause = gate.Hook();
    QString label;
    bool modal = true;
    bool blockedInput = false;
    bool repainted = false;
    QTimer::singleShot(0, [&] {
        QTRY_VERIFY(gate.Held());
        QTRY_VERIFY(f.worker.ProgressDialog() != nullptr && f.worker.ProgressDialog()->isVisible());
        label = f.worker.ProgressDialog()->labelText();
        // Not modal: the main window's input is held back instead, so that a close of the
        // window and a message the worker waits for still get through.
        modal = f.worker.ProgressDialog()->isModal();
        QTest::keyClick(&f.List(), Qt::Key_Down);
        blockedInput = f.List().currentRow() == f.RowOf(3);
        // The window still paints while the unit is asked.
        f.frame->repaint();
        repainted = true;
        gate.Release();
    });
    f.Select(f.RowOf(3));
    f.View().ActivateSelection();
    f.Settle();
    f.onPause = nullptr;
    QCOMPARE(label, QStringLiteral("Opening bank 3…"));
    QVERIFY(!modal);
    QVERIFY(blockedInput);
    QVERIFY(repainted);
    QVERIFY(f.worker.ProgressDialog() == nullptr);
    QCOMPARE(f.State().Level(), 1);
}

void MainWindowTest::engineMessagesAreShownOnTheGuiThreadCaptionedQuorlin() {
    CUiFixture f;
    f.Start(false);
    QStringList captions;
    bool onGuiThread = true;
    f.host.SetPresenter([&](const QString&, const QString& caption, IHost::Icon) {
        captions << caption;
        onGuiThread = onGuiThread && QThread::currentThread() == qApp->thread();
    });
    f.link->SetSilent(true);
    f.ShowBanks();
    QCOMPARE(captions, QStringList{QStringLiteral("Quorlin")});
    QVERIFY(onGuiThread);
}

// Run hands the operation to the worker and returns at once: the GUI thread goes on handling
// events (a timer fires) while the unit is held, a second operation is refused, and the result
// arrives afterwards, on the GUI thread. Meanwhile the list takes no click, key or drop, and the
// pane takes no drop; afterwards the same click selects.
void MainWindowTest::anOperationRunsWhileTheWindowGoesOnAndTheListTakesNoInput() {
    CUiFixture f;
    f.Start();
    f.OpenBank(3);
    const int selected = f.RowOf(0);
    const int other = f.RowOf(1);
    f.Select(selected);
    CPauseGate gate;
    f.onPause = gate.Hook();
    int result = 0;
    QThread* resultThread = nullptr;
    QVERIFY(f.worker.Run(
        QStringLiteral("Held"),
        [&f] {
            f.host.Pause(1);
            return 7;
        },
        [&](int r) {
            result = r;
            resultThread = QThread::currentThread();
        }));
    QVERIFY(f.worker.IsBusy());
    bool timerFired = false;
    QTimer::singleShot(0, [&timerFired] { timerFired = true; });
    QTRY_VERIFY(gate.Held());
    QTRY_VERIFY(timerFired);
    QVERIFY(f.worker.IsBusy());
    QCOMPARE(result, 0);
    bool secondRan = false;
    QVERIFY(!f.worker.Run(QStringLiteral("Second"), [] { return 1; },
                          [&secondRan](int) { secondRan = true; }));

    QSignalSpy activated(&f.List(), &CEntryListCtrl::activated);
    QSignalSpy deleteRequested(&f.List(), &CEntryListCtrl::deleteRequested);
    QSignalSpy dropped(&f.List(), &CEntryListCtrl::filesDropped);
    const QPoint otherRow = f.List().visualItemRect(f.List().item(other)).center();
    QTest::mouseClick(f.List().viewport(), Qt::LeftButton, Qt::NoModifier, otherRow);
    QTest::mouseDClick(f.List().viewport(), Qt::LeftButton, Qt::NoModifier, otherRow);
    QTest::keyClick(&f.List(), Qt::Key_Down);
    QTest::keyClick(&f.List(), Qt::Key_Delete);
    QTest::keyClick(&f.List(), Qt::Key_Return);
    QVERIFY(!TakesDrop(f.List().viewport()));
    QVERIFY(!TakesDrop(&f.View()));
    QCOMPARE(f.List().SelectedRow(), selected);
    QCOMPARE(activated.size() + deleteRequested.size() + dropped.size(), 0);

    gate.Release();
    QTRY_COMPARE(result, 7);
    f.onPause = nullptr;
    QCOMPARE(resultThread, qApp->thread());
    QVERIFY(!secondRan);
    QVERIFY(!f.worker.IsBusy());
    QTest::mouseClick(f.List().viewport(), Qt::LeftButton, Qt::NoModifier, otherRow);
    QCOMPARE(f.List().SelectedRow(), other);
}

void MainWindowTest::aBankTheUnitDoesNotOpenLeavesTheBankListAsItWas_data() {
    QTest::addColumn<bool>("portFails");
    QTest::addColumn<QString>("message");
    QTest::newRow("the port does not open") << true << QString::fromLatin1(CPortLink::kOpenError);
    QTest::newRow("the unit falls silent after the bank select")
        << false
        << QStringLiteral("Unable to communicate with the unit.  Check your communication settings.");
}

// Opening a bank changes what is shown only when the unit took the bank select and listed the
// programs: otherwise the bank list, its title, the bank last opened and the selection stay, and
// one message says why.
void MainWindowTest::aBankTheUnitDoesNotOpenLeavesTheBankListAsItWas() {
    QFETCH(bool, portFails);
    QFETCH(QString, message);
    CUiFixture f;
    CPortLink* port = StartOverPort(f);
    QVERIFY(port != nullptr);
    f.OpenBank(10);
    f.View().OnBack();
    f.Settle();
    const int row = f.RowOf(3);
    f.Select(row);
    const QStringList entries = f.Entries();
    f.messages.clear();
    if (portFails) {
        port->failOpen = true;
    } else {
        f.onPause = [&f](int) { f.link->SetSilent(true); };  // the pause after the bank select
    }
    QTest::keyClick(&f.List(), Qt::Key_Return);
    f.Settle();
    f.onPause = nullptr;
    port->failOpen = false;
    f.link->SetSilent(false);

    QCOMPARE(f.messages, QStringList{message});
    QCOMPARE(f.State().Level(), 0);
    QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Banks"));
    QCOMPARE(f.frame->windowTitle(), QStringLiteral("Banks - Quorlin"));
    QCOMPARE(f.State().CurrentBank(), 10);
    QCOMPARE(f.State().BankIndex(), f.RowOf(10));
    QCOMPARE(f.Entries(), entries);
    QCOMPARE(f.List().SelectedRow(), row);

    // The unit answers again: the same Enter opens the bank.
    QTest::keyClick(&f.List(), Qt::Key_Return);
    f.Settle();
    QCOMPARE(f.State().Level(), 1);
    QCOMPARE(f.State().CurrentBank(), 3);
    QVERIFY(f.View().DocumentTitle().startsWith(QStringLiteral("Bank 3: ")));
}

// From a bank shown, another bank the unit selects but does not list (as Find may leave it)
// leaves the window on the bank shown; a patch loaded next is selected into that bank first, so
// it goes where the window says.
void MainWindowTest::aBankNotListedPutsTheUnitBackOnTheBankShown() {
    CUiFixture f;
    CPortLink* port = StartOverPort(f);
    QVERIFY(port != nullptr);
    f.OpenBank(10);  // programs 0, 1 and 3
    f.messages.clear();
    f.onPause = [&f](int) { f.link->SetSilent(true); };  // the pause after the bank select
    int result = 0;
    f.View().OpenBank(3, 3, QStringLiteral("Bank 3: Pitch"), [&result](int r) { result = r; });
    f.Settle();
    f.onPause = nullptr;
    f.link->SetSilent(false);
    QVERIFY(result != 0);
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.State().CurrentBank(), 10);
    QCOMPARE(f.unit.SelectedBank(1), 3);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.sig"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(sim::MakeProgramText("New Lead", "Room", 20, {"x"})));
    file.close();
    const auto before3 = f.unit.Programs(3).size();
    f.Commands().m_fnChoosePatchFile = [path] { return path; };
    f.frame->Actions().loadPatch->trigger();
    f.Settle();
    QCOMPARE(f.unit.SelectedBank(1), 10);
    QCOMPARE(f.unit.Programs(3).size(), before3);
    QVERIFY(f.RowOf(2) >= 0);
    QCOMPARE(f.List().item(f.RowOf(2))->text(), QStringLiteral("2 New Lead"));
}

// With a bank shown, switching the DSP selects the bank on the other DSP; when the unit cannot
// be reached, the DSP, the channel and the check marks stay as they were, after one message.
void MainWindowTest::aDspSwitchTheUnitDoesNotTakeLeavesTheDspAsItWas() {
    CUiFixture f;
    CPortLink* port = StartOverPort(f);
    QVERIFY(port != nullptr);
    f.OpenBank(3);
    f.State().SetChannel(4);
    f.messages.clear();
    port->failOpen = true;
    f.frame->Actions().dspB->trigger();
    f.Settle();
    port->failOpen = false;
    QCOMPARE(f.messages, QStringList{QString::fromLatin1(CPortLink::kOpenError)});
    QCOMPARE(f.State().Dsp(), 1);
    QCOMPARE(f.State().Channel(), 4);
    QVERIFY(f.frame->Actions().dspA->isChecked());
    QVERIFY(!f.frame->Actions().dspB->isChecked());

    f.frame->Actions().dspB->trigger();
    f.Settle();
    QCOMPARE(f.State().Dsp(), 2);
    QCOMPARE(f.State().Channel(), 5);
    QCOMPARE(f.unit.SelectedBank(2), 3);
}

// The unit goes away and another one, with other banks, answers on the same port. F5 reads what is
// shown from the unit again (the open bank, then the bank list), and Back after the unit was gone
// lists the banks of the unit now there, not the ones read before it went.
void MainWindowTest::refreshAndBackShowTheBanksOfTheUnitThatCameBack() {
    CUiFixture f;
    CPortLink* port = StartOverPort(f);
    QVERIFY(port != nullptr);
    QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
    f.OpenBank(10);
    const QStringList mine = f.Entries();

    // Gone: F5 says so once and leaves the programs shown.
    port->failOpen = true;
    f.messages.clear();
    QTest::keyClick(f.frame.get(), Qt::Key_F5);
    f.Settle();
    QCOMPARE(f.messages, QStringList{QString::fromLatin1(CPortLink::kOpenError)});
    QCOMPARE(f.Entries(), mine);

    // Another unit on the same port.
    f.unit.ClearBanks();
    f.unit.AddBank(10, "Other");
    f.unit.AddProgram(10, 0, sim::MakeProgramText("Fresh Hall", "Hall", 20, {"x"}), true);
    f.unit.AddBank(20, "Newer");
    port->failOpen = false;
    f.messages.clear();
    QTest::keyClick(f.frame.get(), Qt::Key_F5);
    f.Settle();
    QCOMPARE(f.Entries(), QStringList{QStringLiteral("0 Fresh Hall")});
    QCOMPARE(f.State().Level(), 1);
    QCOMPARE(f.State().CurrentBank(), 10);

    f.frame->Actions().back->trigger();
    f.Settle();
    QCOMPARE(f.Entries(), (QStringList{QStringLiteral("10 Other"), QStringLiteral("20 Newer")}));

    // Banks changed on the unit's own panel, the link never lost: F5 on the bank list reads
    // them, and the bank selected stays selected.
    f.unit.AddBank(30, "Panel");
    f.Select(f.RowOf(20));
    QTest::keyClick(f.frame.get(), Qt::Key_F5);
    f.Settle();
    QCOMPARE(f.Entries(), (QStringList{QStringLiteral("10 Other"), QStringLiteral("20 Newer"),
                                       QStringLiteral("30 Panel")}));
    QCOMPARE(f.List().SelectedRow(), f.RowOf(20));
    QCOMPARE(f.View().DocumentTitle(), QStringLiteral("Banks"));
    QVERIFY(f.messages.isEmpty());
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
