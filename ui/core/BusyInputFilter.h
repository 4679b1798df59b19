#pragma once
// Holds back the user's input to a widget while the engine worker runs an operation, so that
// nothing the user does there starts a second operation or changes what the running one works
// on (the selection, the list's contents). Installed on the widgets that take such input (the
// list and its viewport, the view), never on the application: other windows, the progress
// dialog and message boxes are not touched.
//
// Refused while busy: mouse presses, double clicks and moves (a move with the button held would
// select), keys, context menus, drags entering or dropped. A button release still passes, so
// that a gesture begun before the operation sees its end; the wheel passes (it only scrolls), and
// so do the scroll bars. In a scrolled widget (the list) the arrow, page, Home and End keys
// scroll its view instead of moving the current entry, so that a long operation (a bank's naming
// takes half a minute) leaves the window readable.
//
// GUI thread only.

#include <QObject>

class CEngineWorker;
class QWidget;

class CBusyInputFilter : public QObject {
    Q_OBJECT
public:
    CBusyInputFilter(const CEngineWorker& worker, QObject* parent);

    // Installs a filter of `worker` on `widget` (owned by the widget).
    static void Install(const CEngineWorker& worker, QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Scrolls the view of the scroll area `watched` belongs to as `key` would move through it;
    // false when `key` is no such key or `watched` is in no scroll area.
    static bool Scroll(QObject* watched, int key);

    const CEngineWorker& m_worker;
};
