// bench_gui [runs]
//
// 1. Start-up: from the start of the process to the first bank list painted, with the demo unit
//    served on a pseudo-terminal at 38400 baud; the unit's own time (the bank list operation, wire
//    time included) is reported beside it. Median over `runs` child processes (default 5).
//    Limit: median of (start-up - unit's own time) <= 500 ms.
// 2. Resident memory after opening a bank of 100 programs. Limit: <= 80 MB.
// 3. Backup of a bank of 30 user programs. Limit: <= 1.05 x (wire time + prescribed pauses) + 100
// ms.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "demo/DemoUnit.h"
#include "engine/Librarian.h"
#include "settings/MemorySettingsStore.h"
#include "settings/OverlaySettingsStore.h"
#include "settings/RunSettings.h"
#include "sim/ProgramText.h"
#include "sim/SimUnit.h"
#include "ui/commands/PatchCommands.h"
#include "ui/core/EngineWorker.h"
#include "ui/shell/DesktopApp.h"
#include "ui/core/GuiHost.h"
#include "ui/list/EntryListCtrl.h"
#include "ui/shell/MainFrame.h"

namespace {

constexpr double kBitsPerByte = 11.0;  // 1 start, 8 data, 2 stop bits
constexpr double kLineRate = 38400.0;

// Milliseconds since this process started (from /proc, so loading the program counts too).
double MsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) startTicks = std::stoull(field);
    }
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0;
    uptimeFile >> uptime;
    return (uptime - static_cast<double>(startTicks) / static_cast<double>(sysconf(_SC_CLK_TCK))) *
           1000.0;
}

double ResidentMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// Paints of the list after it holds entries.
class CPaintWatch : public QObject {
public:
    explicit CPaintWatch(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) m_onPaint();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onPaint;
};

struct Program {
    CMemorySettingsStore saved;
    std::unique_ptr<COverlaySettingsStore> overlay;
    CDemoUnit demo;
    CDesktopApp desktop;
    CGuiHost& host = desktop.Host();
    CEngineWorker& worker = desktop.Worker();
    CMainFrame* frame = nullptr;

    bool Start() {
        if (!demo.Start()) return false;
        overlay = SerialPortOverlay(saved, demo.PortPath(), SavedLine::Ignore);
        SetSettingsStore(overlay.get());
        host.SetPresenter([](const QString& text, const QString&, IHost::Icon) {
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
        });
        desktop.Build([](IHost& h) { return std::make_unique<CLibrarian>(h); });
        frame = desktop.Frame();
        return true;
    }
    ~Program() {
        if (frame) frame->close();
        WaitUntilIdle();
        desktop.Destroy();
        SetSettingsStore(nullptr);
    }
    // Operations end on the worker; this waits for the last one.
    void WaitUntilIdle() {
        while (worker.IsBusy()) QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    int RowOf(int number) {
        CEntryListCtrl& list = *frame->View()->List();
        for (int i = 0; i < list.count(); ++i) {
            if (list.item(i)->text().section(QLatin1Char(' '), 0, 0).toInt() == number) return i;
        }
        return -1;
    }
    void Open(int bank) {
        CEntryListCtrl& list = *frame->View()->List();
        list.setCurrentRow(RowOf(bank));
        list.item(RowOf(bank))->setSelected(true);
        frame->View()->ActivateSelection();
        WaitUntilIdle();
    }
};

// One start-up, in a child process: prints "startup <ms> unit <ms> rss <MB>".
int Child() {
    int argc = 1;
    char name[] = "bench_gui";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    Program program;
    CSimUnit& unit = program.demo.Unit();
    unit.AddBank(50, "Hundred");
    for (int i = 0; i < 100; ++i) {
        unit.AddProgram(50, i,
                        sim::MakeProgramText("Program " + std::to_string(i), "Hall", 30,
                                             {"Line one", "Line two"}),
                        i % 2 == 0);
    }
    if (!program.Start()) return 1;

    double unitMs = -1;
    QElapsedTimer operation;
    QObject::connect(&program.worker, &CEngineWorker::busyChanged, [&](bool busy) {
        if (busy) {
            operation.start();
        } else if (unitMs < 0) {
            unitMs = static_cast<double>(operation.nsecsElapsed()) / 1e6;
        }
    });
    double paintedMs = -1;
    double rss = 0;
    CPaintWatch watch([&] {
        if (paintedMs < 0 && program.frame->View()->List()->count() > 0) {
            paintedMs = MsSinceProcessStart();
            QTimer::singleShot(0, &app, [&] {
                program.Open(50);
                QApplication::processEvents();
                rss = ResidentMB();
                QApplication::quit();
            });
        }
    });
    program.frame->View()->List()->viewport()->installEventFilter(&watch);
    program.frame->View()->InitialUpdate();
    program.frame->show();
    program.frame->View()->PostBankListRequest();
    QTimer::singleShot(30000, &app, &QApplication::quit);
    app.exec();
    program.frame->View()->List()->viewport()->removeEventFilter(&watch);
    std::printf("startup %.1f unit %.1f rss %.1f programs %d\n", paintedMs, unitMs, rss,
                program.frame->View()->List()->count());
    return paintedMs < 0 ? 1 : 0;
}

int Backup() {
    int argc = 1;
    char name[] = "bench_gui";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    Program program;
    CSimUnit& unit = program.demo.Unit();
    unit.AddBank(60, "Thirty");
    std::size_t textBytes = 0;
    for (int i = 0; i < 30; ++i) {
        const std::string text = sim::MakeProgramText("User " + std::to_string(i), "Plate", 25,
                                                      {"A user program", "for the backup"});
        textBytes += text.size();
        unit.AddProgram(60, i, text, true);
    }
    if (!program.Start()) return 1;
    program.frame->View()->InitialUpdate();
    program.frame->show();
    program.frame->View()->ShowBanks();
    program.WaitUntilIdle();
    program.Open(60);
    program.frame->View()->List()->clearSelection();
    QTemporaryDir folder;
    CPatchCommands& commands = *program.frame->Commands();
    commands.m_fnChooseBackupFolder = [&folder] { return folder.path(); };
    program.host.SetPresenter([](const QString&, const QString&, IHost::Icon) {});

    QElapsedTimer timer;
    timer.start();
    commands.BackupUserPatches();
    program.WaitUntilIdle();
    const double totalMs = static_cast<double>(timer.nsecsElapsed()) / 1e6;

    // Per program: a program change (2 bytes), the request frame (6 bytes) and the reply
    // (the text in a frame of 5 more bytes); a 300-ms pause after each program change.
    const double bytes = 30.0 * (2 + 6 + 5) + static_cast<double>(textBytes);
    const double wireMs = bytes * kBitsPerByte / kLineRate * 1000.0;
    const double pausesMs = 30.0 * 300.0;
    const double limit = 1.05 * (wireMs + pausesMs) + 100.0;
    const int written = commands.LastBackup().written;
    std::printf(
        "backup of 30 user programs: %.0f ms (wire %.0f ms + pauses %.0f ms), limit %.0f ms, "
        "ratio %.3f, %d files  %s\n",
        totalMs, wireMs, pausesMs, limit, totalMs / limit, written,
        totalMs <= limit && written == 30 ? "PASS" : "FAIL");
    return totalMs <= limit && written == 30 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::string(argv[1]) == "--child") return Child();
    if (argc > 1 && std::string(argv[1]) == "--backup") return Backup();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    std::vector<double> beyond;
    std::vector<double> startups;
    double rss = 0;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        child.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--child")});
        child.waitForFinished(60000);
        double startup = 0, unitMs = 0, mb = 0;
        int programs = 0;
        if (std::sscanf(child.readAllStandardOutput().constData(),
                        "startup %lf unit %lf rss %lf programs %d", &startup, &unitMs, &mb,
                        &programs) != 4 ||
            programs != 100) {
            std::fprintf(stderr, "run %d failed: %s\n", i,
                         child.readAllStandardError().constData());
            return 1;
        }
        std::printf(
            "run %d: first bank list painted after %.0f ms, unit's own time %.0f ms, "
            "resident %.1f MB\n",
            i + 1, startup, unitMs, mb);
        startups.push_back(startup);
        beyond.push_back(startup - unitMs);
        rss = std::max(rss, mb);
    }
    std::sort(beyond.begin(), beyond.end());
    std::sort(startups.begin(), startups.end());
    const double median = beyond[beyond.size() / 2];
    std::printf(
        "start-up to first bank list: median %.0f ms, of which %.0f ms beyond the unit's "
        "own time (limit 500 ms)  %s\n",
        startups[startups.size() / 2], median, median <= 500 ? "PASS" : "FAIL");
    std::printf("resident memory after opening a bank of 100 programs: %.1f MB (limit 80 MB)  %s\n",
                rss, rss <= 80 ? "PASS" : "FAIL");
    std::fflush(stdout);

    QProcess backup;
    backup.setProcessChannelMode(QProcess::ForwardedChannels);
    backup.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--backup")});
    backup.waitForFinished(120000);
    return median <= 500 && rss <= 80 && backup.exitCode() == 0 ? 0 : 1;
}
