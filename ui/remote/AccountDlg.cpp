#include "AccountDlg.h"

#include "Accounts.h"
#include "Dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

CAccountDlg::CAccountDlg(QWidget* parent, const QString& name) : QDialog(parent), m_adding(name.isEmpty()), m_name(name)
{
    setWindowTitle(m_adding ? QStringLiteral("添加账户") : QStringLiteral("修改密码"));
    auto* form = new QFormLayout(this);
    if (m_adding) {
        m_nameEdit = new QLineEdit(this);
        m_nameEdit->setMaxLength(32);
        form->addRow(QStringLiteral("用户名"), m_nameEdit);
        m_roleCombo = new QComboBox(this);
        m_roleCombo->addItems({QStringLiteral("观看"), QStringLiteral("管理员")});
        form->addRow(QStringLiteral("角色"), m_roleCombo);
    } else {
        form->addRow(QStringLiteral("用户名"), new QLabel(name, this));
    }
    m_password = new QLineEdit(this);
    m_again = new QLineEdit(this);
    for (QLineEdit* edit : {m_password, m_again}) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setMaxLength(128);
    }
    form->addRow(QStringLiteral("密码"), m_password);
    form->addRow(QStringLiteral("再输入一次"), m_again);
    form->addRow(AddOkCancel(this, [this] { OnOK(); }));
}

QString CAccountDlg::Problem(const QString& name, const QString& password, const QString& again)
{
    if (!IsAccountName(name.toStdString()))
        return QStringLiteral("用户名为 1 到 32 个字，不能有空格、引号或斜杠。");
    if (password != again)
        return QStringLiteral("两次输入的密码不一样。");
    if (!IsAcceptablePassword(password.toStdString()))
        return QStringLiteral("密码至少 8 个字母或数字（最多 128 个字节）。");
    return QString();
}

void CAccountDlg::OnOK()
{
    const QString name = m_adding ? m_nameEdit->text() : m_name;
    QString problem = Problem(name, m_password->text(), m_again->text());
    if (problem.isEmpty() && m_adding && FindAccount(name.toStdString()))
        problem = QStringLiteral("已有名为 %1 的账户。").arg(name);
    std::string error;
    const std::string role = m_adding && m_roleCombo->currentIndex() == 1 ? "admin" : "viewer";
    if (problem.isEmpty() &&
        !(m_adding ? AddAccount(name.toStdString(), role, m_password->text().toStdString(), &error)
                   : ChangePassword(name.toStdString(), m_password->text().toStdString(), &error)))
        problem = QStringLiteral("账户没有保存：%1").arg(QString::fromStdString(error));
    if (!problem.isEmpty()) {
        MessageBoxWarning(this, problem);
        return;
    }
    accept();
}
