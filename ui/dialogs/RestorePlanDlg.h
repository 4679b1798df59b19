#pragma once
// The plan of a restore before anything is sent: the steps per bank, as the command line prints
// them, under a check box per bank (all on). OK restores the checked banks, Cancel nothing.
//
// GUI thread only.

#include <QDialog>
#include <vector>

#include "archive/UnitRestore.h"

class QDialogButtonBox;
class QTreeWidget;

class CRestorePlanDlg : public QDialog {
    Q_OBJECT
public:
    CRestorePlanDlg(const archive::RestorePlan& plan, QWidget* parent = nullptr);

    // The banks checked now, in bank order.
    std::vector<int> CheckedBanks() const;

    // For tests: one top-level item per bank (its number as the item's data), its steps as
    // children; the OK and Cancel buttons.
    QTreeWidget* Steps() const { return m_pSteps; }
    QDialogButtonBox* Buttons() const { return m_pButtons; }

private:
    void UpdateOk();

    QTreeWidget* m_pSteps = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;
};
