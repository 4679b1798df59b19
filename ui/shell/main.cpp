// quorlin: the desktop patch librarian.
//   quorlin              the unit over the saved connection settings
//   quorlin --port PATH  the unit on that serial device, for this run
//   quorlin --verbose    also keeps a log file of the traffic and the messages (LogFileRecorder.h)
//   quorlin --demo       the built-in demo unit (reached over a pseudo-terminal); nothing of the
//                        saved connection settings is read or changed, and its programs go to a
//                        library of the run's own ($QUORLIN_LIBRARY, when set, all the same)
//   quorlin --help, --version  answered before Qt starts, so without a display

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "demo/DemoUnit.h"
#include "engine/Librarian.h"
#include "quorlin/Version.h"
#include "settings/OverlaySettingsStore.h"
#include "settings/QtSettingsStore.h"
#include "settings/RunSettings.h"
#include "ui/core/UnitText.h"
#include "library/DemoLibraryPlace.h"
#include "ui/library/LibraryController.h"
#include "ui/log/LogFileRecorder.h"
#include "ui/shell/AppIcon.h"
#include "ui/shell/DesktopApp.h"
#include "ui/shell/HelpAndVersion.h"
#include "ui/shell/MainFrame.h"
#include "ui/shell/Translations.h"

int main(int argc, char* argv[]) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, stdout)) return *answered;
    CLogFileRecorder::Instance().SetStart(std::chrono::steady_clock::now());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brisca"));
    QApplication::setApplicationName(QStringLiteral("Quorlin"));
    QApplication::setApplicationVersion(QString::fromLatin1(kQuorlinVersion));
    // The desktop entry's name, so that a desktop finds the entry (and its icon) for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.quorlin.Quorlin"));
    QApplication::setWindowIcon(AppIcon());
    // The texts in the system's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), Qt's own included.
    InstallTranslations(QLocale());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Patch librarian for the two-DSP effects unit"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QCoreApplication::translate("main", "Run against the built-in demo unit."));
    const QCommandLineOption portOption(
        QStringLiteral("port"),
        QCoreApplication::translate("main", "Use the serial device PATH for this run."),
        QCoreApplication::translate("main", "PATH"));
    const QCommandLineOption verboseOption(
        QStringLiteral("verbose"),
        QCoreApplication::translate(
            "main", "Keep a log file of the traffic with the unit and of the messages."));
    parser.addOption(demoOption);
    parser.addOption(portOption);
    parser.addOption(verboseOption);
    parser.process(app);

    CQtSettingsStore savedSettings;
    std::unique_ptr<COverlaySettingsStore> runSettings;
    std::unique_ptr<CDemoUnit> demo;
    if (parser.isSet(demoOption)) {
        demo = std::make_unique<CDemoUnit>();
        if (!demo->Start()) {
            std::fprintf(stderr, "quorlin: cannot start the demo unit: %s\n",
                         demo->Error().c_str());
            return 1;
        }
        runSettings = SerialPortOverlay(savedSettings, demo->PortPath(), SavedLine::Ignore);
    } else if (parser.isSet(portOption)) {
        runSettings = SerialPortOverlay(savedSettings, ToFilePath(parser.value(portOption)),
                                        SavedLine::Use);
    }
    SetSettingsStore(runSettings ? static_cast<ISettingsStore*>(runSettings.get())
                                 : static_cast<ISettingsStore*>(&savedSettings));

    if (parser.isSet(verboseOption) || CLogFileRecorder::Wanted()) {
        if (!CLogFileRecorder::Instance().Start())
            std::fprintf(stderr, "quorlin: cannot write the log file %s\n",
                         qPrintable(CLogFileRecorder::Path()));
    }

    int result = 0;
    {
        // The demo unit's programs go to a library of this run's own, never the user's.
        std::unique_ptr<library::CDemoLibraryPlace> demoLibrary;
        if (demo) demoLibrary = std::make_unique<library::CDemoLibraryPlace>();
        // The library outlives the engine it feeds; each engine built keeps its logging host
        // until the window goes.
        CLibraryController library(demoLibrary ? demoLibrary->Path()
                                               : library::DefaultLibraryPath());
        library.SetForThisRunOnly(demoLibrary && demoLibrary->IsForThisRunOnly());
        std::vector<std::unique_ptr<CMessageLoggingHost>> loggingHosts;
        CDesktopApp desktop;
        // The engine's messages also go to the log file, when one is kept. Every engine feeds
        // the library.
        desktop.Build([&loggingHosts, &library](IHost& h) {
            loggingHosts.push_back(std::make_unique<CMessageLoggingHost>(h));
            auto engine = std::make_unique<CLibrarian>(*loggingHosts.back());
            library.Feed(*engine, *loggingHosts.back());
            return engine;
        });
        CMainFrame& frame = *desktop.Frame();
        library.Install(frame, *frame.View(), desktop.State(), desktop.Worker(), *frame.ViewMenu(),
                        *frame.OptionsMenu());
        frame.View()->InitialUpdate();
        frame.show();
        frame.View()->PostBankListRequest();
        result = QApplication::exec();
    }
    CLogFileRecorder::Instance().Stop();
    SetSettingsStore(nullptr);
    return result;
}
