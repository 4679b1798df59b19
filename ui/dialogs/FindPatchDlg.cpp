#include "ui/dialogs/FindPatchDlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CFindPatchDlg::CFindPatchDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Find Patch"));
    setObjectName(QStringLiteral("CFindPatchDlg"));
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    auto* label = new QLabel(tr("Find what:"), this);
    m_pText = new QLineEdit(this);
    m_pText->setObjectName(QStringLiteral("1008"));
    m_pText->setMinimumWidth(fontMetrics().averageCharWidth() * 32);
    label->setBuddy(m_pText);
    auto* findNext = new QPushButton(tr("Find Next"), this);
    findNext->setObjectName(QStringLiteral("IDOK"));
    findNext->setDefault(true);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(findNext);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(label, 0, Qt::AlignTop);
    row->addWidget(m_pText, 1, Qt::AlignTop);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setTabOrder(cancel, m_pText);
    setTabOrder(m_pText, findNext);
    connect(findNext, &QPushButton::clicked, this, &CFindPatchDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CFindPatchDlg::reject);
    m_pText->setFocus();
}

void CFindPatchDlg::accept() {
    m_strFindWhat = m_pText->text();
    QDialog::accept();
}
