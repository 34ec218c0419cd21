#include "AboutDlg.h"

#include "Dialogs.h"
#include "ETButton.h"
#include "Images.h"
#include "ResString.h"

namespace {
constexpr auto kFont = TemplateFont::SimSun9;
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("关于 Lumaro"));
    setFixedSize(DluX(280), DluY(149, kFont));
    SetBackground(this, Qt::white);
    AddLabel(this, QString(), DluRect(11, 13, 20, 20, kFont))->setPixmap(QPixmap::fromImage(AppIconImage()));
    AddLabel(this, QStringLiteral("欢迎使用 Lumaro 您的安防助手"), DluRect(66, 11, 121, 8, kFont));
    AddHeading(this, QStringLiteral("  Lumaro %1 版").arg(QString::fromStdString(LoadResString(IDS_VERSION))),
               DluRect(40, 29, 236, 13, kFont));
    m_version = AddLabel(this, QStringLiteral("软件版本  ") + QString::fromStdString(LoadResString(IDS_VERSION)),
                         DluRect(66, 54, 114, 8, kFont));
    auto* ok = new CETButton(QStringLiteral("确定"), this);
    ok->Bind(DluRect(211, 54, 50, 16, kFont));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString CAboutDlg::VersionLine() const
{
    return m_version->text();
}
