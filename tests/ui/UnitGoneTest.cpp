// The unit goes away in the middle of a whole-unit backup and of a restore: the program reaches it
// through its real serial link on a pseudo-terminal served by the simulated unit, and the server
// is stopped and its terminal closed mid-run, as when the unit's process dies or the cable is
// pulled. The user gets one message that the connection was lost, with its cause, then a summary
// that says what was done and what not; the messages are the real message boxes.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/EngineMessages.h"
#include "link/SerialLink.h"
#include "settings/SettingsStore.h"
#include "sim/ProgramText.h"
#include "sim/PtyServer.h"
#include "tests/ui/UiFixture.h"
#include "ui/commands/ArchiveCommands.h"

namespace {

std::string Text(const std::string& name) {
    return sim::MakeProgramText(name, "Plate", 20, {"a"});
}

// Bank 40 "Live" (user 1 Lead, 2 Pad), bank 41 "Studio" (user 0 Room), bank 42 "Spare" (user 0
// Echo); `withPrograms` false leaves the banks empty.
void Seed(CSimUnit& unit, bool withPrograms = true) {
    unit.ClearBanks();
    unit.AddBank(40, "Live");
    unit.AddBank(41, "Studio");
    unit.AddBank(42, "Spare");
    if (!withPrograms) return;
    unit.AddProgram(40, 1, Text("Lead"), true);
    unit.AddProgram(40, 2, Text("Pad"), true);
    unit.AddProgram(41, 0, Text("Room"), true);
    unit.AddProgram(42, 0, Text("Echo"), true);
}

// The simulated unit served on a pseudo-terminal by a thread of this process. Kill() stops the
// server and closes its side of the terminal: the port's device goes, and a link that holds it
// sees the line hang up. Kill may be called from any one thread, once.
class CPtyUnit {
public:
    explicit CPtyUnit(CSimUnit& unit) : m_server(std::make_unique<CPtyServer>(unit, CPtyServer::Pacing{}, nullptr)) {}
    ~CPtyUnit() { Kill(); }

    bool Start(std::string& error) {
        if (!m_server->Open(error)) return false;
        m_strPath = m_server->SlavePath();
        m_thread = std::thread([this] { m_server->Run(); });
        return true;
    }
    const std::string& Path() const { return m_strPath; }

    void Kill() {
        std::lock_guard lock(m_mutex);
        if (!m_server) return;
        m_server->Stop();
        if (m_thread.joinable()) m_thread.join();
        m_server.reset();
    }

private:
    std::mutex m_mutex;
    std::unique_ptr<CPtyServer> m_server;
    std::thread m_thread;
    std::string m_strPath;
};

// Builds the main window with the real serial link on `unit`'s terminal and lists the banks.
bool StartOverPty(CUiFixture& f, CPtyUnit& unit) {
    f.settings->Seed(kSectionSerial, "PortNumber", std::int64_t{3});
    f.settings->Seed(kSectionSerial, "BaudRate", std::int64_t{38400});
    f.settings->Seed(kSectionSerial, "Parity", std::int64_t{'n'});
    f.settings->Seed(kSectionSerial, "DataBits", std::int64_t{8});
    f.settings->Seed(kSectionSerial, "StopBits", std::int64_t{2});
    const std::string path = unit.Path();
    f.Build([&f, path](IHost& h) {
        return std::make_unique<CLibrarian>(
            h,
            [path](IHost& linkHost) {
                auto link = std::make_unique<CSerialLink>(linkHost);
                link->Settings().m_strPortName = path;
                LinkTimings fast;
                fast.pollWaitMs = 100;
                fast.sendWaitMs = 500;
                fast.closeWaitMs = 1000;
                link->SetTimings(fast);
                return link;
            },
            [&f](IHost&) { return std::make_unique<CSimLink>(f.unit, CSimLink::ReplyStyle::MIDI); });
    });
    f.frame->show();
    if (!QTest::qWaitForWindowExposed(f.frame.get())) return false;
    return f.ShowBanks() == 0;
}

// Answers every real message box as a user would (OK), keeping its text.
class CBoxReader : public QObject {
public:
    CBoxReader() {
        m_timer.setInterval(20);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (box == nullptr || !box->isVisible() || box == m_pLast) continue;
                m_pLast = box;
                texts << box->text();
                QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
            }
        });
        m_timer.start();
    }
    QStringList texts;

private:
    QTimer m_timer;
    QPointer<QMessageBox> m_pLast;
};

QJsonObject ReadManifest(const QString& folder) {
    QFile file(QDir(folder).filePath(QStringLiteral("manifest.json")));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QString Lost() {
    return QString::fromLatin1(engine_messages::kConnectionLost.data());
}

// The messages that tell the connection lost.
int LostMessages(const QStringList& texts) {
    int n = 0;
    for (const auto& text : texts) n += text.contains(Lost()) ? 1 : 0;
    return n;
}

}  // namespace

class UnitGoneTest : public QObject {
    Q_OBJECT

private slots:
    // The unit goes after the first program of bank 40 was written: one message that the
    // connection was lost (with the line's own report as the cause), then the summary, which
    // says the backup was interrupted and names the banks not read; the manifest records it.
    void aBackupTheUnitLeavesTellsItOnceAndCountsHonestly() {
        CUiFixture f;
        Seed(f.unit);
        CPtyUnit unit(f.unit);
        std::string error;
        QVERIFY2(unit.Start(error), error.c_str());
        QVERIFY(StartOverPty(f, unit));
        f.host.SetPresenter(nullptr);  // the real boxes from here on
        CBoxReader boxes;

        // The pauses of the backup: bank select 40, program change for Lead, then for Pad.
        std::atomic<int> pauses{0};
        f.onPause = [&unit, &pauses](int) {
            if (++pauses == 3) unit.Kill();
        };
        QTemporaryDir parent;
        f.frame->Archive()->m_fnChooseBackupParent = [&parent] { return parent.path(); };
        f.frame->Actions().backupUnit->trigger();
        f.Settle();
        f.onPause = nullptr;
        QTRY_VERIFY(boxes.texts.size() >= 2);
        QTest::qWait(200);  // nothing more comes

        const QStringList& texts = boxes.texts;
        QVERIFY2(texts.size() == 2, qPrintable(texts.join(QStringLiteral("\n----\n"))));
        QCOMPARE(LostMessages(texts), 1);
        QVERIFY2(texts[0].startsWith(Lost() + QStringLiteral("\n\n")), qPrintable(texts[0]));
        QVERIFY2(texts[0].contains(QString::fromStdString(unit.Path())), qPrintable(texts[0]));
        const QString& summary = texts[1];
        QVERIFY2(summary.startsWith(QStringLiteral(
                     "Backup interrupted: 1 programs from 1 banks written, 1 skipped.\n")),
                 qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral(
                     "Skipped bank 40 program 2 \"Pad\": the connection to the unit was lost")),
                 qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("Not read: bank 41, 42")), qPrintable(summary));

        const QString folder = f.frame->Archive()->LastBackupFolder();
        QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("40 Live/Lead.sig"))));
        const QJsonObject result = ReadManifest(folder).value(QStringLiteral("result")).toObject();
        QCOMPARE(result.value(QStringLiteral("written")).toInt(), 1);
        QCOMPARE(result.value(QStringLiteral("unread_banks")).toArray(), (QJsonArray{41, 42}));
        QCOMPARE(result.value(QStringLiteral("cancelled")).toBool(), false);
    }

    // A backup of the three banks, restored into the same banks emptied; the unit goes during
    // the second load into bank 40. One lost-connection message, then a summary that never says
    // "Restore finished": one program loaded, the rest not made, bank 40 partly restored and
    // banks 41 and 42 not reached.
    void aRestoreTheUnitLeavesTellsItOnceAndCountsHonestly() {
        CUiFixture f;
        Seed(f.unit);
        CPtyUnit unit(f.unit);
        std::string error;
        QVERIFY2(unit.Start(error), error.c_str());
        QVERIFY(StartOverPty(f, unit));
        QTemporaryDir parent;
        f.frame->Archive()->m_fnChooseBackupParent = [&parent] { return parent.path(); };
        f.frame->Actions().backupUnit->trigger();
        f.Settle();
        QCOMPARE(f.messages.size(), 1);
        QVERIFY2(f.messages.first().startsWith(QStringLiteral("Backup finished: 4 programs")),
                 qPrintable(f.messages.first()));
        const QString folder = f.frame->Archive()->LastBackupFolder();

        unit.Kill();  // the unit is emptied while nobody listens, and served afresh
        Seed(f.unit, false);
        CPtyUnit again(f.unit);
        QVERIFY2(again.Start(error), error.c_str());
        CPtyUnit* serving = &again;
        auto& serial = static_cast<CSerialLink&>(f.Engine().CurrentLink());
        serial.Settings().m_strPortName = again.Path();

        f.host.SetPresenter(nullptr);
        CBoxReader boxes;
        f.frame->Archive()->m_fnChooseRestoreFolder = [folder] { return folder; };
        f.frame->Archive()->m_fnPlanDialog = [](const archive::RestorePlan&, std::vector<int>&) {
            return true;
        };
        // The pauses: the plan selects banks 40, 41 and 42, the run selects bank 40 and loads
        // Lead, whose load four keys confirm, 500 ms apart. The unit goes at the fourth: Lead is
        // in, and Pad is the next load.
        std::atomic<int> pauses{0};
        f.onPause = [serving, &pauses](int) {
            if (++pauses == 8) serving->Kill();
        };
        f.frame->Actions().restoreUnit->trigger();
        f.Settle();
        f.onPause = nullptr;
        QTRY_VERIFY(boxes.texts.size() >= 2);
        QTest::qWait(200);

        const QStringList& texts = boxes.texts;
        QVERIFY2(texts.size() == 2, qPrintable(texts.join(QStringLiteral("\n----\n"))));
        QCOMPARE(LostMessages(texts), 1);
        QVERIFY2(texts[0].startsWith(Lost() + QStringLiteral("\n\n")), qPrintable(texts[0]));
        QCOMPARE(texts[1], QStringLiteral("Restore interrupted: 1 programs loaded, 0 banks "
                                          "created, 0 already present, 0 not loaded, 3 planned "
                                          "loads not made.\n"
                                          "Partly restored: bank 40\n"
                                          "Not reached: bank 41, 42"));
        QCOMPARE(f.unit.Programs(40).size(), std::size_t{1});
    }

    // The backup of the open bank 40 (Lead, Pad, Keys); the unit goes while Pad is fetched. One
    // lost-connection message, then the summary: interrupted, Lead written, Pad lost, Keys not
    // asked for; no further box (the selected program is not loaded again).
    void aBankBackupTheUnitLeavesTellsItOnceAndNamesWhatIsMissing() {
        CUiFixture f;
        Seed(f.unit);
        f.unit.AddProgram(40, 3, Text("Keys"), true);
        CPtyUnit unit(f.unit);
        std::string error;
        QVERIFY2(unit.Start(error), error.c_str());
        QVERIFY(StartOverPty(f, unit));
        f.OpenBank(40);
        f.Select(f.RowOf(1));
        f.host.SetPresenter(nullptr);
        CBoxReader boxes;

        // The pauses: the program change for Lead, then for Pad.
        std::atomic<int> pauses{0};
        f.onPause = [&unit, &pauses](int) {
            if (++pauses == 2) unit.Kill();
        };
        QTemporaryDir folder;
        f.Commands().m_fnChooseBackupFolder = [&folder] { return folder.path(); };
        f.Commands().BackupUserPatches();
        f.Settle();
        f.onPause = nullptr;
        QTRY_VERIFY(boxes.texts.size() >= 2);
        QTest::qWait(200);

        const QStringList& texts = boxes.texts;
        QVERIFY2(texts.size() == 2, qPrintable(texts.join(QStringLiteral("\n----\n"))));
        QCOMPARE(LostMessages(texts), 1);
        QVERIFY2(texts[0].startsWith(Lost() + QStringLiteral("\n\n")), qPrintable(texts[0]));
        QVERIFY2(texts[1].startsWith(QStringLiteral("Backup interrupted: 1 file written, 2 "
                                                    "skipped.")),
                 qPrintable(texts[1]));
        QVERIFY2(texts[1].contains(QStringLiteral(
                     "2 Pad: the connection to the unit was lost while it was fetched.")),
                 qPrintable(texts[1]));
        QVERIFY2(texts[1].contains(QStringLiteral(
                     "3 Keys: not asked for, the connection to the unit was lost.")),
                 qPrintable(texts[1]));
        QVERIFY(QFileInfo::exists(QDir(folder.path()).filePath(QStringLiteral("Lead.sig"))));
    }
    // The unit goes in the middle of a program's delete: one message, and the unit is not asked
    // again for the bank's programs afterwards (which would only tell the loss a second time).
    void aDeleteTheUnitLeavesTellsItOnce() {
        CUiFixture f;
        Seed(f.unit);
        CPtyUnit unit(f.unit);
        std::string error;
        QVERIFY2(unit.Start(error), error.c_str());
        QVERIFY(StartOverPty(f, unit));
        f.OpenBank(40);
        const QStringList before = f.Entries();
        f.Select(f.RowOf(1));
        f.host.SetPresenter(nullptr);
        CBoxReader boxes;

        f.onPause = [&unit](int) { unit.Kill(); };  // at the delete's first pause
        f.frame->Actions().del->trigger();
        f.Settle();
        f.onPause = nullptr;
        QTRY_VERIFY(!boxes.texts.isEmpty());
        QTest::qWait(300);  // nothing more comes
        f.Settle();

        const QStringList& texts = boxes.texts;
        QVERIFY2(texts.size() == 1, qPrintable(texts.join(QStringLiteral("\n----\n"))));
        QVERIFY2(texts[0].startsWith(Lost()), qPrintable(texts[0]));
        QCOMPARE(f.Entries(), before);
    }
};

QTEST_MAIN(UnitGoneTest)
#include "UnitGoneTest.moc"
