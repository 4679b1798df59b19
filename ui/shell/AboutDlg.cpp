#include "ui/shell/AboutDlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "quorlin/Version.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About"));
    setObjectName(QStringLiteral("CAboutDlg"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/app.png")));
    auto* title =
        new QLabel(tr("Quorlin - Version %1 (b)").arg(QString::fromLatin1(kQuorlinVersion)), this);
    title->setObjectName(QStringLiteral("title"));
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addWidget(title, 1, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    title->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
