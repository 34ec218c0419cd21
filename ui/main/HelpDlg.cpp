#include "HelpDlg.h"

#include "Dialogs.h"
#include "ETButton.h"
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
        QStringLiteral("\t1.2 如果您设置的保存路径无效，软件会在启动时提示您重新设置。"),
        QStringLiteral("\t1.3 自动清除：只保留最近若干整天的录像。"),
        QStringLiteral("\t1.4 保留空间：磁盘快满时，先删除最早的录像。"),
        QStringLiteral("\t1.5 录像磁盘没有接上或出错时，摄像头照常显示，"),
        QStringLiteral("\t\t磁盘回来以后几秒内自动继续录像。"),
        QStringLiteral("\t1.6 开机自动启动：登录以后自动运行 Lumaro，"),
        QStringLiteral("\t\t停电后来电也能继续录像。"),
        QStringLiteral("\t1.7 录像格式：MPEG-1（兼容）各种播放器都能播放；"),
        QStringLiteral("\t\tH.264（省空间）只用约四分之一的磁盘空间。"),
        QString(),
        QStringLiteral("2 视频监控"),
        QStringLiteral("\t2.1 软件启动后，软件自动检测是否有摄像头"),
        QStringLiteral("\t\t当您插入摄像头后，自动开始捕获图像。"),
        QStringLiteral("\t2.2 摄像头即插即用，无需重启软件。"),
        QStringLiteral("\t2.3 在主界面上，选择 启动或者停止 监控，则 启动或者停止 捕获数据"),
        QStringLiteral("\t2.4 网络摄像头：设置 → 摄像头设置，"),
        QStringLiteral("\t\t填写地址（rtsp://、http://、tcp://）后可先测试。"),
        QStringLiteral("\t2.5 每个画面左下角显示 录像 或 未录像 及原因。"),
        QStringLiteral("\t2.6 双击画面单独放大显示，再双击或按 Esc 返回。"),
        QStringLiteral("\t2.7 移动侦测：在 摄像头设置 中为每个摄像头选择灵敏度，"),
        QStringLiteral("\t\t点 区域 在画面上画出不侦测的地方（风扇、马路等）。"),
        QStringLiteral("\t2.8 远程查看：设置 → 远程查看，开启并添加账户后，"),
        QStringLiteral("\t\t在手机浏览器输入显示的地址，登录即可观看。"),
        QString(),
        QStringLiteral("3 查询历史录像数据"),
        QStringLiteral("\t3.1 点击 主界面的 查询历史"),
        QStringLiteral("\t3.2 查询可根据摄像头或者日期为条件进行查询"),
        QStringLiteral("\t3.3 双击录像记录，即开始播放历史录像"),
        QStringLiteral("\t3.4 右键击录像记录，则为删除记录"),
        QStringLiteral("\t3.5 键盘：回车播放选中的录像，Delete 删除，"),
        QStringLiteral("\t\tTab 在列表、条件、播放器和时间轴之间切换。"),
        QStringLiteral("\t3.6 播放器：空格暂停，左右键前后一秒，PgUp/PgDn 一分钟；"),
        QStringLiteral("\t\t可选 1× 到 16× 速度，上一帧、单帧、跳转到、截图，"),
        QStringLiteral("\t\t以及上一个、下一个移动事件。"),
        QStringLiteral("\t3.7 时间轴：绿色为有录像，红色为移动，紫色为遮挡；"),
        QStringLiteral("\t\t点击即从该时间播放，拖动可导出一段；"),
        QStringLiteral("\t\t滚轮或 +、- 放大缩小，方向键移动光标，回车播放。"),
        QString(),
        QStringLiteral("4 导出录像"),
        QStringLiteral("\t4.1 查询历史 → 导出：选择时间段，保存为 MP4，"),
        QStringLiteral("\t\t同时生成报告和校验文件。"),
        QStringLiteral("\t4.2 报告列出来源录像、缺口、损坏的片段和时间重叠，"),
        QStringLiteral("\t\t可用 sha256sum 核对。"),
        QStringLiteral("\t4.3 命令行：lumaro --export（见 lumaro --help）"),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

CHelpDlg::CHelpDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("帮助 - Lumaro"));
    setFixedSize(DluX(390), DluY(310, kFont));  // a row below the template's for 关闭
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
    auto* close = new CETButton(QStringLiteral("关闭"), this);  // owned by the dialog
    close->Bind(DluRect(332, 294, 50, 13, kFont));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
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
