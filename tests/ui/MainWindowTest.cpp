// The main window, the bank and program browser and the info pane, over the simulated unit.

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QProgressDialog>
#include <QScreen>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <QWheelEvent>
#include <atomic>

#include "settings/LinkSettings.h"
#include "settings/SerialSettings.h"
#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"
#include "ui/core/CommandIds.h"
#include "ui/dialogs/CommSetupDlg.h"

using namespace cmd;

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
    void paneScrollsALongTextInTenPixelSteps();
    void theWheelOverThePaneScrollsItsText();
    void thePaneScrollBarFollowsWhatThePaneShowsWithoutAPaint();
    void aFailedInformationRequestIsSaidInThePane();
    void menuItemsSayWhatTheyDoAndChannelsAreRadioItems();
    void trackingSizeFollowsLevelAndPane();
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
    void aDspSwitchTheUnitDoesNotTakeLeavesTheDspAsItWas();
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
        QStringLiteral("message: Serial port properties have not yet been setup.  Please set them "
                       "now.\nNote: Settings change be changed later from the Options | "
                       "Communication Settings menu."));
    QCOMPARE(log[1], QStringLiteral("dialog: Communications Setup, window hidden"));
    QCOMPARE(log[2], QStringLiteral("window shown"));
    QCOMPARE(log[3], QStringLiteral("message: Error opening serial port /nonexistent/quorlin-tty - "
                                    "No such file or directory."));
    QVERIFY(!f.Engine().SerialSettingsWereMissing());

    QCOMPARE(f.frame->size(), QSize(349, 513));
    QVERIFY(f.frame->Action(ID_CHANNEL_1)->isChecked());
    QVERIFY(f.frame->Action(ID_DSP_A)->isChecked());
    QVERIFY(!f.frame->Action(ID_DSP_B)->isChecked());
    QVERIFY(f.frame->Action(ID_VIEW_PATCHINFO)->isChecked());
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
    f.frame->Action(ID_BACK)->trigger();
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
    f.frame->Action(choose == 1 ? ID_DSP_A : ID_DSP_B)->trigger();
    f.Settle();
    QCOMPARE(f.State().Channel(), expected);
    QCOMPARE(f.State().Dsp(), choose);
    QVERIFY(f.frame->Action(ID_CHANNEL_1 + expected)->isChecked());
    QVERIFY(f.frame->Action(choose == 1 ? ID_DSP_A : ID_DSP_B)->isChecked());
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

    f.frame->Action(ID_DSP_B)->trigger();
    f.Settle();
    QCOMPARE(f.View().PaneText(), none);
    QVERIFY(!f.View().IsLoadedProgram(f.RowOf(1)));
    f.ActivateProgram(0);
    QVERIFY(f.View().PaneText().startsWith(QStringLiteral("One octave below the input.")));

    f.frame->Action(ID_DSP_A)->trigger();
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

void MainWindowTest::paneScrollsALongTextInTenPixelSteps() {
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
    f.View().repaint();
    QScrollBar* bar = f.View().PaneScroll();
    QVERIFY(bar->isVisible());
    const int maximum = bar->maximum();
    QVERIFY(maximum > 0);
    QCOMPARE(bar->value(), 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar->value(), 1);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);  // bottom moves one step too
    QCOMPARE(bar->value(), 2);
    for (int i = 0; i < maximum + 5; ++i) bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(bar->value(), maximum);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(bar->value(), maximum - 1);

    // A taller window: the bar goes away and the position is reset.
    f.frame->resize(600, 4000);
    QApplication::processEvents();
    f.View().repaint();
    QVERIFY(!bar->isVisible());
    QCOMPARE(bar->value(), 0);

    // Bank level: hidden.
    f.frame->resize(600, 400);
    f.View().OnBack();
    f.Settle();
    f.View().repaint();
    QVERIFY(!bar->isVisible());
}

// The bar is shown, ranged and hidden where the pane's text or switch changes, not when the pane
// is painted: a change of state that no paint follows still leaves it right.
void MainWindowTest::thePaneScrollBarFollowsWhatThePaneShowsWithoutAPaint() {
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

    // Each change below is made and looked at with no event processed in between.
    f.State().SetDsp(2);  // nothing loaded on DSP B: the short note fits
    QVERIFY(!bar->isVisible());
    QCOMPARE(bar->value(), 0);
    f.State().SetDsp(1);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->maximum(), maximum);
    f.State().SetShowInfoPane(false);
    QVERIFY(!bar->isVisible());
    f.State().SetShowInfoPane(true);
    QVERIFY(bar->isVisible());
    f.State().SetInfo(1, QStringLiteral("Short now."));
    QVERIFY(!bar->isVisible());
    f.State().SetLevel(0);
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
    f.View().repaint();
    QScrollBar* bar = f.View().PaneScroll();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->value(), 0);
    auto wheel = [&f](QPoint at, int delta) {
        QWheelEvent event(at, f.View().mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&f.View(), &event);
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
    QCOMPARE(f.frame->Action(ID_APP_EXIT)->statusTip(), QStringLiteral("Quit the application"));
    for (int id = ID_CHANNEL_1; id <= ID_CHANNEL_16; ++id) {
        QActionGroup* group = f.frame->Action(id)->actionGroup();
        QVERIFY(group != nullptr);
        QVERIFY(group->isExclusive());
        QCOMPARE(group, f.frame->Action(ID_CHANNEL_1)->actionGroup());
    }
    QVERIFY(f.frame->Action(ID_DSP_A)->actionGroup() != nullptr);
    QCOMPARE(f.frame->Action(ID_DSP_A)->actionGroup(), f.frame->Action(ID_DSP_B)->actionGroup());
    f.frame->Action(ID_CHANNEL_1 + 4)->trigger();
    f.Settle();
    QCOMPARE(f.State().Channel(), 4);
    for (int id = ID_CHANNEL_1; id <= ID_CHANNEL_16; ++id) {
        QCOMPARE(f.frame->Action(id)->isChecked(), id == ID_CHANNEL_1 + 4);
    }
    // Choosing the checked channel again keeps it checked.
    f.frame->Action(ID_CHANNEL_1 + 4)->trigger();
    f.Settle();
    QVERIFY(f.frame->Action(ID_CHANNEL_1 + 4)->isChecked());
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
    f.frame->Action(ID_VIEW_PATCHINFO)->trigger();
    f.Settle();
    QCOMPARE(f.frame->minimumWidth(), listWidth);
    QCOMPARE(f.List().geometry(), f.View().rect());
    f.frame->Action(ID_VIEW_PATCHINFO)->trigger();
    f.Settle();
    QCOMPARE(f.List().geometry().left(), 224);
    QCOMPARE(f.List().geometry().top(), 9);
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
    QCOMPARE(f.frame->width(), 349);
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
    QVERIFY(f.frame->Action(ID_OPTIONS_COMMSETUP)->isEnabled());

    // Confirming the setup dialog with the bank list still empty fetches it again.
    f.link->SetSilent(false);
    CUiFixture::OnNextDialog([](QDialog& dialog) { dialog.accept(); });
    f.frame->Action(ID_OPTIONS_COMMSETUP)->trigger();
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
        QVERIFY(!f.frame->Action(ID_BACK)->isEnabled());
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
    QVERIFY(!f.frame->Action(ID_BACK)->isEnabled());
    QVERIFY(!f.frame->Action(ID_LOAD_PATCH)->isEnabled());
    QVERIFY(!f.frame->Action(ID_BACKUP)->isEnabled());
    QVERIFY(f.frame->Action(ID_CREATE_BANK)->isEnabled());
    QVERIFY(!f.frame->Action(ID_FIND_NEXT)->isEnabled());
    f.OpenBank(0);
    QVERIFY(f.frame->Action(ID_BACK)->isEnabled());
    QVERIFY(f.frame->Action(ID_LOAD_PATCH)->isEnabled());
    QVERIFY(f.frame->Action(ID_BACKUP)->isEnabled());
    QVERIFY(!f.frame->Action(ID_CREATE_BANK)->isEnabled());
    // Channel menu: one check mark, on the chosen channel.
    f.frame->Action(ID_CHANNEL_1 + 9)->trigger();
    f.Settle();
    QCOMPARE(f.State().Channel(), 9);
    int checked = 0;
    for (int id = ID_CHANNEL_1; id <= ID_CHANNEL_16; ++id)
        checked += f.frame->Action(id)->isChecked();
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
    f.frame->Action(ID_DSP_B)->trigger();
    f.Settle();
    port->failOpen = false;
    QCOMPARE(f.messages, QStringList{QString::fromLatin1(CPortLink::kOpenError)});
    QCOMPARE(f.State().Dsp(), 1);
    QCOMPARE(f.State().Channel(), 4);
    QVERIFY(f.frame->Action(ID_DSP_A)->isChecked());
    QVERIFY(!f.frame->Action(ID_DSP_B)->isChecked());

    f.frame->Action(ID_DSP_B)->trigger();
    f.Settle();
    QCOMPARE(f.State().Dsp(), 2);
    QCOMPARE(f.State().Channel(), 5);
    QCOMPARE(f.unit.SelectedBank(2), 3);
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
