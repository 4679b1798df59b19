#include "ui/core/BusyInputFilter.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWidget>

#include "ui/core/EngineWorker.h"

CBusyInputFilter::CBusyInputFilter(const CEngineWorker& worker, QObject* parent)
    : QObject(parent), m_worker(worker) {}

void CBusyInputFilter::Install(const CEngineWorker& worker, QWidget* widget) {
    widget->installEventFilter(new CBusyInputFilter(worker, widget));
}

bool CBusyInputFilter::Scroll(QObject* watched, int key) {
    auto* area = qobject_cast<QAbstractScrollArea*>(watched);
    if (area == nullptr && watched != nullptr)
        area = qobject_cast<QAbstractScrollArea*>(watched->parent());
    if (area == nullptr) return false;
    QScrollBar* vertical = area->verticalScrollBar();
    QScrollBar* horizontal = area->horizontalScrollBar();
    // Page, Home and End keys go along the way the view scrolls (a list in columns scrolls
    // sideways).
    QScrollBar* along = vertical->maximum() > vertical->minimum() ? vertical : horizontal;
    switch (key) {
        case Qt::Key_Up:
            vertical->triggerAction(QAbstractSlider::SliderSingleStepSub);
            return true;
        case Qt::Key_Down:
            vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            return true;
        case Qt::Key_Left:
            horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub);
            return true;
        case Qt::Key_Right:
            horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            return true;
        case Qt::Key_PageUp:
            along->triggerAction(QAbstractSlider::SliderPageStepSub);
            return true;
        case Qt::Key_PageDown:
            along->triggerAction(QAbstractSlider::SliderPageStepAdd);
            return true;
        case Qt::Key_Home:
            along->triggerAction(QAbstractSlider::SliderToMinimum);
            return true;
        case Qt::Key_End:
            along->triggerAction(QAbstractSlider::SliderToMaximum);
            return true;
        default:
            return false;
    }
}

bool CBusyInputFilter::eventFilter(QObject* watched, QEvent* event) {
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
        case QEvent::KeyRelease:
            return true;
        case QEvent::KeyPress: {
            // Only unmodified keys scroll; every key stays away from the widget.
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier)
                Scroll(watched, key->key());
            return true;
        }
        case QEvent::ContextMenu:
            return true;
        case QEvent::Drop:
            static_cast<QDropEvent*>(event)->ignore();
            return true;
        default:
            return false;
    }
}
