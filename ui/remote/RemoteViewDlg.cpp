#include "RemoteViewDlg.h"

#include "AccountDlg.h"
#include "Accounts.h"
#include "Certificate.h"
#include "Dialogs.h"
#include "RemoteServer.h"
#include "Settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QLabel* Heading(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(QStringLiteral("　") + text, parent);
    label->setStyleSheet(QStringLiteral("background:rgb(68,154,232);color:white;padding:3px"));
    return label;
}

QLabel* Selectable(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

QString RoleText(const std::string& role)
{
    return role == "admin" ? QStringLiteral("管理员") : QStringLiteral("观看");
}

}  // namespace

CRemoteViewDlg::CRemoteViewDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("远程查看"));
    SetBackground(this, Qt::white);
    auto* layout = new QVBoxLayout(this);
    m_on = new QCheckBox(QStringLiteral("开启远程查看（用手机或其他电脑的浏览器看摄像头）"), this);
    m_on->setChecked(RemoteViewOn(ReadSetting(kKeyRemoteView)));
    layout->addWidget(m_on);
    auto* portRow = new QHBoxLayout;
    m_port = new QLineEdit(QString::number(ParseRemotePort(ReadSetting(kKeyRemotePort))), this);
    m_port->setMaxLength(5);
    m_port->setFixedWidth(80);
    portRow->addWidget(new QLabel(QStringLiteral("端口"), this));
    portRow->addWidget(m_port);
    portRow->addWidget(new QLabel(QStringLiteral("（1 到 65535，默认 8443）"), this));
    portRow->addStretch();
    layout->addLayout(portRow);
    layout->addWidget(Heading(this, QStringLiteral("账户")));
    m_accounts = new QTableWidget(0, 3, this);
    m_accounts->setHorizontalHeaderLabels({QStringLiteral("用户名"), QStringLiteral("角色"), QStringLiteral("添加时间")});
    m_accounts->horizontalHeader()->setStretchLastSection(true);
    m_accounts->verticalHeader()->hide();
    m_accounts->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_accounts->setSelectionMode(QAbstractItemView::SingleSelection);
    m_accounts->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_accounts->setMinimumHeight(120);
    layout->addWidget(m_accounts);
    auto* accountButtons = new QHBoxLayout;
    const std::pair<QString, void (CRemoteViewDlg::*)()> actions[] = {{QStringLiteral("添加"), &CRemoteViewDlg::OnAdd},
                                                                     {QStringLiteral("删除"), &CRemoteViewDlg::OnRemove},
                                                                     {QStringLiteral("修改密码"), &CRemoteViewDlg::OnChangePassword}};
    for (const auto& [text, action] : actions) {
        auto* button = new QPushButton(text, this);
        connect(button, &QPushButton::clicked, this, action);
        accountButtons->addWidget(button);
    }
    accountButtons->addStretch();
    layout->addLayout(accountButtons);
    layout->addWidget(Heading(this, QStringLiteral("在手机浏览器中输入")));
    m_addresses = Selectable(this);
    layout->addWidget(m_addresses);
    layout->addWidget(Heading(this, QStringLiteral("证书指纹（SHA-256，与浏览器显示的相同才继续）")));
    m_fingerprint = Selectable(this);
    m_fingerprint->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 8));
    layout->addWidget(m_fingerprint);
    layout->addWidget(AddOkCancel(this, [this] { OnOK(); }));
    connect(m_port, &QLineEdit::textChanged, this, &CRemoteViewDlg::ShowAddresses);
    connect(m_on, &QCheckBox::toggled, this, &CRemoteViewDlg::ShowFingerprint);
    resize(520, 500);
    LoadAccounts();
    ShowAddresses();
    ShowFingerprint();
}

QStringList CRemoteViewDlg::AddressLines(const QStringList& addresses, std::uint16_t port)
{
    QStringList lines;
    for (const QString& address : addresses) {
        if (address.startsWith(QStringLiteral("127.")) || address == QStringLiteral("::1"))
            continue;  // this PC only
        const QString host = address.contains(':') ? QStringLiteral("[%1]").arg(address) : address;
        lines << QStringLiteral("https://%1:%2").arg(host).arg(port);
    }
    return lines;
}

std::uint16_t CRemoteViewDlg::PortFromText(const QString& text)
{
    bool number = false;
    const int port = text.trimmed().toInt(&number);
    return number && port >= 1 && port <= 65535 && !text.trimmed().startsWith('+') ? static_cast<std::uint16_t>(port) : 0;
}

void CRemoteViewDlg::LoadAccounts()
{
    m_accounts->setRowCount(0);
    for (const AccountRow& row : ReadAccounts()) {
        const int at = m_accounts->rowCount();
        m_accounts->insertRow(at);
        m_accounts->setItem(at, 0, new QTableWidgetItem(QString::fromStdString(row.name)));
        m_accounts->setItem(at, 1, new QTableWidgetItem(RoleText(row.role)));
        m_accounts->setItem(at, 2, new QTableWidgetItem(QString::fromStdString(row.created)));
    }
}

void CRemoteViewDlg::ShowAddresses()
{
    const std::uint16_t port = PortFromText(m_port->text());
    QStringList addresses;
    for (const std::string& address : HostAddresses())
        addresses << QString::fromStdString(address);
    const QStringList lines = AddressLines(addresses, port);
    m_addresses->setText(port == 0       ? QStringLiteral("端口应为 1 到 65535 之间的数字。")
                         : lines.isEmpty() ? QStringLiteral("这台电脑没有连上网络。")
                                           : lines.join('\n'));
}

// The certificate is made when the remote view is first switched on, so
// its fingerprint can be told before the phone first asks.
void CRemoteViewDlg::ShowFingerprint()
{
    std::string error;
    if (!m_on->isChecked() && CertificateFingerprint().empty()) {
        m_fingerprint->setText(QStringLiteral("开启远程查看后生成。"));
        return;
    }
    const std::string fingerprint = EnsureCertificate(&error) ? CertificateFingerprint() : std::string();
    m_fingerprint->setText(fingerprint.empty() ? QStringLiteral("证书无法读取：%1").arg(QString::fromStdString(error))
                                               : QString::fromStdString(fingerprint));
}

// The chosen account's name; none chosen is said.
QString CRemoteViewDlg::SelectedAccount()
{
    const QList<QTableWidgetItem*> chosen = m_accounts->selectedItems();
    if (chosen.isEmpty())
        MessageBoxInformation(this, QStringLiteral("请先选择一个账户。"));
    return chosen.isEmpty() ? QString() : m_accounts->item(chosen.first()->row(), 0)->text();
}

void CRemoteViewDlg::OnAdd()
{
    CAccountDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        LoadAccounts();
}

// A removed account's viewers are logged out within a second.
void CRemoteViewDlg::OnRemove()
{
    const QString name = SelectedAccount();
    if (name.isEmpty())
        return;
    if (!MessageBoxYesNo(this, QStringLiteral("确定删除账户 %1 吗？").arg(name), true))
        return;
    std::string error;
    if (!RemoveAccount(name.toStdString(), &error))
        MessageBoxWarning(this, QStringLiteral("账户没有删除：%1").arg(QString::fromStdString(error)));
    LoadAccounts();
}

void CRemoteViewDlg::OnChangePassword()
{
    const QString name = SelectedAccount();
    if (name.isEmpty())
        return;
    CAccountDlg dialog(this, name);
    dialog.exec();
}

void CRemoteViewDlg::OnOK()
{
    const std::uint16_t port = PortFromText(m_port->text());
    if (port == 0) {
        MessageBoxWarning(this, QStringLiteral("端口应为 1 到 65535 之间的数字。"));
        return;
    }
    WriteSetting(kKeyRemoteView, m_on->isChecked() ? "on" : "off");
    WriteSetting(kKeyRemotePort, std::to_string(port));
    if (m_on->isChecked() && m_accounts->rowCount() == 0)
        MessageBoxInformation(this, QStringLiteral("还没有账户：请添加一个账户，才能从手机登录。"));
    accept();
}
