#include "HelpDlg.h"

#include "Dialogs.h"
#include "Images.h"
#include "Profile.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QPlainTextEdit>

namespace {
constexpr auto kFont = TemplateFont::ShellDlg8;
}

bool CHelpDlg::ShowAtStart()
{
    return GetProfileInt(QStringLiteral("start"), QStringLiteral("show_help"), 1) == 1;
}

QString CHelpDlg::HelpText()
{
    const QString rule(68, QLatin1Char('='));
    const QStringList lines = {
        rule,
        QStringLiteral("Lumaro 使用帮助"),
        rule,
        QStringLiteral("  系统环境　LINUX"),
        QStringLiteral("  安　　装　摄像头 和 摄像头驱动"),
        QString(),
        QStringLiteral("1 请正确 设置 录像文件保存的路径"),
        QStringLiteral("\t1.1 请在 主界面中 点击 设置。"),
        QStringLiteral("\t1.2 如果你设置的保存路径无效，软件会在启动时提示你重新设置。"),
        QString(),
        QStringLiteral("2 视频监控"),
        QStringLiteral("\t2.1 软件启动后，软件自动检测是否有摄像头"),
        QStringLiteral("\t\t当你插入摄像头后，自动开始捕获图像。"),
        QStringLiteral("\t2.2 摄像头即插即用，无需重启软件。"),
        QStringLiteral("\t2.3 在主界面上，选择 启动或者停止 监控，则 启动或者停止 捕获数据"),
        QString(),
        QStringLiteral("3 查询历史录像数据"),
        QStringLiteral("\t3.1 点击 主界面的 查询历史"),
        QStringLiteral("\t3.2 查询可根据摄像头或者日期为条件进行查询"),
        QStringLiteral("\t3.3 双击录像记录，及开始播放历史录像"),
        QStringLiteral("\t3.4 右键击录像记录，则为删除记录"),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

CHelpDlg::CHelpDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("帮助 - Lumaro"));
    setFixedSize(DluX(390), DluY(292, kFont));
    SetBackground(this, Qt::white);
    auto* icon = AddLabel(this, QString(), DluRect(9, 6, 20, 20, kFont));
    icon->setPixmap(QPixmap::fromImage(AppIconImage()));
    AddLabel(this, QStringLiteral("使用 Lumaro 软件，请参考使用提示"), DluRect(57, 12, 133, 8, kFont));
    AddHeading(this, QStringLiteral("  Lumaro使用提示"), DluRect(2, 30, 385, 12, kFont));
    m_text = new QPlainTextEdit(this);
    m_text->setGeometry(DluRect(13, 49, 364, 233, kFont));
    m_text->setReadOnly(true);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setPlainText(HelpText());
    m_check = new QCheckBox(QStringLiteral("启动时提示"), this);
    m_check->setGeometry(DluRect(332, 281, 56, 10, kFont));
    m_check->setChecked(ShowAtStart());
    connect(m_check, &QCheckBox::clicked, this, &CHelpDlg::OnCheckShowHelp);
}

void CHelpDlg::OnCheckShowHelp()
{
    WriteProfileInt(QStringLiteral("start"), QStringLiteral("show_help"), m_check->isChecked() ? 1 : 0);
}

void CHelpDlg::keyPressEvent(QKeyEvent* e)
{
    if (IsEnterKey(e))
        return accept();
    QDialog::keyPressEvent(e);
}
