#include "ui/core/GuiHost.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QThread>
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

void CGuiHost::Present(const QString& text, const QString& caption, Icon icon) {
    emit messageOpening();
    if (m_presenter) {
        m_presenter(text, caption, icon);
    } else {
        QWidget* parent = m_pParentWindow.data();
        if (parent != nullptr && !parent->isVisible()) parent = nullptr;
        QMessageBox box(ToBoxIcon(icon), caption, text, QMessageBox::Ok, parent);
        box.setTextFormat(Qt::PlainText);
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
