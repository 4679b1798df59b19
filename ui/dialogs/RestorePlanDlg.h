#pragma once
// The plan of a restore before anything is sent, in the user's words: one check box per bank (all
// on), named by its number and name, with the programs it receives, those already present and
// those that cannot be restored; below, the totals of the checked banks ("12 programs into 3
// banks, 2 banks created, 41 present") and how long restoring them takes ("About 4 min"), both
// following the check boxes. OK restores the checked banks, Cancel nothing.
//
// GUI thread only.

#include <QDialog>
#include <vector>

#include "archive/UnitRestore.h"

class QDialogButtonBox;
class QLabel;
class QTreeWidget;

class CRestorePlanDlg : public QDialog {
    Q_OBJECT
public:
    // `plan` must outlive the dialog (it is read again as banks are checked).
    CRestorePlanDlg(const archive::RestorePlan& plan, QWidget* parent = nullptr);

    // The banks checked now, in bank order.
    std::vector<int> CheckedBanks() const;

    // For tests: one top-level item per bank (its number as the item's data), its programs as
    // children; the totals and the estimate of the checked banks; the OK and Cancel buttons.
    QTreeWidget* Steps() const { return m_pSteps; }
    QLabel* TotalsLabel() const { return m_pTotals; }
    QLabel* EstimateLabel() const { return m_pEstimate; }
    QDialogButtonBox* Buttons() const { return m_pButtons; }

private:
    void UpdateOk();
    void UpdateTotals();

    const archive::RestorePlan& m_plan;
    QTreeWidget* m_pSteps = nullptr;
    QLabel* m_pTotals = nullptr;
    QLabel* m_pEstimate = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
};
