// quorlin-screenshots: renders every window and dialog of the program over the simulated unit
// and saves them as PNG files, for the README and for looking at the program without a unit.
//   quorlin-screenshots OUTPUT_DIR

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "demo/SimLink.h"
#include "engine/Librarian.h"
#include "link/LinkTap.h"
#include "settings/MemorySettingsStore.h"
#include "sim/SimUnit.h"
#include "ui/core/EngineWorker.h"
#include "ui/core/GuiHost.h"
#include "ui/dialogs/CommSetupDlg.h"
#include "ui/dialogs/CreateBankDlg.h"
#include "ui/dialogs/FindPatchDlg.h"
#include "ui/dialogs/RestorePlanDlg.h"
#include "ui/list/EntryListCtrl.h"
#include "ui/log/CommLogPanel.h"
#include "ui/shell/AboutDlg.h"
#include "ui/shell/MainFrame.h"

namespace {

void Save(QWidget& widget, const QString& folder, const QString& name) {
    QApplication::processEvents();
    // The whole window with its decorations where a window manager draws them.
    const QPixmap shot = widget.grab();
    shot.save(QDir(folder).filePath(name + QStringLiteral(".png")));
    std::printf("%s.png\n", qPrintable(name));
}

void ShowAndSave(QDialog& dialog, const QString& folder, const QString& name) {
    dialog.show();
    QApplication::processEvents();
    Save(dialog, folder, name);
    dialog.hide();
}

int RowOf(CEntryListCtrl& list, int number) {
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->text().section(QLatin1Char(' '), 0, 0).toInt() == number) return i;
    }
    return -1;
}

void Activate(CQuorlinView& view, int number) {
    CEntryListCtrl& list = *view.List();
    const int row = RowOf(list, number);
    if (row < 0) return;
    list.SelectRow(row);
    view.ActivateSelection();
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quorlin-screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    CMemorySettingsStore settings;
    SetSettingsStore(&settings);
    CSimUnit unit;
    CSimLink* link = nullptr;
    CGuiHost host;
    host.SetPauser([&link](int ms) {
        if (link != nullptr) link->AdvanceClock(ms);
    });
    CEngineWorker worker;
    {
        CMainFrame frame(worker, host, [&](IHost& h) {
            auto serial = std::make_unique<CSimLink>(unit);
            link = serial.get();
            return std::make_unique<CLibrarian>(h, std::move(serial),
                                                std::make_unique<CSimLink>(unit));
        });
        host.SetParentWindow(&frame);
        worker.SetWindow(&frame);
        frame.View()->InitialUpdate();
        frame.show();
        frame.View()->ShowBanks();
        Save(frame, folder, QStringLiteral("main-banks"));

        Activate(*frame.View(), 0);  // open bank 0
        Activate(*frame.View(), 0);  // load its first program
        frame.resize(640, 420);
        Save(frame, folder, QStringLiteral("main-programs"));

        CAboutDlg about(&frame);
        ShowAndSave(about, folder, QStringLiteral("about"));

        CCommSetupDlg setup(&frame);
        setup.SetSettings(&frame.View()->Engine()->GetLinkSettings());
        setup.m_fnMidiInputs = [] { return QStringList{QStringLiteral("Unit MIDI In")}; };
        setup.m_fnMidiOutputs = [] { return QStringList{QStringLiteral("Unit MIDI Out")}; };
        setup.InitDialog();
        ShowAndSave(setup, folder, QStringLiteral("setup-serial"));
        setup.m_pConnectionType->setCurrentIndex(1);
        setup.ShowConnectionControls(1);
        ShowAndSave(setup, folder, QStringLiteral("setup-midi"));

        CCreateBankDlg create(&frame);
        create.SetBank(7, QStringLiteral("Bank 7"));
        ShowAndSave(create, folder, QStringLiteral("create-bank"));

        CFindPatchDlg find(&frame);
        ShowAndSave(find, folder, QStringLiteral("find-patch"));

        {
            using K = archive::RestoreStep::Kind;
            archive::RestorePlan plan;
            plan.folder = "/home/user/Backups/Quorlin backup 2026-12-10 161500";
            auto step = [&plan](K kind, int bank, const char* name, const char* file = "",
                                const char* backupName = "") {
                archive::RestoreStep s;
                s.kind = kind;
                s.bank = bank;
                s.name = name;
                s.file = file;
                s.backupName = backupName;
                plan.steps.push_back(s);
            };
            step(K::KeepBank, 3, "Live Set", "", "Live");
            step(K::Skip, 3, "Lead Vox");
            step(K::Load, 3, "Big Hall", "03 Live/Big Hall.sig");
            step(K::Load, 3, "Snare Room", "03 Live/Snare Room.sig");
            step(K::CreateBank, 12, "Studio B");
            step(K::Load, 12, "Vocal Plate", "12 Studio B/Vocal Plate.sig");
            step(K::Refuse, 12, "Tape Echo", "12 Studio B/Tape Echo.sig");
            CRestorePlanDlg restorePlan(plan, &frame);
            ShowAndSave(restorePlan, folder, QStringLiteral("restore-plan"));
        }

        frame.View()->OnBack();
        frame.View()->List()->SelectRow(1);
        if (auto menu = frame.View()->List()->BuildContextMenu()) {
            menu->popup(frame.mapToGlobal(QPoint(120, 120)));
            QApplication::processEvents();
            Save(*menu, folder, QStringLiteral("context-menu-bank"));
            menu->hide();
        }

        // View > Communication Log while a bank opens and a program loads.
        if (auto* log = frame.findChild<CCommLogPanel*>(QStringLiteral("CommLogPanel"))) {
            log->show();
            frame.resize(960, 680);
            frame.resizeDocks({log}, {330}, Qt::Vertical);
            Activate(*frame.View(), 0);  // open bank 0
            Activate(*frame.View(), 1);  // load a program
            CLinkTap::Shared()->Flush();
            log->TakeArrived();
            Save(frame, folder, QStringLiteral("comm-log"));
            log->hide();
        }
        frame.close();
    }
    SetSettingsStore(nullptr);
    return 0;
}
