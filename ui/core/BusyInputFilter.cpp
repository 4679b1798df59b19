#include "ui/core/BusyInputFilter.h"

#include <QDropEvent>
#include <QEvent>
#include <QWidget>

#include "ui/core/EngineWorker.h"

CBusyInputFilter::CBusyInputFilter(const CEngineWorker& worker, QObject* parent)
    : QObject(parent), m_worker(worker) {}

void CBusyInputFilter::Install(const CEngineWorker& worker, QWidget* widget) {
    widget->installEventFilter(new CBusyInputFilter(worker, widget));
}

bool CBusyInputFilter::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (!m_worker.IsBusy()) return false;
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            // The drag is told that nothing is taken here.
            static_cast<QDragMoveEvent*>(event)->ignore();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ContextMenu:
            return true;
        case QEvent::Drop:
            static_cast<QDropEvent*>(event)->ignore();
            return true;
        default:
            return false;
    }
}
