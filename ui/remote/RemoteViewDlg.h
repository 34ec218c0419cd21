// 设置 → 远程查看: 开启远程查看 and the port (stored by 确定), the accounts
// (添加 / 删除 / 修改密码, stored at once, as the command line does), the
// certificate's SHA-256 fingerprint to compare with what the phone shows,
// and the addresses to type on the phone.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableWidget;

class CRemoteViewDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRemoteViewDlg(QWidget* parent = nullptr);

    // "https://ADDRESS:PORT" for each address of this PC a phone can reach.
    static QStringList AddressLines(const QStringList& addresses, std::uint16_t port);
    // The port typed: 1 to 65535; 0 for anything else.
    static std::uint16_t PortFromText(const QString& text);

private:
    void LoadAccounts();
    void ShowAddresses();
    void ShowFingerprint();
    QString SelectedAccount();
    void OnAdd();
    void OnRemove();
    void OnChangePassword();
    void OnOK();

    QCheckBox* m_on = nullptr;
    QLineEdit* m_port = nullptr;
    QTableWidget* m_accounts = nullptr;
    QLabel* m_addresses = nullptr;
    QLabel* m_fingerprint = nullptr;
};
