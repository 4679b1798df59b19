#include "GuiHost.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <chrono>
#include <thread>

namespace {

bool OnGuiThread() {
    return QThread::currentThread() == qApp->thread();
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
    // The unit's texts are 8-bit; Latin-1 shows every byte as some character.
    const QString qtext = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    const QString qcaption = caption.empty() ? ApplicationTitle() : QString::fromStdString(caption);
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

void CGuiHost::BeginOperation() {
    std::lock_guard lock(m_mutex);
    m_shownThisOperation.clear();
}

void CGuiHost::Present(const QString& text, const QString& caption, Icon icon) {
    if (m_presenter) {
        m_presenter(text, caption, icon);
        return;
    }
    QMessageBox box(ToBoxIcon(icon), caption, text, QMessageBox::Ok, m_pParentWindow.data());
    box.setTextFormat(Qt::PlainText);
    box.exec();
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
