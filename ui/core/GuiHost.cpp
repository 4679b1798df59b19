#include "ui/core/GuiHost.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QUrl>
#include <chrono>
#include <thread>

#include "ui/core/UnitText.h"

namespace {

bool OnGuiThread() {
    return QThread::currentThread() == qApp->thread();
}

constexpr int kMinimumBoxWidth = 260;

// A box the user has answered gives the keyboard back to the window it belongs to. A window
// manager does this itself; without one, nobody would, and no key would reach the program.
void ReturnFocus(QWidget* parent) {
    if (parent != nullptr && parent->isVisible()) parent->activateWindow();
}

// The line under a message that names the folder its files went to.
QString FolderLine(const QString& folder) {
    return CGuiHost::tr("Backup folder: %1").arg(QDir::toNativeSeparators(folder));
}

QMessageBox::Icon ToBoxIcon(IHost::Icon icon) {
    switch (icon) {
        case IHost::Icon::Information:
            return QMessageBox::Information;
        case IHost::Icon::Warning:
            return QMessageBox::Warning;
        case IHost::Icon::Error:
            return QMessageBox::Critical;
        case IHost::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

CGuiHost::CGuiHost(QObject* parent) : QObject(parent) {}

void CGuiHost::ShowMessage(const std::string& text, const std::string& caption, Icon icon) {
    const QString qtext = FromUtf8(text);
    const QString qcaption = caption.empty() ? ApplicationTitle() : FromUtf8(caption);
    if (OnGuiThread()) {
        Present(qtext, qcaption, icon);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_shownThisOperation.contains(qtext)) return;
        m_shownThisOperation.insert(qtext);
    }
    QMetaObject::invokeMethod(
        this, [this, qtext, qcaption, icon] { Present(qtext, qcaption, icon); },
        Qt::BlockingQueuedConnection);
}

void CGuiHost::ShowFolderMessage(const QString& text, const QString& folder) {
    Present(text, ApplicationTitle(), Icon::None, folder);
}

void ShowFolderMessage(IHost& host, const QString& text, const QString& folder) {
    if (auto* gui = dynamic_cast<CGuiHost*>(&host)) {
        gui->ShowFolderMessage(text, folder);
        return;
    }
    host.ShowMessage(ToUtf8(text + QStringLiteral("\n\n") + FolderLine(folder)));
}

void CGuiHost::OpenFolder(const QString& folder, QWidget* box) {
    const bool opened = m_folderOpener ? m_folderOpener(folder)
                                       : QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    if (opened) return;
    QMessageBox failed(QMessageBox::Warning, ApplicationTitle(),
                       tr("The folder %1 could not be shown: no file manager could be started. "
                          "The files are there; open the folder with a program of your choice.")
                           .arg(QDir::toNativeSeparators(folder)),
                       QMessageBox::Ok, box);
    failed.setTextFormat(Qt::PlainText);
    failed.exec();
}

bool CGuiHost::AskYesNo(const std::string& text, const std::string& caption) {
    const QString qtext = FromUtf8(text);
    const QString qcaption = caption.empty() ? ApplicationTitle() : FromUtf8(caption);
    bool yes = false;
    const auto ask = [&] {
        emit messageOpening();
        if (m_asker) {
            yes = m_asker(qtext);
        } else {
            QWidget* parent = m_pParentWindow.data();
            if (parent != nullptr && !parent->isVisible()) parent = nullptr;
            QMessageBox box(QMessageBox::Question, qcaption, qtext,
                            QMessageBox::Yes | QMessageBox::No, parent);
            box.setTextFormat(Qt::PlainText);
            box.setDefaultButton(QMessageBox::No);
            yes = box.exec() == QMessageBox::Yes;
            ReturnFocus(parent);
        }
        emit messageClosed();
    };
    if (OnGuiThread())
        ask();
    else
        QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
    return yes;
}

void CGuiHost::BeginOperation() {
    std::lock_guard lock(m_mutex);
    m_shownThisOperation.clear();
}

void CGuiHost::Present(const QString& text, const QString& caption, Icon icon,
                       const QString& folder) {
    emit messageOpening();
    if (m_presenter) {
        m_presenter(text, caption, icon);
    } else {
        QWidget* parent = m_pParentWindow.data();
        if (parent != nullptr && !parent->isVisible()) parent = nullptr;
        QMessageBox box(
            ToBoxIcon(icon), caption,
            folder.isEmpty() ? text : text + QStringLiteral("\n\n") + FolderLine(folder),
            QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);
        if (!folder.isEmpty()) {
            QPushButton* open = box.addButton(tr("Open Folder"), QMessageBox::ActionRole);
            open->setObjectName(QStringLiteral("openFolderButton"));
            // The box stays open: what it says is still to be read beside the folder.
            QObject::disconnect(open, &QAbstractButton::clicked, nullptr, nullptr);
            connect(open, &QAbstractButton::clicked, &box,
                    [this, folder, &box] { OpenFolder(folder, &box); });
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
        }
        // Wide enough for its caption even when the text is short ("Cannot find x").
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
            grid->addItem(new QSpacerItem(kMinimumBoxWidth, 0, QSizePolicy::Minimum,
                                          QSizePolicy::Expanding),
                          grid->rowCount(), 0, 1, grid->columnCount());
        }
        box.exec();
        ReturnFocus(parent);
    }
    emit messageClosed();
}

void CGuiHost::BeginWaitCursor() {
    // While an operation runs on the worker, the worker object shows the wait cursor for the
    // whole operation; only a request on the GUI thread itself needs one of its own.
    if (OnGuiThread()) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CGuiHost::EndWaitCursor() {
    if (OnGuiThread()) QApplication::restoreOverrideCursor();
}

void CGuiHost::Pause(int ms) {
    if (m_pauser) {
        m_pauser(ms);
        return;
    }
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
