#include "FindPatchDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CFindPatchDlg::CFindPatchDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Find Patch"));
    setObjectName(QStringLiteral("CFindPatchDlg"));
    const QFontMetrics metrics(font());
    const double dluX = metrics.averageCharWidth() / 4.0;
    const double dluY = metrics.height() / 8.0;
    auto place = [&](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(qRound(x * dluX), qRound(y * dluY), qRound(width * dluX),
                       qRound(height * dluY));
    };
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    place(cancel, 182, 24, 50, 14);
    auto* label = new QLabel(QStringLiteral("Find what:"), this);
    place(label, 4, 8, 34, 8);
    m_pText = new QLineEdit(this);
    m_pText->setObjectName(QStringLiteral("1008"));
    place(m_pText, 47, 7, 128, 12);
    auto* findNext = new QPushButton(QStringLiteral("Find Next"), this);
    findNext->setObjectName(QStringLiteral("IDOK"));
    findNext->setDefault(true);
    place(findNext, 182, 7, 50, 14);
    setTabOrder(cancel, m_pText);
    setTabOrder(m_pText, findNext);
    connect(findNext, &QPushButton::clicked, this, &CFindPatchDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CFindPatchDlg::reject);
    m_pText->setFocus();
    setFixedSize(qRound(238 * dluX), qRound(60 * dluY));
}

void CFindPatchDlg::accept() {
    m_strFindWhat = m_pText->text();
    QDialog::accept();
}
