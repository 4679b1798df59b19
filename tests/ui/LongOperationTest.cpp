// Long operations give a sense of time: a loop that knows its count fills the progress dialog's
// bar and says "n of m" and, once an item is done, the time left; a bank's naming (half a minute
// of key presses) counts its key presses without a Cancel button, and the list can still be
// scrolled, with the wheel and the keys, while it runs.

#include <QAction>
#include <QDialogButtonBox>
#include <QDir>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "sim/ProgramText.h"
#include "tests/ui/UiFixture.h"
#include "ui/commands/ArchiveCommands.h"

namespace {

// Holds the engine's worker in each pause until the GUI thread has looked at the window there
// (Serve). Once opened (also when the test ends early) it holds nothing more.
class CStepGate {
public:
    void Hold() {
        std::unique_lock lock(m_mutex);
        if (m_bOpen) return;
        m_bHeld = true;
        m_cv.wait(lock, [this] { return !m_bHeld || m_bOpen; });
    }
    bool Held() {
        std::lock_guard lock(m_mutex);
        return m_bHeld;
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_bHeld = false;
        m_cv.notify_all();
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_bOpen = true;
        m_bHeld = false;
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bHeld = false;
    bool m_bOpen = false;
};

// Installs a gate on every pause of `f`'s engine; at each held pause `look` runs on the GUI
// thread (after the progress the worker sent before it), then the worker goes on. `look`
// returns false to let the rest of the operation run without holding.
class CPauseWatcher {
public:
    CPauseWatcher(CUiFixture& f, std::function<bool()> look)
        : m_f(f), m_gate(std::make_shared<CStepGate>()), m_look(std::move(look)) {
        f.onPause = [gate = m_gate](int) { gate->Hold(); };
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (!m_gate->Held()) return;
            // What the worker reported before this pause.
            QCoreApplication::sendPostedEvents(&m_f.worker, QEvent::MetaCall);
            if (!m_look()) m_gate->Open();
            m_gate->Release();
        });
        m_timer.start(1);
    }
    ~CPauseWatcher() {
        m_timer.stop();
        m_gate->Open();
        m_f.onPause = nullptr;
    }

private:
    CUiFixture& m_f;
    std::shared_ptr<CStepGate> m_gate;
    std::function<bool()> m_look;
    QTimer m_timer;
};

std::string Text(const std::string& name) {
    return sim::MakeProgramText(name, "Plate", 20, {"a"});
}

// Bank 40 "Live" (factory 0 Hall, user 1 Lead, 2 Pad), bank 41 "Studio" (user 0 Room).
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

// What the progress dialog showed at one pause.
struct Shown {
    QString count;  // the "n of m" line
    int value = 0;
    int maximum = 0;
    bool timeLeft = false;  // a line "... left"
    bool operator==(const Shown&) const = default;
};

// The dialog's count line, bar and time left, or nothing without a dialog or a count line.
std::optional<Shown> LookAt(QProgressDialog* dialog) {
    if (dialog == nullptr) return std::nullopt;
    static const QRegularExpression count(
        QStringLiteral("^(Bank \\d+ of \\d+(, program \\d+ of \\d+)?|Program \\d+ of \\d+|"
                       "Key press \\d+ of \\d+ on the unit's panel)$"),
        QRegularExpression::MultilineOption);
    const QString label = dialog->labelText();
    const auto match = count.match(label);
    if (!match.hasMatch()) return std::nullopt;
    auto* bar = dialog->findChild<QProgressBar*>();
    if (bar == nullptr) return std::nullopt;
    return Shown{match.captured(1), bar->value(), bar->maximum(),
                 label.contains(QRegularExpression(QStringLiteral("\\n[^\\n]* left$")))};
}

QString Describe(const std::vector<Shown>& shown) {
    QStringList lines;
    for (const auto& s : shown)
        lines << QStringLiteral("%1 [%2/%3]%4")
                     .arg(s.count)
                     .arg(s.value)
                     .arg(s.maximum)
                     .arg(s.timeLeft ? QStringLiteral(" left") : QString());
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

class LongOperationTest : public QObject {
    Q_OBJECT

private slots:
    // The whole-unit backup (bank by bank, each bank's share by its programs), the backup of
    // the open bank and the restore (its planned loads): at each pause the dialog's bar is a
    // bar, not the busy indicator, it only moves forward, and the label says where the loop
    // is, with the time left once something is done.
    void aCountedLoopFillsTheBarAndSaysHowFarItIs_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("counts");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<int>("maximum");
        QTest::newRow("whole-unit backup")
            << QStringLiteral("backupUnit")
            << QStringList{QStringLiteral("Bank 1 of 2"),
                           QStringLiteral("Bank 1 of 2, program 1 of 2"),
                           QStringLiteral("Bank 1 of 2, program 2 of 2"),
                           QStringLiteral("Bank 2 of 2"),
                           QStringLiteral("Bank 2 of 2, program 1 of 1")}
            << QList<int>{0, 0, 500, 1000, 1000} << 2000;
        QTest::newRow("bank backup")
            << QStringLiteral("backup")
            << QStringList{QStringLiteral("Program 1 of 2"), QStringLiteral("Program 2 of 2")}
            << QList<int>{0, 1} << 2;
        QTest::newRow("restore") << QStringLiteral("restoreUnit")
                                 << QStringList{QStringLiteral("Program 1 of 2"),
                                                QStringLiteral("Program 2 of 2")}
                                 << QList<int>{0, 1} << 2;
    }

    void aCountedLoopFillsTheBarAndSaysHowFarItIs() {
        QFETCH(QString, command);
        QFETCH(QStringList, counts);
        QFETCH(QList<int>, values);
        QFETCH(int, maximum);
        CUiFixture f;
        Seed(f.unit);
        f.Start();
        QTemporaryDir parent;
        QTemporaryDir bankFolder;
        QAction* action = nullptr;
        if (command == QStringLiteral("backupUnit")) {
            f.frame->Archive()->m_fnChooseBackupParent = [&parent] { return parent.path(); };
            action = f.frame->Actions().backupUnit;
        } else if (command == QStringLiteral("backup")) {
            f.OpenBank(40);
            f.Commands().m_fnChooseBackupFolder = [&bankFolder] { return bankFolder.path(); };
            action = f.frame->Actions().backup;
        } else {
            // A backup to restore from, and a unit that lost Pad and Room since.
            f.frame->Archive()->m_fnChooseBackupParent = [&parent] { return parent.path(); };
            f.frame->Actions().backupUnit->trigger();
            f.Settle();
            const QString folder = f.frame->Archive()->LastBackupFolder();
            Seed(f.unit, {QStringLiteral("Pad"), QStringLiteral("Room")});
            QCOMPARE(f.ShowBanks(), 0);
            f.frame->Archive()->m_fnChooseRestoreFolder = [folder] { return folder; };
            f.frame->Archive()->m_fnPlanDialog = [](const archive::RestorePlan&,
                                                    std::vector<int>&) { return true; };
            action = f.frame->Actions().restoreUnit;
        }
        f.messages.clear();
        f.worker.SetProgressDelay(0);

        std::vector<Shown> shown;
        {
            CPauseWatcher watcher(f, [&] {
                const auto now = LookAt(f.worker.ProgressDialog());
                if (now && (shown.empty() || !(shown.back() == *now))) shown.push_back(*now);
                return true;
            });
            action->trigger();
            f.Settle();
        }

        QCOMPARE(f.messages.size(), 1);  // the summary
        QStringList countsShown;
        QList<int> valuesShown;
        for (const auto& s : shown) {
            countsShown << s.count;
            valuesShown << s.value;
            QCOMPARE(s.maximum, maximum);
            // Nothing is said about the time until an item is done.
            QVERIFY2(s.timeLeft == (s.value > 0), qPrintable(Describe(shown)));
        }
        QVERIFY2(countsShown == counts, qPrintable(Describe(shown)));
        QVERIFY2(valuesShown == values, qPrintable(Describe(shown)));
    }

    // Naming a bank presses keys for half a minute: the dialog counts them without a Cancel
    // button (a sequence stopped half-way leaves the unit's panel inside its menus), and the
    // list still scrolls with the wheel and the keys, without its selection moving.
    void aBankNamingCountsItsKeyPressesAndLeavesTheListReadable() {
        CUiFixture f;
        f.unit.ClearBanks();
        for (int bank = 0; bank < 80; ++bank) f.unit.AddBank(bank, "Bank " + std::to_string(bank));
        f.Start();
        f.frame->resize(520, 360);
        QTRY_VERIFY(f.List().horizontalScrollBar()->maximum() > 0);
        f.Select(f.RowOf(3));
        f.worker.SetProgressDelay(0);
        QScrollBar* scroll = f.List().horizontalScrollBar();
        scroll->setValue(0);

        std::vector<Shown> shown;
        bool cancelButton = true;
        int afterWheel = -1;
        int afterEnd = -1;
        int afterHome = -1;
        int currentRow = -1;
        bool stillShown = false;
        const QString name = QStringLiteral("Long Stage Reverb");
        {
            CPauseWatcher watcher(f, [&] {
                const auto now = LookAt(f.worker.ProgressDialog());
                if (!now) return true;
                shown.push_back(*now);
                if (shown.size() != 12) return true;
                // In the middle of the key presses.
                cancelButton = f.worker.ProgressDialog()->findChild<QPushButton*>() != nullptr;
                // Neither the title bar's close nor Esc takes the count away.
                f.worker.ProgressDialog()->close();
                QTest::keyClick(f.worker.ProgressDialog(), Qt::Key_Escape);
                stillShown = f.worker.ProgressDialog() != nullptr &&
                             f.worker.ProgressDialog()->isVisible();
                QWidget* viewport = f.List().viewport();
                const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
                QWheelEvent wheel(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, -120),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(viewport, &wheel);
                afterWheel = scroll->value();
                QTest::keyClick(&f.List(), Qt::Key_End);
                afterEnd = scroll->value();
                QTest::keyClick(&f.List(), Qt::Key_Home);
                afterHome = scroll->value();
                currentRow = f.List().currentRow();
                return false;
            });
            f.List().FinishRename(3, QStringLiteral("3 Bank 3"), name);
            f.Settle();
        }

        QVERIFY2(shown.size() >= 12, qPrintable(Describe(shown)));
        QVERIFY(!cancelButton);
        QVERIFY2(stillShown, "the progress of a naming was closed");
        QVERIFY2(afterWheel > 0, "the wheel did not scroll the list");
        QVERIFY2(afterEnd == scroll->maximum(), "End did not scroll the list to its end");
        QCOMPARE(afterHome, 0);
        QCOMPARE(currentRow, f.RowOf(3));
        // Every key press counted against one total, the bar following, the time left said once
        // a key press is done.
        const int total = shown.front().maximum;
        QVERIFY(total > 20);
        static const QRegularExpression number(QStringLiteral("^Key press (\\d+) of (\\d+) "));
        int previous = 0;
        for (const auto& s : shown) {
            const auto match = number.match(s.count);
            QVERIFY2(match.hasMatch(), qPrintable(s.count));
            const int n = match.captured(1).toInt();
            QCOMPARE(match.captured(2).toInt(), total);
            QCOMPARE(s.maximum, total);
            QCOMPARE(s.value, n - 1);
            QCOMPARE(s.timeLeft, s.value > 0);
            if (previous > 0) QCOMPARE(n, previous + 1);
            previous = n;
        }
        // The naming went through.
        QVERIFY2(f.Entries().contains(QStringLiteral("3 ") + name),
                 qPrintable(f.Entries().join(QLatin1Char(','))));
        QVERIFY(f.messages.isEmpty());
    }
};

QTEST_MAIN(LongOperationTest)
#include "LongOperationTest.moc"
