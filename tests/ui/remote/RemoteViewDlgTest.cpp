// 设置 → 远程查看: what it accepts, what it stores and what it tells the
// owner to type on a phone.
#include "AccountDlg.h"
#include "Certificate.h"
#include "RemoteViewDlg.h"
#include "Settings.h"
#include "store/TempDatabase.h"
#include "ui/ModalAnswerer.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

class RemoteViewDlgTest : public TempDatabaseTest {};

QPushButton* Button(QWidget& dialog, const QString& text)
{
    for (QPushButton* button : dialog.findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    return nullptr;
}

TEST(AccountDlg, WhatIsTypedIsCheckedWithTheReasonSaid)
{
    const struct {
        const char* name;
        const char* password;
        const char* again;
        const char* problem;  // its beginning; empty: none
    } cases[] = {
        {"店主", "shop secret", "shop secret", ""},
        {"", "shop secret", "shop secret", "用户名为"},
        {"shop owner", "shop secret", "shop secret", "用户名为"},
        {"店主", "shop secret", "shop secreT", "两次输入"},
        {"店主", "short", "short", "密码至少"},
    };
    for (const auto& c : cases) {
        const QString problem = CAccountDlg::Problem(QString::fromUtf8(c.name), c.password, c.again);
        EXPECT_TRUE(*c.problem == '\0' ? problem.isEmpty() : problem.startsWith(QString::fromUtf8(c.problem)))
            << c.name << " / " << c.password << ": " << problem.toStdString();
    }
}

TEST(RemoteViewDlg, PortsAndTheAddressesAPhoneCanReach)
{
    const struct {
        const char* text;
        std::uint16_t port;
    } ports[] = {{"8443", 8443}, {" 443 ", 443}, {"0", 0}, {"65536", 0}, {"+80", 0}, {"80a", 0}, {"", 0}, {"-1", 0}};
    for (const auto& p : ports)
        EXPECT_EQ(CRemoteViewDlg::PortFromText(p.text), p.port) << p.text;
    EXPECT_EQ(CRemoteViewDlg::AddressLines({"127.0.0.1", "192.168.1.5", "::1", "fd00::2"}, 8443),
              QStringList({"https://192.168.1.5:8443", "https://[fd00::2]:8443"}));
}

TEST_F(RemoteViewDlgTest, OkStoresTheSwitchAndPortOnlyWhenThePortIsOne)
{
    CRemoteViewDlg dialog;
    dialog.findChild<QCheckBox*>()->setChecked(true);
    QLineEdit* port = dialog.findChild<QLineEdit*>();
    port->setText("70000");
    {
        ModalAnswerer answerer;
        Button(dialog, QStringLiteral("确定"))->click();
        EXPECT_EQ(answerer.Count(QStringLiteral("端口应为 1 到 65535 之间的数字。")), 1);
    }
    EXPECT_EQ(ReadSetting(kKeyRemoteView), "");
    port->setText("9443");
    {
        ModalAnswerer answerer;
        Button(dialog, QStringLiteral("确定"))->click();
        EXPECT_EQ(answerer.Count(QStringLiteral("还没有账户：请添加一个账户，才能从手机登录。")), 1);
    }
    EXPECT_EQ(ReadSetting(kKeyRemoteView), "on");
    EXPECT_EQ(ReadSetting(kKeyRemotePort), "9443");
    bool shown = false;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        shown = shown || label->text().toStdString() == CertificateFingerprint();
    EXPECT_TRUE(shown) << "switching on made the certificate and shows its fingerprint";
}

}  // namespace
