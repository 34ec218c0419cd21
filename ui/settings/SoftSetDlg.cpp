#include "SoftSetDlg.h"

#include "FreeSpace.h"

#include "Autostart.h"

#include "Dialogs.h"
#include "ETButton.h"
#include "Images.h"
#include "RetentionSweep.h"
#include "Settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>

#include <cerrno>
#include <climits>
#include <sys/stat.h>

namespace {

constexpr auto kFont = TemplateFont::ShellDlg8;
const QColor kBlue(68, 154, 232);
const QColor kPaleBlue(224, 238, 245);

// An existing folder, or one new level under an existing folder.
bool EnsureFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).isDir())
        return true;
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0;  // footage: for its owner only
}

}  // namespace

CSoftSetDlg::CSoftSetDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("设置"));
    setFixedSize(DluX(313), DluY(225, kFont));
    SetBackground(this, Qt::white);
    AddLabel(this, QStringLiteral("        录像文件将保存在您设置的路径下。\n\n请确保您设定的目录存在，并有足够的空间来保存数据。"),
             DluRect(42, 11, 203, 30, kFont))->setWordWrap(true);
    AddLabel(this, QString(), DluRect(265, 11, 20, 20, kFont))->setPixmap(QPixmap::fromImage(AppIconImage()));
    AddHeading(this, QStringLiteral("　设置录像保存路径"), DluRect(6, 50, 300, 14, kFont));
    AddLabel(this, QStringLiteral("保存路径"), DluRect(42, 80, 33, 8, kFont));
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setGeometry(DluRect(78, 77, 181, 14, kFont));
    auto* browse = new CETButton(QStringLiteral("选择"), this);
    browse->Bind(DluRect(262, 77, 28, 14, kFont));
    // Under the folder, where the template has nothing.
    m_formatRow = std::make_unique<RecordFormatRow>(this);
    AddHeading(this, QStringLiteral("　设置周期，自动清除录像文件"), DluRect(6, 119, 300, 14, kFont), kPaleBlue, Qt::black);
    AddLabel(this, QStringLiteral("自动清除"), DluRect(42, 152, 33, 8, kFont));
    m_daysCombo = new QComboBox(this);
    m_daysCombo->setEditable(true);
    m_daysCombo->setInsertPolicy(QComboBox::NoInsert);
    m_daysCombo->setCompleter(nullptr);  // what is typed is what is saved: 36 stays 36
    m_daysCombo->setGeometry(DluRect(84, 149, 48, 14, kFont));
    m_daysCombo->addItems({"30", "60", "90", "120", "365"});
    AddLabel(this, QStringLiteral("天前的数据"), DluRect(139, 152, 41, 8, kFont));
    AddFreeSpaceRow();
    auto* cameras = new CETButton(QStringLiteral("摄像头设置"), this);
    cameras->Bind(DluRect(42, 186, 60, 14, kFont));  // left of OK, on the row of nothing else
    cameras->hide();
    m_btnCameras = cameras;
    connect(cameras, &QPushButton::clicked, this, [this] {
        if (m_openCameras)
            m_openCameras();
    });
    auto* remote = new CETButton(QStringLiteral("远程查看"), this);
    remote->Bind(DluRect(106, 186, 50, 14, kFont));  // beside 摄像头设置, where the template has nothing
    remote->hide();
    m_btnRemote = remote;
    connect(remote, &QPushButton::clicked, this, [this] {
        if (m_openRemote)
            m_openRemote();
    });
    // Below the buttons' row, where the template has nothing.
    m_autostart = new QCheckBox(QStringLiteral("开机自动启动（登录后自动运行）"), this);
    m_autostart->setGeometry(DluRect(42, 206, 200, 10, kFont));
    m_autostart->setChecked(IsAutostartOn());
    auto* ok = new CETButton(QStringLiteral("确定"), this);
    ok->Bind(DluRect(247, 186, 50, 14, kFont));
    connect(browse, &QPushButton::clicked, this, &CSoftSetDlg::OnBrowse);
    // The estimate follows the folder typed or chosen to its disk.
    connect(m_pathEdit, &QLineEdit::editingFinished, this, [this] {
        m_formatRow->SetSpace(SpaceForRecordings(m_pathEdit->text().trimmed().toStdString()));
    });
    connect(ok, &QPushButton::clicked, this, &CSoftSetDlg::OnOK);
    // The days are looked at when the field is left or 确定 is asked, not at
    // each key: a number is typed by deleting the old one first.
    m_daysCombo->installEventFilter(this);  // an editable box takes its field's focus
    m_daysCombo->lineEdit()->installEventFilter(this);
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);  // Enter is 确定 wherever the focus is

    m_strPath = QString::fromStdString(ReadSetting(kKeyVideoRootPath));
    m_strDays = QString::fromStdString(ReadSetting(kKeyCycleDelDays));
    ShowStoredTexts();
    m_formatRow->Load();
}

// Below the retention period, clear of the template's own controls.
void CSoftSetDlg::AddFreeSpaceRow()
{
    AddLabel(this, QStringLiteral("保留空间"), DluRect(42, 171, 40, 8, kFont));
    m_freeSpaceEdit = new QLineEdit(this);
    m_freeSpaceEdit->setGeometry(DluRect(84, 168, 48, 14, kFont));
    m_freeSpaceEdit->setMaxLength(9);
    m_freeSpaceEdit->setText(QString::fromStdString(ReadSetting(kKeyMinFreeSpaceMb)));
    AddLabel(this, QStringLiteral("MB（空为自动，0 为不检查）"), DluRect(139, 171, 105, 8, kFont));
}

void CSoftSetDlg::SetCameraSettings(std::function<void()> open)
{
    m_openCameras = std::move(open);
    m_btnCameras->setVisible(static_cast<bool>(m_openCameras));
}

void CSoftSetDlg::SetRemoteView(std::function<void()> open)
{
    m_openRemote = std::move(open);
    m_btnRemote->setVisible(static_cast<bool>(m_openRemote));
}

bool CSoftSetDlg::IsValidFreeSpace(const QString& text)
{
    if (text.isEmpty())
        return true;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return text.size() <= 9;
}

void CSoftSetDlg::ShowStoredTexts()
{
    m_pathEdit->setText(m_strPath);
    // The stored period exactly as stored: a list entry that merely begins
    // with it (3 → 30, 1 → 120) would be saved back by 确定 unasked. No
    // period at all shows the first entry.
    const int match = m_strDays.isEmpty() ? 0 : m_daysCombo->findText(m_strDays, Qt::MatchFixedString);
    if (match >= 0)
        m_daysCombo->setCurrentIndex(match);
    m_daysCombo->setEditText(match >= 0 ? m_daysCombo->itemText(match) : m_strDays);
}

void CSoftSetDlg::TakeFieldTexts()
{
    m_strPath = m_pathEdit->text();
    m_strDays = m_daysCombo->currentText();
}

// The field is left when the focus moves on within the dialog (Tab, a
// click); a message or the list opening is no leaving, and Enter, which is
// 确定, checks it there.
bool CSoftSetDlg::eventFilter(QObject* watched, QEvent* e)
{
    const bool days = watched == m_daysCombo || watched == m_daysCombo->lineEdit();
    if (days && e->type() == QEvent::FocusOut && isVisible() && !m_daysCombo->hasFocus()) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(e)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            !IsValidRetentionDays(m_daysCombo->currentText().toStdString()))
            QMetaObject::invokeMethod(this, &CSoftSetDlg::RefuseDays, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, e);
}

void CSoftSetDlg::RefuseDays()
{
    m_daysCombo->setEditText(QStringLiteral("30"));
    MessageBoxWarning(this, QStringLiteral("请输入数字，周期是以 天 计算的！"));
    m_daysCombo->setFocus();
}

// Enter is 确定: everything is checked and saved as by the button, never a
// close without saving. Escape leaves without saving.
void CSoftSetDlg::keyPressEvent(QKeyEvent* e)
{
    if (IsEnterKey(e))
        return OnOK();
    QDialog::keyPressEvent(e);
}

void CSoftSetDlg::OnBrowse()
{
    QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("选择录像保存的路径"), m_strPath,
                                                       QFileDialog::ShowDirsOnly | kQtFileDialog);
    if (chosen.isEmpty()) {
        TakeFieldTexts();
        return;
    }
    while (chosen.size() > 1 && chosen.endsWith(QLatin1Char('/')))
        chosen.chop(1);
    m_strPath = chosen;
    ShowStoredTexts();
    m_formatRow->SetSpace(SpaceForRecordings(chosen.toStdString()));
}

// Every field is checked before anything is made or stored: a refused
// period never leaves a new folder behind.
void CSoftSetDlg::OnOK()
{
    TakeFieldTexts();
    // A stored period that is no period (empty, 0, letters) is never saved
    // back: the sweep would keep every recording for ever. A typed period
    // must be a whole number; one stored earlier and left as it is only has
    // to read as days.
    const bool unchanged = m_strDays == QString::fromStdString(ReadSetting(kKeyCycleDelDays));
    if (unchanged ? ParseRetentionDays(m_strDays.toStdString()) < 1 : !IsValidRetentionDays(m_strDays.toStdString())) {
        RefuseDays();
        return;
    }
    const QString freeSpace = m_freeSpaceEdit->text().trimmed();
    if (!IsValidFreeSpace(freeSpace)) {
        MessageBoxWarning(this, QStringLiteral("请输入数字，保留空间是以 MB 计算的！"));
        m_freeSpaceEdit->setFocus();
        return;
    }
    if (!EnsureFolder(m_strPath)) {
        MessageBoxWarning(this, QStringLiteral("您设置的目录不正确，请重新选择！"));
        m_pathEdit->setFocus();
        return;
    }
    const std::optional<SpaceInfo> disk = ReadSpace(m_strPath.toStdString());
    if (disk && IsOversizedReserve(freeSpace.toStdString(), disk->totalBytes)) {
        MessageBoxWarning(this, QStringLiteral("保留空间必须小于磁盘容量的一半（%1 MB），请重新输入！")
                                    .arg(disk->totalBytes / 2 / kMiB));
        m_freeSpaceEdit->setFocus();
        return;
    }
    WriteSetting(kKeyVideoRootPath, m_strPath.toStdString());
    WriteSetting(kKeyCycleDelDays, m_strDays.toStdString());
    WriteSetting(kKeyMinFreeSpaceMb, freeSpace.toStdString());
    m_formatRow->Save();
    QString error;
    if (m_autostart->isChecked() != IsAutostartOn() && !SetAutostart(m_autostart->isChecked(), &error))
        MessageBoxWarning(this, error);
    accept();
}
