#include "AboutDlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About"));
    setObjectName(QStringLiteral("CAboutDlg"));
    const QFontMetrics metrics(font());
    const double dluX = metrics.averageCharWidth() / 4.0;
    const double dluY = metrics.height() / 8.0;
    auto place = [&](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(qRound(x * dluX), qRound(y * dluY), qRound(width * dluX),
                       qRound(height * dluY));
    };
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/app.png")));
    place(icon, 11, 17, 20, 20);
    auto* title = new QLabel(QStringLiteral("Quorlin - Version 1.1.0 (b)"), this);
    title->setObjectName(QStringLiteral("title"));
    place(title, 40, 10, 119, 8);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    place(ok, 178, 50, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(qRound(235 * dluX), qRound(71 * dluY));
}
