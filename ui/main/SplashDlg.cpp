#include "SplashDlg.h"

#include "Dialogs.h"
#include "ETTransTitle.h"
#include "Images.h"
#include "ResString.h"

namespace {
constexpr auto kFont = TemplateFont::ShellDlg8;
}

CSplashDlg::CSplashDlg(QWidget* owner) : QDialog(owner, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setFixedSize(DluX(331), DluY(186, kFont));
    SetBackground(this, Qt::white);
    auto* picture = AddLabel(this, QString(), rect());
    picture->setPixmap(QPixmap::fromImage(SplashImage()).scaled(size()));
    auto* title = new CETTransTitle(QStringLiteral("L u m a r o"), this);
    title->setGeometry(DluRect(191, 113, 77, 14, kFont));
    title->SetBold();
    title->UseLargeFont();
    m_version = AddLabel(this, QStringLiteral("软件版本   ") + QString::fromStdString(LoadResString(IDS_VERSION)),
                         DluRect(194, 143, 130, 8, kFont));
    AddLabel(this, QStringLiteral("您的安防助手"), DluRect(272, 118, 49, 8, kFont));
}

QString CSplashDlg::VersionLine() const
{
    return m_version->text();
}
