#pragma once
// "Find Patch": the text to search for. Empty at every opening; Find Next closes it with OK and
// the text in m_strFindWhat.
//
// GUI thread only.

#include <QDialog>

class QLineEdit;

class CFindPatchDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFindPatchDlg(QWidget* parent = nullptr);

    QString m_strFindWhat;
    QLineEdit* TextField() const { return m_pText; }

    void accept() override;

private:
    QLineEdit* m_pText;
};
