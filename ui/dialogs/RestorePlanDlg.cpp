#include "ui/dialogs/RestorePlanDlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/core/UnitText.h"

CRestorePlanDlg::CRestorePlanDlg(const archive::RestorePlan& plan, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CRestorePlanDlg"));
    setWindowTitle(tr("Restore Backup to Unit"));
    auto* layout = new QVBoxLayout(this);
    auto* intro =
        new QLabel(tr("Restoring %1\n\nThese steps make every backed-up user program present "
                      "again. Banks left unchecked are not touched.")
                       .arg(QDir::toNativeSeparators(FromFilePath(plan.folder))),
                   this);
    intro->setWordWrap(true);
    intro->setTextFormat(Qt::PlainText);
    layout->addWidget(intro);

    m_pSteps = new QTreeWidget(this);
    m_pSteps->setHeaderHidden(true);
    m_pSteps->setRootIsDecorated(true);
    m_pSteps->setSelectionMode(QAbstractItemView::NoSelection);
    QTreeWidgetItem* bankItem = nullptr;
    int bankOf = -1;
    for (const auto& step : plan.steps) {
        if (bankItem == nullptr || step.bank != bankOf) {
            bankOf = step.bank;
            bankItem = new QTreeWidgetItem(m_pSteps, {tr("Bank %1").arg(step.bank)});
            bankItem->setData(0, Qt::UserRole, step.bank);
            bankItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            bankItem->setCheckState(0, Qt::Checked);
        }
        auto* item = new QTreeWidgetItem(bankItem, {QString::fromUtf8(archive::StepLine(step))});
        item->setFlags(Qt::ItemIsEnabled);
    }
    m_pSteps->expandAll();
    m_pSteps->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_pSteps, 1);

    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pButtons->button(QDialogButtonBox::Ok)->setText(tr("Restore"));
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pSteps, &QTreeWidget::itemChanged, this, [this] { UpdateOk(); });
    layout->addWidget(m_pButtons);
    resize(520, 420);
}

std::vector<int> CRestorePlanDlg::CheckedBanks() const {
    std::vector<int> banks;
    for (int i = 0; i < m_pSteps->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_pSteps->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            banks.push_back(item->data(0, Qt::UserRole).toInt());
    }
    return banks;
}

void CRestorePlanDlg::UpdateOk() {
    // With no bank checked there is nothing to restore.
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(!CheckedBanks().empty());
}
