#pragma once
// "Create Bank": the number (0 to 99, with a spin control) and the name of a new bank. The caller
// proposes them with SetBank, runs the dialog and reads them back after OK. On opening
// the name field has the focus with its whole text selected, so typing replaces it. OK is
// enabled only while the name is a bank name (CBankNameValidator::IsBankName): an empty name, or
// blanks only, is never taken.
//
// GUI thread only.

#include <QDialog>

class QLineEdit;
class QPushButton;
class QSpinBox;

class CCreateBankDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCreateBankDlg(QWidget* parent = nullptr);

    // The number and name shown when the dialog opens.
    void SetBank(int number, const QString& name) {
        m_nBankNumber = number;
        m_strBankName = name;
    }
    // After OK: the number and the name entered.
    int BankNumber() const { return m_nBankNumber; }
    QString BankName() const { return m_strBankName; }

    QSpinBox* NumberField() const { return m_pNumber; }
    QLineEdit* NameField() const { return m_pName; }

    // The refusal of a number outside 0..99 (replaceable by tests).
    std::function<void(const QString&)> m_fnShowRangeMessage;
    static QString RangeMessage() { return tr("Please enter an integer between 0 and 99."); }

    void showEvent(QShowEvent* event) override;
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Takes the fields over into the members; false (after the range message, with the focus
    // back on the number) when the number is outside 0..99.
    bool TakeValues();

    int m_nBankNumber = 0;
    QString m_strBankName;
    QSpinBox* m_pNumber;
    QLineEdit* m_pName;
    QPushButton* m_pOk;
    bool m_bValidating = false;
};
