// 添加 and 修改密码 of the remote view's accounts: a name and a role for a
// new account, and its password typed twice. What is typed is checked here,
// with the reason said in Chinese, before anything is stored.
#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;

class CAccountDlg : public QDialog {
    Q_OBJECT
public:
    // A new account when `name` is empty, else a new password for `name`.
    explicit CAccountDlg(QWidget* parent, const QString& name = QString());

    // Why what is typed cannot be stored; empty when it can.
    static QString Problem(const QString& name, const QString& password, const QString& again);

private:
    void OnOK();

    const bool m_adding;
    QString m_name;
    QLineEdit* m_nameEdit = nullptr;
    QComboBox* m_roleCombo = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_again = nullptr;
};
