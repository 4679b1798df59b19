#include "ui/dialogs/CreateBankDlg.h"

#include <QBoxLayout>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolTip>

#include "engine/NameTable.h"
#include "engine/UnitRanges.h"
#include "ui/core/GuiHost.h"
#include "ui/dialogs/BankNameValidator.h"

namespace {

// The number field accepts any digits typed (so an out-of-range number can be refused with a
// message), while its arrows step only within 0..99 and stop at the ends.
class CBankNumberSpin : public QSpinBox {
public:
    explicit CBankNumberSpin(QWidget* parent) : QSpinBox(parent) { setRange(0, 999999); }

    void stepBy(int steps) override {
        setValue(std::clamp(value() + steps, unit_ranges::kFirstBank, unit_ranges::kLastBank));
    }

protected:
    StepEnabled stepEnabled() const override {
        StepEnabled enabled = StepNone;
        if (value() < unit_ranges::kLastBank) enabled |= StepUpEnabled;
        if (value() > unit_ranges::kFirstBank) enabled |= StepDownEnabled;
        return enabled;
    }
};

}  // namespace

CCreateBankDlg::CCreateBankDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Create Bank"));
    setObjectName(QStringLiteral("CCreateBankDlg"));
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    m_pNumber = new CBankNumberSpin(this);
    m_pNumber->setObjectName(QStringLiteral("1024"));
    m_pName = new QLineEdit(this);
    m_pName->setObjectName(QStringLiteral("1023"));
    m_pName->setMaxLength(static_cast<int>(nametable::kMaxNameLength));
    m_pName->setMinimumWidth(fontMetrics().averageCharWidth() * 28);
    auto* form = new QFormLayout;
    form->addRow(tr("Bank Number:"), m_pNumber);
    form->addRow(tr("Bank Name:"), m_pName);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* validator = new CBankNameValidator(this);
    m_pName->setValidator(validator);
    connect(validator, &CBankNameValidator::rejected, this, [this](const QString& message) {
        QToolTip::showText(m_pName->mapToGlobal(QPoint(0, m_pName->height())),
                           CBankNameValidator::ToolTipText(message), m_pName);
    });

    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_pNumber);
    setTabOrder(m_pNumber, m_pName);
    connect(ok, &QPushButton::clicked, this, &CCreateBankDlg::accept);
    m_pOk = ok;
    connect(m_pName, &QLineEdit::textChanged, this, [this](const QString& name) {
        const bool named = CBankNameValidator::IsBankName(name);
        m_pOk->setEnabled(named);
        m_pOk->setToolTip(named ? QString() : CBankNameValidator::BlankNameMessage());
    });
    connect(cancel, &QPushButton::clicked, this, &CCreateBankDlg::reject);
    m_pNumber->installEventFilter(this);
    m_fnShowRangeMessage = [this](const QString& text) {
        QMessageBox::warning(this, CGuiHost::ApplicationTitle(), text);
    };
}

void CCreateBankDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_pNumber->setValue(m_nBankNumber);
    m_pName->setText(m_strBankName);
    m_pName->setFocus();
    m_pName->selectAll();
}

bool CCreateBankDlg::TakeValues() {
    const int number = m_pNumber->value();
    if (!unit_ranges::IsBank(number)) {
        m_bValidating = true;
        m_fnShowRangeMessage(RangeMessage());
        m_pNumber->setFocus();
        m_pNumber->selectAll();
        m_bValidating = false;
        return false;
    }
    m_nBankNumber = number;
    m_strBankName = m_pName->text();
    return true;
}

bool CCreateBankDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pNumber && event->type() == QEvent::FocusOut && !m_bValidating &&
        isVisible()) {
        // Deferred, so the focus change completes before the message takes the focus.
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && !m_bValidating) TakeValues();
        });
    }
    return QDialog::eventFilter(watched, event);
}

void CCreateBankDlg::accept() {
    m_pNumber->interpretText();
    if (!TakeValues()) return;
    // OK is disabled meanwhile; a name without a character is never taken by any other way.
    if (!CBankNameValidator::IsBankName(m_strBankName)) {
        m_pName->setFocus();
        return;
    }
    QDialog::accept();
}
