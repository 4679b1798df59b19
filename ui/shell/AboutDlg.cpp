#include "ui/shell/AboutDlg.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "quorlin/Version.h"
#include "ui/log/LogFileRecorder.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("About"));
    setObjectName(QStringLiteral("CAboutDlg"));
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/app.png")));
    auto* title =
        new QLabel(tr("Quorlin - Version %1 (b)").arg(QString::fromLatin1(kQuorlinVersion)), this);
    title->setObjectName(QStringLiteral("title"));
    // Where a bug report's evidence is: the log file, when one is being kept.
    auto* log = new QLabel(this);
    log->setObjectName(QStringLiteral("logFile"));
    log->setTextInteractionFlags(Qt::TextSelectableByMouse);
    log->setText(CLogFileRecorder::Instance().Running()
                     ? tr("Log file: %1").arg(CLogFileRecorder::Path())
                     : tr("No log file is kept (start with --verbose, or Options > "
                                      "Keep a Log File)."));
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
    layout->addWidget(log);
    layout->addSpacing(16);
    layout->addLayout(buttons);
    title->setMinimumWidth(fontMetrics().averageCharWidth() * 36);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
