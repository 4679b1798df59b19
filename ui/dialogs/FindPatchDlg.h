#pragma once
// "Find Patch": the text to search for. Empty at every opening; Find Next closes it with OK and
// the text in FindWhat().
//
// GUI thread only.

#include <QDialog>

class QLineEdit;

class CFindPatchDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFindPatchDlg(QWidget* parent = nullptr);

    QString FindWhat() const { return m_strFindWhat; }
    QLineEdit* TextField() const { return m_pText; }

    void accept() override;

private:
    QString m_strFindWhat;
    QLineEdit* m_pText;
};
