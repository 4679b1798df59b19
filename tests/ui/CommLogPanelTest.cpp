// View ▸ Communication Log over the simulated unit: the panel is hidden at first, fills while a
// bank opens, filters, pauses, clears, copies and saves the rows (text and .syx), and the window
// remembers whether it was shown.
#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "link/LinkTap.h"
#include "tests/ui/UiFixture.h"
#include "ui/log/CommLogPanel.h"
#include "ui/log/LogFileRecorder.h"

namespace {

CCommLogPanel* PanelOf(CMainFrame& frame) {
    return frame.findChild<CCommLogPanel*>(QStringLiteral("CommLogPanel"));
}

QAction* ViewMenuCommand(CMainFrame& frame, const QString& text) {
    for (QAction* menu : frame.menuBar()->actions()) {
        if (menu->text() != QStringLiteral("&View")) continue;
        for (QAction* action : menu->menu()->actions())
            if (action->text() == text) return action;
    }
    return nullptr;
}

QStringList Descriptions(const CCommLogModel& model) {
    QStringList list;
    for (int i = 0; i < model.rowCount(); ++i) list << model.RowAt(i).description;
    return list;
}

// Everything the links have posted is in the table.
void CatchUp(CCommLogPanel& panel) {
    CLinkTap::Shared()->Flush();
    panel.TakeArrived();
}

// Frames to the unit numbered from `from` to `to`, each one row.
void PostFrames(int from, int to) {
    for (int i = from; i < to; ++i) {
        const std::string bytes =
            "\xC0" + std::string(1, static_cast<char>(i % 128)) + std::to_string(i);
        CLinkTap::Shared()->Post(LinkDirection::ToUnit,
                                 reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                 "test");
    }
}

bool ShowsTheNewestRow(const CCommLogPanel& panel) {
    const QScrollBar* bar = panel.Table()->verticalScrollBar();
    return bar->maximum() > 0 && bar->value() == bar->maximum();
}

}  // namespace

class CommLogPanelTest : public QObject {
    Q_OBJECT
private slots:
    void HiddenAtFirstAndFillsWhileABankOpens();
    void FilterPauseClearAndCopy();
    void SaveAsWritesTheLogAndTheFrames();
    void KeepsTheLastTenThousandRowsAddedInBatches();
    void TheWindowRemembersThePanel();
    void KeepALogFileRecordsTheTrafficAndAboutNamesIt();
    void PauseReadsResumeAndTheViewFollowsTheNewestRowsAgain();
    void NothingWakesThePanelWhileNoFrameComes();
};

void CommLogPanelTest::HiddenAtFirstAndFillsWhileABankOpens() {
    CUiFixture f;
    f.Start();
    CCommLogPanel* panel = PanelOf(*f.frame);
    QVERIFY(panel != nullptr);
    QVERIFY(panel->isHidden());
    QAction* command = ViewMenuCommand(*f.frame, QStringLiteral("&Communication Log"));
    QVERIFY(command != nullptr);
    QVERIFY(command->isCheckable() && !command->isChecked());
    // Hidden, it does not observe: the bank list fetched at the start is not in it.
    QVERIFY(!CLinkTap::Shared()->Active());
    QCOMPARE(panel->Model()->rowCount(), 0);

    command->trigger();
    QVERIFY(panel->isVisible());
    QVERIFY(CLinkTap::Shared()->Active());

    // The worker stops in the pause after the bank select; the rows must show meanwhile.
    CPauseGate gate;
    f.onPause = gate.Hook();
    bool shownWhileRunning = false;
    bool released = false;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, [&] {
        if (!gate.Held() || released) return;  // looked once, while the worker was held
        if (Descriptions(*panel->Model()).contains(QStringLiteral("BANK SELECT bank 0 DSP A"))) {
            shownWhileRunning = f.worker.IsBusy();
            released = true;
            gate.Release();
        }
    });
    QTimer hung;  // only against a hung test
    hung.setSingleShot(true);
    connect(&hung, &QTimer::timeout, [&] { gate.Release(); });
    hung.start(30000);
    watch.start();
    f.OpenBank(0);
    watch.stop();
    f.onPause = nullptr;
    QVERIFY(shownWhileRunning);

    CatchUp(*panel);
    const CCommLogModel& model = *panel->Model();
    const QStringList rows = Descriptions(model);
    const int select = static_cast<int>(rows.indexOf(QStringLiteral("BANK SELECT bank 0 DSP A")));
    QVERIFY(select >= 0);
    // The program list's queries follow, each with its reply.
    QVERIFY(rows.size() > select + 2);
    QVERIFY(rows[select + 1].startsWith(QStringLiteral("QUERY ")));
    QVERIFY(rows[select + 2].startsWith(QStringLiteral("REPLY ")));
    QCOMPARE(model.data(model.index(select, CCommLogModel::DirectionColumn)).toString(),
             QStringLiteral("→ unit"));
    QCOMPARE(model.data(model.index(select + 2, CCommLogModel::DirectionColumn)).toString(),
             QStringLiteral("← unit"));
    QCOMPARE(model.data(model.index(select, CCommLogModel::BytesColumn)).toString(),
             QStringLiteral("F0 1C 70 00 03 00 00 00 00 00 01 F7"));
    // A long reply is cut in the table, whole in its tool tip.
    const QModelIndex reply = model.index(select + 2, CCommLogModel::BytesColumn);
    QVERIFY(model.RowAt(select + 2).bytes.size() > CCommLogModel::kShownBytes);
    QVERIFY(model.data(reply).toString().endsWith(QStringLiteral(" …")));
    QString tip = model.data(reply, Qt::ToolTipRole).toString();
    tip.replace(QLatin1Char('\n'), QLatin1Char(' '));
    QCOMPARE(tip, CCommLogModel::Hex(model.RowAt(select + 2).bytes));
    // Times count up from the opening of the panel.
    for (int i = 1; i < model.rowCount(); ++i) QVERIFY(model.RowAt(i).ms >= model.RowAt(i - 1).ms);

    // Closed, it stops observing.
    command->trigger();
    QVERIFY(panel->isHidden());
    QVERIFY(!CLinkTap::Shared()->Active());
}

void CommLogPanelTest::FilterPauseClearAndCopy() {
    CUiFixture f;
    f.Start();
    CCommLogPanel* panel = PanelOf(*f.frame);
    panel->show();
    f.OpenBank(0);
    CatchUp(*panel);
    const int all = panel->Model()->rowCount();
    QVERIFY(all > 3);

    QTest::keyClicks(panel->FilterBox(), QStringLiteral("bank sel"));
    QCOMPARE(panel->Table()->model()->rowCount(), 1);
    panel->FilterBox()->clear();
    QCOMPARE(panel->Table()->model()->rowCount(), all);

    // Ctrl+C: the selected rows as trace lines, every byte.
    panel->Table()->setFocus();
    panel->Table()->selectRow(all - 1);
    QTest::keySequence(panel->Table(), QKeySequence::Copy);
    const CCommLogModel::Row& last = panel->Model()->RowAt(all - 1);
    QCOMPARE(QApplication::clipboard()->text(), CCommLogModel::RowText(last) + QLatin1Char('\n'));
    QVERIFY(QApplication::clipboard()->text().endsWith(QStringLiteral("F7\n")));

    // Paused, the table stands still; released, the frames that came meanwhile are added.
    QTest::mouseClick(panel->PauseButton(), Qt::LeftButton);
    QVERIFY(panel->PauseButton()->isChecked());
    f.ActivateProgram(5);
    f.Settle();
    CatchUp(*panel);
    QCOMPARE(panel->Model()->rowCount(), all);
    QTest::mouseClick(panel->PauseButton(), Qt::LeftButton);
    QTRY_VERIFY(panel->Model()->rowCount() > all);

    QTest::mouseClick(panel->ClearButton(), Qt::LeftButton);
    QCOMPARE(panel->Model()->rowCount(), 0);
}

void CommLogPanelTest::SaveAsWritesTheLogAndTheFrames() {
    CUiFixture f;
    f.Start();
    CCommLogPanel* panel = PanelOf(*f.frame);
    panel->show();
    f.OpenBank(0);
    f.ActivateProgram(5);  // a program change, which is not a system-exclusive frame
    f.Settle();
    CatchUp(*panel);
    const CCommLogModel& model = *panel->Model();
    QVERIFY(Descriptions(model).filter(QStringLiteral("PROGRAM CHANGE 5 channel 1")).size() == 1);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    CUiFixture::OnNextDialog([&](QDialog& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        QVERIFY(files != nullptr);
        // As a user types it into the name box.
        auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name != nullptr);
        name->setText(path);
        files->selectNameFilter(CCommLogPanel::TextAndFramesFilter());
        dialog.accept();  // the file dialog's own accept, as its Save button
    });
    QTest::mouseClick(panel->SaveButton(), Qt::LeftButton);

    QFile text(path);
    QVERIFY(text.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(text.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), model.rowCount());
    QByteArray sysex;
    for (int i = 0; i < model.rowCount(); ++i) {
        QCOMPARE(lines[i], CCommLogModel::RowText(model.RowAt(i)));
        if (model.RowAt(i).bytes.startsWith('\xF0')) sysex += model.RowAt(i).bytes;
    }
    QFile frames(dir.filePath(QStringLiteral("log.syx")));
    QVERIFY(frames.open(QIODevice::ReadOnly));
    QCOMPARE(frames.readAll(), sysex);

    // A file that cannot be written is reported, not passed over.
    QString error;
    QVERIFY(!panel->SaveTo(dir.filePath(QStringLiteral("no/such/folder/log.txt")), false, error));
    QVERIFY(error.contains(QStringLiteral("no/such/folder")));
}

void CommLogPanelTest::KeepsTheLastTenThousandRowsAddedInBatches() {
    CUiFixture f;
    f.Start(false);
    CCommLogPanel* panel = PanelOf(*f.frame);
    panel->show();
    QVERIFY(CLinkTap::Shared()->Active());
    const auto post = [](int from, int to) {
        for (int i = from; i < to; ++i) {
            const std::string bytes =
                "\xC0" + std::string(1, static_cast<char>(i % 128)) + std::to_string(i);
            CLinkTap::Shared()->Post(LinkDirection::ToUnit,
                                     reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     bytes.size(), "test");
        }
    };
    const auto number = [panel](int row) {
        return panel->Model()->RowAt(row).bytes.mid(2).toInt();
    };
    QSignalSpy inserted(panel->Model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(panel->Model(), &QAbstractItemModel::rowsRemoved);

    // A stream of frames between two of the panel's turns: one insertion for the view.
    post(0, 10005);
    CatchUp(*panel);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(panel->Model()->rowCount(), CCommLogModel::kMaxRows);
    QCOMPARE(number(0), 5);
    QCOMPARE(number(CCommLogModel::kMaxRows - 1), 10004);

    // More: the oldest go, in one removal.
    post(10005, 10012);
    CatchUp(*panel);
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(removed.size(), 1);
    QCOMPARE(panel->Model()->rowCount(), CCommLogModel::kMaxRows);
    QCOMPARE(number(0), 12);
    QCOMPARE(number(CCommLogModel::kMaxRows - 1), 10011);
}

void CommLogPanelTest::TheWindowRemembersThePanel() {
    CUiFixture f;
    f.Start(false);
    PanelOf(*f.frame)->show();
    f.frame->close();
    QVERIFY(!ReadSettingString(kSectionOptions, "WindowState").empty());

    // A new window over the same settings shows it again; the toolbar stays as the window has it.
    f.frame.reset();
    f.Start(false);
    QVERIFY(PanelOf(*f.frame)->isVisible());
    QVERIFY(f.frame->ToolBar()->isVisible());
    PanelOf(*f.frame)->hide();
    f.frame->close();
    f.frame.reset();
    f.Start(false);
    QVERIFY(PanelOf(*f.frame)->isHidden());
}

void CommLogPanelTest::KeepALogFileRecordsTheTrafficAndAboutNamesIt() {
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    // Whole milliseconds, as the file writes them.
    QDateTime before = QDateTime::currentDateTime();
    before = before.addMSecs(-before.time().msec());
    CUiFixture f;
    f.Start(false);
    auto* toggle = f.frame->findChild<QAction*>(QStringLiteral("KeepLogFile"));
    QVERIFY(toggle != nullptr);
    QVERIFY(!toggle->isChecked());

    toggle->trigger();
    QVERIFY(CLogFileRecorder::Instance().Running());
    std::uint32_t missing = 0;
    QCOMPARE(ReadSettingDword(kSectionOptions, "VerboseLog", 0, missing), 1);
    const QString path = data.filePath(QStringLiteral("Brisca/Quorlin/log/quorlin.log"));
    QCOMPARE(CLogFileRecorder::Path(), path);
    QCOMPARE(f.ShowBanks(), 0);
    CLinkTap::Shared()->Flush();

    // About names the file.
    QString aboutText;
    CUiFixture::OnNextDialog([&](QDialog& dialog) {
        if (auto* label = dialog.findChild<QLabel*>(QStringLiteral("logFile")))
            aboutText = label->text();
        dialog.accept();
    });
    f.frame->Actions().about->trigger();
    f.Settle();
    QVERIFY2(aboutText.contains(path), qPrintable(aboutText));

    toggle->trigger();
    QVERIFY(!CLogFileRecorder::Instance().Running());
    QCOMPARE(ReadSettingDword(kSectionOptions, "VerboseLog", 1, missing), 0);
    QFile log(path);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString logged = QString::fromUtf8(log.readAll());
    QVERIFY(logged.contains(QStringLiteral("\t->\tQUERY 0 flags 0\tF0 1C 70 00 31 30 20 30 F7\n")));
    QVERIFY(logged.contains(QStringLiteral("\t<-\tREPLY ")));
    // Every line begins with the local date and time it was written, then the milliseconds.
    const QDateTime after = QDateTime::currentDateTime();
    const QRegularExpression stamp(QStringLiteral(
        "^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3})\t\\d+\\.\\d{3}\t(->|<-|--)\t"));
    const QStringList lines = logged.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() > 3);
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = stamp.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        const QDateTime written =
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        QVERIFY2(written >= before && written <= after, qPrintable(line));
    }
    qunsetenv("XDG_DATA_HOME");
}

void CommLogPanelTest::PauseReadsResumeAndTheViewFollowsTheNewestRowsAgain() {
    CUiFixture f;
    f.Start(false);
    CCommLogPanel* panel = PanelOf(*f.frame);
    panel->show();
    QScrollBar* bar = panel->Table()->verticalScrollBar();
    PostFrames(0, 300);
    CatchUp(*panel);
    QVERIFY(ShowsTheNewestRow(*panel));

    // Paused, the button offers to resume; the reader scrolls up meanwhile.
    QCOMPARE(panel->PauseButton()->text(), QStringLiteral("&Pause"));
    QTest::mouseClick(panel->PauseButton(), Qt::LeftButton);
    QCOMPARE(panel->PauseButton()->text(), QStringLiteral("&Resume"));
    bar->setValue(0);
    PostFrames(300, 310);
    CatchUp(*panel);
    QCOMPARE(panel->Model()->rowCount(), 300);

    // Resumed: the rows that came meanwhile, the newest in view, and followed from then on.
    QTest::mouseClick(panel->PauseButton(), Qt::LeftButton);
    QCOMPARE(panel->PauseButton()->text(), QStringLiteral("&Pause"));
    QCOMPARE(panel->Model()->rowCount(), 310);
    QVERIFY(ShowsTheNewestRow(*panel));
    PostFrames(310, 320);
    CatchUp(*panel);
    QVERIFY(ShowsTheNewestRow(*panel));

    // A filter that hides every row, then cleared: the newest rows again, and followed.
    QTest::keyClicks(panel->FilterBox(), QStringLiteral("no such frame"));
    QCOMPARE(panel->Table()->model()->rowCount(), 0);
    panel->FilterBox()->clear();
    QCOMPARE(panel->Table()->model()->rowCount(), 320);
    QVERIFY(ShowsTheNewestRow(*panel));
    PostFrames(320, 330);
    CatchUp(*panel);
    QVERIFY(ShowsTheNewestRow(*panel));
}

void CommLogPanelTest::NothingWakesThePanelWhileNoFrameComes() {
    CUiFixture f;
    f.Start(false);
    CCommLogPanel* panel = PanelOf(*f.frame);
    panel->show();
    auto* batch = panel->findChild<QTimer*>(QStringLiteral("CommLogBatchTimer"));
    QVERIFY(batch != nullptr);
    CatchUp(*panel);
    QCoreApplication::processEvents();
    QVERIFY(CLinkTap::Shared()->Active());
    QVERIFY(!batch->isActive());

    // A frame starts the batch timer; once the batch is in the table, nothing runs any more.
    PostFrames(0, 3);
    CLinkTap::Shared()->Flush();
    QTRY_COMPARE(panel->Model()->rowCount(), 3);
    QVERIFY(!batch->isActive());
    PostFrames(3, 4);
    CLinkTap::Shared()->Flush();
    QTRY_COMPARE(panel->Model()->rowCount(), 4);
    QVERIFY(!batch->isActive());
}

QTEST_MAIN(CommLogPanelTest)
#include "CommLogPanelTest.moc"
