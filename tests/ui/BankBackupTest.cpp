// The bank backup has one home: the desktop program's "Back Up This Bank…" and the command
// line's "backup BANK FOLDER", run against the same unit, write the same files under the same
// names and skip the same programs for the same reasons.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <sstream>

#include "archive/BackupManifest.h"
#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "cli/CliOptions.h"
#include "library/LibrarySightings.h"
#include "library/ProgramLibrary.h"
#include "sim/ProgramText.h"
#include "tests/support/FaultLink.h"
#include "tests/ui/UiFixture.h"

namespace {

// The unit's faults, the same for both runs: the program change to program 2 never arrives (the
// unit goes on running program 1 and sends that), and program 5's text never comes back.
void Arrange(CFaultLink& link) {
    auto lastProgram = std::make_shared<int>(-1);
    link.loseSend = [lastProgram](const std::string& frame) {
        const bool programChange =
            frame.size() == 2 && (static_cast<unsigned char>(frame[0]) & 0xF0) == 0xC0;
        if (programChange) *lastProgram = frame[1];
        return programChange && frame[1] == 2;
    };
    link.loseReply = [lastProgram](const std::string& frame) {
        const bool request = frame.size() == 6 && static_cast<unsigned char>(frame[4]) == 0x0B;
        return request && *lastProgram == 5;
    };
}

// The files of `folder` with their bytes, by name ("name: bytes" lines, sorted).
QStringList FilesOf(const QString& folder) {
    QStringList files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) return {QStringLiteral("unreadable ") + name};
        files << name + QStringLiteral(": ") + QString::fromLatin1(file.readAll());
    }
    return files;
}

}  // namespace

class BankBackupTest : public QObject {
    Q_OBJECT

private slots:
    void desktopAndCommandLineBackUpABankAlike() {
        std::unique_ptr<CSimLink> inner;  // outlives the fixture's engine
        CUiFixture f;
        f.unit.AddBank(40, "Backup");
        struct Program {
            int number;
            std::string name;
            bool user;
        };
        const Program programs[] = {
            {0, "Lead", true},      {1, "LEAD", true}, {2, "Pad", true},  {3, "Hall", false},
            {4, "Caf\xE9/1", true}, {5, "Room", true}, {6, "Wall", true},
        };
        for (const auto& p : programs)
            f.unit.AddProgram(
                40, p.number,
                sim::MakeProgramText(p.name, "Hall", 20, {"program " + std::to_string(p.number)}),
                p.user);
        // One file name of each folder is taken by a folder.
        QTemporaryDir desktopDir;
        QTemporaryDir cliDir;
        for (const QTemporaryDir* dir : {&desktopDir, &cliDir})
            QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("Wall.sig")));
        inner = std::make_unique<CSimLink>(f.unit);
        f.link = inner.get();

        // The desktop program: the bank opened, then backed up.
        f.Build([&inner, &f](IHost& h) {
            auto serial = std::make_unique<CFaultLink>(*inner);
            Arrange(*serial);
            return std::make_unique<CLibrarian>(
                h, std::move(serial),
                std::make_unique<CSimLink>(f.unit, CSimLink::ReplyStyle::MIDI));
        });
        f.frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.frame.get()));
        QCOMPARE(f.ShowBanks(), 0);
        f.OpenBank(40);
        f.Commands().m_fnChooseBackupFolder = [&desktopDir] { return desktopDir.path(); };
        f.messages.clear();
        f.Commands().BackupUserPatches();
        f.Settle();

        // The command line, on the same unit.
        int exitCode = -1;
        std::string out;
        std::string err;
        {
            std::string error;
            const auto options = CliOptions::Parse(
                {"backup", "40", QFile::encodeName(cliDir.path()).toStdString()}, error);
            QVERIFY2(options.has_value(), error.c_str());
            std::FILE* errFile = std::tmpfile();
            {
                CCliHost host(errFile);
                host.SetPauseHook([&inner](int ms) { inner->AdvanceClock(ms); });
                auto serial = std::make_unique<CFaultLink>(*inner);
                Arrange(*serial);
                CLibrarian engine(host, std::move(serial),
                                  std::make_unique<CSimLink>(f.unit, CSimLink::ReplyStyle::MIDI));
                std::ostringstream stream;
                exitCode = CCliCommands(engine, host, stream, 1, 0).Run(*options);
                out = stream.str();
            }
            std::rewind(errFile);
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, errFile)) > 0;)
                err.append(buffer, n);
            std::fclose(errFile);
        }

        // The same files, under names that are UTF-8 and unique in letter case, with the texts
        // of the programs they are named after.
        const auto text = [&f](int number) {
            for (const auto& p : f.unit.Programs(40))
                if (p.number == number) return QString::fromLatin1(p.text);
            return QString();
        };
        const QStringList expected = {
            QStringLiteral("Caf\u00E9_1.sig: ") + text(4),
            QStringLiteral("LEAD (2).sig: ") + text(1),
            QStringLiteral("Lead.sig: ") + text(0),
        };
        QCOMPARE(FilesOf(desktopDir.path()), expected);
        QCOMPARE(FilesOf(cliDir.path()), expected);

        // The same programs skipped, for the same reasons, each in its program's words.
        struct Skip {
            QString entry;
            QString reason;  // %1: the folder
        };
        const QList<Skip> skips = {
            {QStringLiteral("2 Pad"), QStringLiteral("the unit sent \"LEAD\" instead of \"Pad\".")},
            {QStringLiteral("5 Room"), QStringLiteral("the unit did not send it.")},
            {QStringLiteral("6 Wall"), QStringLiteral("cannot write %1/Wall.sig: it is a folder")},
        };
        QString summary =
            QStringLiteral("Backup finished: 3 files written, 3 skipped.\n\nSkipped:");
        QString cliErr;
        for (const Skip& skip : skips) {
            summary += QLatin1Char('\n') + skip.entry + QStringLiteral(": ") +
                       QString(skip.reason).replace(QStringLiteral("%1"), desktopDir.path());
            cliErr += QStringLiteral("Skipped ") + skip.entry + QStringLiteral(": ") +
                      QString(skip.reason).replace(QStringLiteral("%1"), cliDir.path()) +
                      QLatin1Char('\n');
        }
        QCOMPARE(f.messages, QStringList{summary});
        QCOMPARE(f.Commands().LastBackup().written, 3);
        QCOMPARE(f.Commands().LastBackup().skipped, 3);
        QCOMPARE(QString::fromUtf8(err), cliErr);
        QCOMPARE(exitCode, 1);
        // The command line names each file it wrote, in program order.
        const QString folder = cliDir.path() + QLatin1Char('/');
        QCOMPARE(QString::fromUtf8(out), folder + QStringLiteral("Lead.sig\n") + folder +
                                             QStringLiteral("LEAD (2).sig\n") + folder +
                                             QStringLiteral("Caf\u00E9_1.sig\n"));
    }

    // What stood in the folder before the run is never lost: a file of another program stays
    // and the program takes the next name; an earlier backup of the same program is replaced
    // once its text is in the library. The desktop and the command line alike.
    void desktopAndCommandLineReplaceOnlyAnEarlierBackupOfTheSameProgram() {
        QTemporaryDir libraryDir;
        library::CProgramLibrary feed;
        std::string error;
        QVERIFY2(feed.Open(QFile::encodeName(libraryDir.filePath(QStringLiteral("library.sqlite")))
                               .toStdString(),
                           error),
                 error.c_str());
        library::CLibrarySightings sightings(feed);

        CUiFixture f;
        f.unit.AddBank(40, "Backup");
        f.unit.AddProgram(40, 0, sim::MakeProgramText("CON", "Hall", 20, {"a"}), true);
        f.unit.AddProgram(40, 1, sim::MakeProgramText("Vocal Plate", "Plate", 30, {"b"}), true);
        const QByteArray other = "preset \"Snare Room\"\nmix 7\n";
        const QByteArray older = "preset \"Vocal Plate\"\nmix 10\n";
        QTemporaryDir desktopDir;
        QTemporaryDir cliDir;
        for (const QTemporaryDir* dir : {&desktopDir, &cliDir}) {
            for (const auto& [name, text] : {std::pair{QStringLiteral("CON.sig"), other},
                                             std::pair{QStringLiteral("Vocal Plate.sig"), older}}) {
                QFile file(QDir(dir->path()).filePath(name));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(text);
            }
        }

        f.Start();
        f.Engine().SetSightings(&sightings);
        f.OpenBank(40);
        f.Commands().m_fnChooseBackupFolder = [&desktopDir] { return desktopDir.path(); };
        f.messages.clear();
        f.Commands().BackupUserPatches();
        f.Settle();

        int exitCode = -1;
        std::string out;
        std::string err;
        {
            const auto options = CliOptions::Parse(
                {"backup", "40", QFile::encodeName(cliDir.path()).toStdString()}, error);
            QVERIFY2(options.has_value(), error.c_str());
            std::FILE* errFile = std::tmpfile();
            {
                CCliHost host(errFile);
                host.SetPauseHook([&f](int ms) { f.link->AdvanceClock(ms); });
                CLibrarian engine(host, std::make_unique<CSimLink>(f.unit),
                                  std::make_unique<CSimLink>(f.unit, CSimLink::ReplyStyle::MIDI));
                engine.SetSightings(&sightings);
                std::ostringstream stream;
                exitCode = CCliCommands(engine, host, stream, 1, 0).Run(*options);
                out = stream.str();
            }
            std::rewind(errFile);
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, errFile)) > 0;)
                err.append(buffer, n);
            std::fclose(errFile);
        }

        const auto text = [&f](int number) {
            for (const auto& p : f.unit.Programs(40))
                if (p.number == number) return QString::fromLatin1(p.text);
            return QString();
        };
        const QStringList expected = {
            QStringLiteral("CON (2).sig: ") + text(0),
            QStringLiteral("CON.sig: ") + QString::fromLatin1(other),
            QStringLiteral("Vocal Plate.sig: ") + text(1),
        };
        QCOMPARE(FilesOf(desktopDir.path()), expected);
        QCOMPARE(FilesOf(cliDir.path()), expected);
        // The earlier Vocal Plate is in the library.
        QVERIFY(feed.Find(archive::Sha256Hex(older.toStdString())).has_value());

        const auto path = [](const QTemporaryDir& dir, const char* name) {
            return QDir(dir.path()).filePath(QString::fromLatin1(name));
        };
        QCOMPARE(f.messages,
                 QStringList{QStringLiteral("Backup finished: 2 files written, 0 skipped.\n\n"
                                            "Replaced 1 earlier backup file of the same program "
                                            "(the earlier text is kept in the library):\n") +
                             path(desktopDir, "Vocal Plate.sig") +
                             QStringLiteral("\n\nKept 1 file that was already there (the new "
                                            "file took the next free name):\n") +
                             path(desktopDir, "CON.sig")});
        QCOMPARE(QString::fromUtf8(err),
                 QStringLiteral("Replaced 1 earlier backup file of the same program (the earlier "
                                "text is kept in the library): ") +
                     path(cliDir, "Vocal Plate.sig") +
                     QStringLiteral(".\nKept 1 file that was already there (the new file took "
                                    "the next free name): ") +
                     path(cliDir, "CON.sig") + QStringLiteral(".\n"));
        QCOMPARE(exitCode, 0);
        QCOMPARE(QString::fromUtf8(out), path(cliDir, "CON (2).sig") + QLatin1Char('\n') +
                                             path(cliDir, "Vocal Plate.sig") + QLatin1Char('\n'));
    }
};

QTEST_MAIN(BankBackupTest)
#include "BankBackupTest.moc"
