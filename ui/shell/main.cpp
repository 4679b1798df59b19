// quorlin: the desktop patch librarian.
//   quorlin              the unit over the saved connection settings
//   quorlin --port PATH  the unit on that serial device, for this run
//   quorlin --demo       the built-in demo unit (reached over a pseudo-terminal); nothing of the
//                        saved connection settings is read or changed

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <memory>

#include "demo/DemoUnit.h"
#include "engine/Librarian.h"
#include "quorlin/Version.h"
#include "settings/OverlaySettingsStore.h"
#include "settings/QtSettingsStore.h"
#include "settings/RunSettings.h"
#include "ui/library/LibraryController.h"
#include "ui/shell/EngineWorker.h"
#include "ui/shell/GuiHost.h"
#include "ui/shell/MainFrame.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brisca"));
    QApplication::setApplicationName(QStringLiteral("Quorlin"));
    QApplication::setApplicationVersion(QString::fromLatin1(kQuorlinVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Patch librarian for the two-DSP effects unit"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demoOption(QStringLiteral("demo"),
                                        QStringLiteral("Run against the built-in demo unit."));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Use the serial device PATH for this run."),
                                        QStringLiteral("PATH"));
    parser.addOption(demoOption);
    parser.addOption(portOption);
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
        runSettings = SerialPortOverlay(savedSettings, parser.value(portOption).toStdString(),
                                        SavedLine::Use);
    }
    SetSettingsStore(runSettings ? static_cast<ISettingsStore*>(runSettings.get())
                                 : static_cast<ISettingsStore*>(&savedSettings));

    int result = 0;
    {
        CGuiHost host;
        CEngineWorker worker;
        CLibraryController library;
        CMainFrame frame(worker, host, [&library](IHost& h) {
            auto engine = std::make_unique<CLibrarian>(h);
            library.Feed(*engine, h);
            return engine;
        });
        library.Install(frame);
        host.SetParentWindow(&frame);
        worker.SetWindow(&frame);
        frame.View()->InitialUpdate();
        frame.show();
        frame.View()->PostBankListRequest();
        result = QApplication::exec();
    }
    SetSettingsStore(nullptr);
    return result;
}
