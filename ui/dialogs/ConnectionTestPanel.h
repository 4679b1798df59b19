#pragma once
// The "Test" button of the Communications Setup dialog and the lines it shows: the connection
// check (engine/ConnectionCheck.h) over the values the dialog shows, without saving them.
//
// The check runs on a thread of its own, so the dialog stays responsive while it waits for a
// silent unit; each line appears as soon as it is found, and the button is disabled until the
// check ends. A panel closed while its check runs leaves the thread to finish on its own; its
// late lines go nowhere.
//
// GUI thread only (the job given by m_fnMakeJob runs on the check's thread).

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>

#include "engine/ConnectionCheck.h"

class QPlainTextEdit;
class QPushButton;

class CConnectionTestPanel : public QWidget {
    Q_OBJECT
public:
    // One test: runs the check it is given over the values captured when Test was clicked.
    // Called on the check's thread; must not touch widgets.
    using Job = std::function<ConnectionCheckResult(CConnectionCheck&)>;

    explicit CConnectionTestPanel(QWidget* parent = nullptr);

    // Captures the values shown now into a job; called on the GUI thread when Test is clicked.
    std::function<Job()> m_fnMakeJob;
    // The check's waits; tests may shorten them.
    ConnectionCheckTimings m_timings;

    QPushButton* m_pTestButton;
    QPlainTextEdit* m_pLines;

    bool IsRunning() const { return m_bRunning; }
    // Checks still running in this process, also those of panels that are gone.
    static int RunningChecks();
    // The lines shown, one per check.
    QStringList Lines() const;

    // Ends a running check: a wait for the unit ends at once and the port or devices are
    // closed (CConnectionCheck::SetStopToken); testFinished follows within moments. The dialog
    // asks when it closes, and closes once the check has ended, so that the program's own link
    // finds the port free.
    void RequestStop();

public slots:
    // What the Test button does.
    void StartTest();

signals:
    // After the last line: whether the unit answered.
    void testFinished(bool unitAnswered);

private slots:
    void AddLine(const QString& line);
    void Finish(bool unitAnswered);

private:
    bool m_bRunning = false;
    std::stop_source m_stop;
};
