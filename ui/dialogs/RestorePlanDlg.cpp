#include "ui/dialogs/RestorePlanDlg.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "archive/RestoreTotals.h"
#include "engine/WorkEstimate.h"
#include "ui/core/UnitText.h"

namespace {

// The name a bank goes by in the plan: the unit's, or the one it is created with.
QString BankName(const archive::RestorePlan& plan, int bank) {
    const auto known = plan.bankNames.find(bank);
    if (known != plan.bankNames.end()) return FromUtf8(known->second);
    for (const auto& step : plan.steps)
        if (step.bank == bank && (step.kind == archive::RestoreStep::Kind::CreateBank ||
                                  step.kind == archive::RestoreStep::Kind::KeepBank))
            return FromUtf8(step.name);
    return {};
}

QString StepText(const archive::RestoreStep& step) {
    using K = archive::RestoreStep::Kind;
    const QString name = FromUtf8(step.name);
    switch (step.kind) {
        case K::CreateBank:
            return CRestorePlanDlg::tr("New bank, created as “%1”").arg(name);
        case K::KeepBank:
            return CRestorePlanDlg::tr("Keeps its name (the backup calls it “%1”)")
                .arg(FromUtf8(step.backupName));
        case K::Skip:
            return CRestorePlanDlg::tr("%1 (already on the unit)").arg(name);
        case K::Load:
            return name;
        case K::Refuse:
            if (step.missing)
                return CRestorePlanDlg::tr("%1 cannot be restored: its file is missing").arg(name);
            if (step.reason.empty())
                return CRestorePlanDlg::tr(
                           "%1 cannot be restored: its file has changed since the backup")
                    .arg(name);
            return CRestorePlanDlg::tr("%1 cannot be restored: %2")
                .arg(name, FromUtf8(step.reason));
    }
    return {};
}

QString Programs(int n) {
    return n == 1 ? CRestorePlanDlg::tr("1 program") : CRestorePlanDlg::tr("%1 programs").arg(n);
}

QString Banks(int n) {
    return n == 1 ? CRestorePlanDlg::tr("1 bank") : CRestorePlanDlg::tr("%1 banks").arg(n);
}

QString IntoBanks(int n) {
    return n == 1 ? CRestorePlanDlg::tr("into 1 bank")
                  : CRestorePlanDlg::tr("into %1 banks").arg(n);
}

QString ShownTotals(const archive::RestoreTotals& t) {
    QString text = CRestorePlanDlg::tr("%1 %2, %3 created, %4 present")
                       .arg(Programs(t.programs), IntoBanks(t.banks), Banks(t.banksCreated))
                       .arg(t.present);
    if (t.refused > 0)
        text =
            CRestorePlanDlg::tr("%1, %2 cannot be restored").arg(text, QString::number(t.refused));
    return text;
}

QString ShownEstimate(std::int64_t ms) {
    const estimate::Spoken s = estimate::Speak(ms);
    switch (s.unit) {
        case estimate::Spoken::Unit::Seconds:
            return CRestorePlanDlg::tr("About %1 s").arg(s.amount);
        case estimate::Spoken::Unit::Minutes:
            return CRestorePlanDlg::tr("About %1 min").arg(s.amount);
        case estimate::Spoken::Unit::Hours:
            return s.minutes == 0
                       ? CRestorePlanDlg::tr("About %1 h").arg(s.amount)
                       : CRestorePlanDlg::tr("About %1 h %2 min").arg(s.amount).arg(s.minutes);
    }
    return {};
}

}  // namespace

CRestorePlanDlg::CRestorePlanDlg(const archive::RestorePlan& plan, QWidget* parent)
    : QDialog(parent), m_plan(plan) {
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
    QList<QTreeWidgetItem*> withWork;
    for (const auto& step : plan.steps) {
        if (bankItem == nullptr || step.bank != bankOf) {
            bankOf = step.bank;
            const QString name = BankName(plan, step.bank);
            bankItem = new QTreeWidgetItem(
                m_pSteps,
                {name.isEmpty() ? tr("Bank %1").arg(step.bank)
                                : tr("Bank %1 “%2”").arg(QString::number(step.bank), name)});
            bankItem->setData(0, Qt::UserRole, step.bank);
            bankItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            bankItem->setCheckState(0, Qt::Checked);
        }
        // A bank whose programs are all present needs nothing: it stays folded, so that the
        // banks with work stand out.
        if (step.kind != archive::RestoreStep::Kind::Skip && !withWork.contains(bankItem))
            withWork << bankItem;
        auto* item = new QTreeWidgetItem(bankItem, {StepText(step)});
        // The plan's line, as the command line prints it, for whoever wants the file.
        item->setToolTip(0, FromUtf8(archive::StepLine(step)));
        item->setFlags(Qt::ItemIsEnabled);
    }
    for (QTreeWidgetItem* item : withWork) item->setExpanded(true);
    m_pSteps->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_pSteps, 1);

    m_pTotals = new QLabel(this);
    m_pTotals->setObjectName(QStringLiteral("totals"));
    m_pTotals->setTextFormat(Qt::PlainText);
    m_pTotals->setWordWrap(true);
    layout->addWidget(m_pTotals);
    m_pEstimate = new QLabel(this);
    m_pEstimate->setObjectName(QStringLiteral("estimate"));
    m_pEstimate->setTextFormat(Qt::PlainText);
    layout->addWidget(m_pEstimate);

    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pButtons->button(QDialogButtonBox::Ok)->setText(tr("Restore"));
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pSteps, &QTreeWidget::itemChanged, this, [this] {
        UpdateOk();
        UpdateTotals();
    });
    layout->addWidget(m_pButtons);
    UpdateTotals();
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

void CRestorePlanDlg::UpdateTotals() {
    const std::vector<int> banks = CheckedBanks();
    const archive::RestoreTotals totals = archive::Totals(m_plan, banks);
    m_pTotals->setText(ShownTotals(totals));
    // Nothing to send: no time to tell.
    m_pEstimate->setText(totals.programs > 0 || totals.banksCreated > 0
                             ? ShownEstimate(archive::EstimateMs(m_plan, banks))
                             : QString());
}
