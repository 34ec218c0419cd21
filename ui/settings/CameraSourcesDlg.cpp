#include "CameraSourcesDlg.h"

#include "AddressSecrets.h"

#include "CameraSources.h"
#include "Dialogs.h"
#include "ETButton.h"
#include "MotionZonesDlg.h"
#include "Settings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

#include <pthread.h>

namespace {

const QString kAutomatic = QStringLiteral("自动");
const MotionSensitivity kMotionLevels[] = {MotionSensitivity::kOff, MotionSensitivity::kLow, MotionSensitivity::kMedium,
                                           MotionSensitivity::kHigh};

const char* MotionLevelText(MotionSensitivity level)
{
    switch (level) {
    case MotionSensitivity::kOff:
        return "关";
    case MotionSensitivity::kLow:
        return "低";
    case MotionSensitivity::kHigh:
        return "高";
    case MotionSensitivity::kMedium:
        break;
    }
    return "中";
}

// The first picture of an opened source, upright; empty with `error` set
// when none came.
QImage FirstPicture(CaptureSource& source, std::string* error)
{
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(source.Width()) * source.Height() * 3);
    for (;;) {
        const ReadStatus status = source.ReadFrame(frame.data());
        if (status == ReadStatus::Frame)
            break;
        if (status == ReadStatus::Resized) {  // the first picture differs from the stream's header
            frame.resize(static_cast<std::size_t>(source.Width()) * source.Height() * 3);
            continue;
        }
        if (status != ReadStatus::Again) {
            *error = "no picture came";
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int stride = 3 * source.Width();
    return QImage(frame.data(), source.Width(), source.Height(), stride, QImage::Format_BGR888).mirrored();
}

}  // namespace

CCameraSourcesDlg::CCameraSourcesDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("摄像头设置"));
    SetBackground(this, Qt::white);
    QStringList devices{kAutomatic};
    for (const V4l2Device& device : EnumerateV4l2Devices())
        devices << QString::fromStdString(device.node + "  " + device.name);
    auto* grid = new QGridLayout(this);  // owned by the dialog
    auto* hint = new QLabel(QStringLiteral("每个位置选择“自动”（该位置的 USB 摄像头）、设备文件，或输入网络摄像头地址"
                                           "（rtsp://… 、http://… MJPEG 、tcp://…）："), this);
    hint->setWordWrap(true);
    grid->addWidget(hint, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("移动侦测"), this), 0, 3);
    for (int position = 0; position < kPositions; ++position)
        AddRow(position, devices);
    m_preview = new QLabel(this);
    m_preview->setFixedSize(320, 240);
    m_preview->setAlignment(Qt::AlignCenter);
    SetBackground(m_preview, Qt::black);
    m_preview->setAutoFillBackground(true);
    grid->addWidget(m_preview, 1, 4, kPositions, 1);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    grid->addWidget(m_status, kPositions + 1, 0, 1, 5);
    auto* buttons = new QHBoxLayout;
    auto* ok = new CETButton(QStringLiteral("确定"), this);
    auto* cancel = new CETButton(QStringLiteral("取消"), this);
    for (CETButton* button : {ok, cancel}) {
        button->setFixedSize(75, 23);  // the layout keeps the skinned shape's size
        button->Bind(QRect(0, 0, 75, 23));
    }
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, kPositions + 2, 0, 1, 5);
    connect(ok, &QPushButton::clicked, this, &CCameraSourcesDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CCameraSourcesDlg::~CCameraSourcesDlg()
{
    EndTest();
}

void CCameraSourcesDlg::AddRow(int position, const QStringList& devices)
{
    auto* grid = static_cast<QGridLayout*>(layout());
    grid->addWidget(new QLabel(QStringLiteral("摄像头 %1").arg(position + 1), this), position + 1, 0);
    auto* box = new QComboBox(this);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setMinimumWidth(380);
    box->addItems(devices);
    const std::string stored = ReadSetting(CameraSourceKey(position));
    box->setEditText(stored.empty() ? kAutomatic : QString::fromStdString(RedactPassword(AddressForSourceEntry(stored))));
    grid->addWidget(box, position + 1, 1);
    m_boxes[static_cast<std::size_t>(position)] = box;
    auto* test = new CETButton(QStringLiteral("测试"), this);
    test->setFixedSize(50, 23);
    test->Bind(QRect(0, 0, 50, 23));
    grid->addWidget(test, position + 1, 2);
    connect(test, &QPushButton::clicked, this, [this, position] { OnTest(position); });
    AddMotionBox(position);
}

void CCameraSourcesDlg::AddMotionBox(int position)
{
    auto* motion = new QComboBox(this);
    for (MotionSensitivity level : kMotionLevels)
        motion->addItem(QString::fromUtf8(MotionLevelText(level)), QString::fromLatin1(MotionSensitivityKey(level)));
    const QString stored = QString::fromLatin1(MotionSensitivityKey(ReadMotionSensitivity(position)));
    motion->setCurrentIndex(motion->findData(stored));
    auto* zones = new CETButton(QString(), this);
    zones->setFixedSize(64, 23);
    zones->Bind(QRect(0, 0, 64, 23));
    auto* cell = new QHBoxLayout;
    cell->addWidget(motion);
    cell->addWidget(zones);
    static_cast<QGridLayout*>(layout())->addLayout(cell, position + 1, 3);
    const auto at = static_cast<std::size_t>(position);
    m_motionBoxes[at] = motion;
    m_zoneButtons[at] = zones;
    m_zones[at] = ParseMotionZones(ReadSetting(MotionZoneKey(position)));
    ShowZoneCount(position);
    connect(zones, &QPushButton::clicked, this, [this, position] { OnZones(position); });
}

void CCameraSourcesDlg::ShowZoneCount(int position)
{
    const std::size_t count = Zones(position).size();
    ZonesButton(position)->setText(count == 0 ? QStringLiteral("区域") : QStringLiteral("区域 %1").arg(count));
}

void CCameraSourcesDlg::OnZones(int position)
{
    const auto at = static_cast<std::size_t>(position);
    const QImage picture = !m_tested[at].isNull() ? m_tested[at] : m_live ? m_live(position) : QImage();
    CMotionZonesDlg dialog(position, picture, m_zones[at], this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_zones[at] = dialog.Zones();
    ShowZoneCount(position);
}

namespace {

// The text of a box as an entry's text: "自动" and the listed devices'
// names are read back to what they stand for, and a stored address shown
// with its password hidden stays the stored one; "***" where a secret was
// keeps the stored secret when other parts of the address changed.
std::optional<std::string> EntryOfBox(const QComboBox* box, int position)
{
    QString text = box->currentText().trimmed();
    const std::string stored = ReadSetting(CameraSourceKey(position));
    if (!stored.empty() && text.toStdString() == RedactPassword(AddressForSourceEntry(stored)))
        return stored;
    if (!stored.empty())
        text = QString::fromStdString(RestoreSecrets(text.toStdString(), AddressForSourceEntry(stored)));
    if (text == kAutomatic)
        return std::string();
    if (text.startsWith(QLatin1String("/dev/video")) && text.contains(QLatin1String("  ")))
        text = text.left(text.indexOf(QLatin1String("  ")));
    return SourceEntryForAddress(text.toStdString());
}

}  // namespace

void CCameraSourcesDlg::OnTest(int position)
{
    EndTest();
    const std::optional<std::string> entry = EntryOfBox(SourceBox(position), position);
    if (!entry || entry->empty()) {
        ShowTestResult(position, {}, entry ? QStringLiteral("“自动”使用该位置的 USB 摄像头") : QStringLiteral("这不是摄像头地址"));
        return;
    }
    m_status->setText(QStringLiteral("正在连接 %1 …").arg(QString::fromStdString(RedactedDeviceText(ParseDeviceEntry(*entry)))));
    m_testSource = std::make_unique<CaptureSource>();
    m_tester = std::thread([this, position, device = ParseDeviceEntry(*entry)] {
        pthread_setname_np(pthread_self(), "camera-test");
        std::string error;
        QImage picture = m_testSource->Open(device, &error) ? FirstPicture(*m_testSource, &error) : QImage();
        if (const char* reason = OpenFailureText(m_testSource->LastOpenFailure()); *reason != '\0')
            error = reason;  // in Chinese where the reason is known
        QMetaObject::invokeMethod(this, [this, position, picture, error] {
            ShowTestResult(position, picture, QString::fromStdString(error));
        }, Qt::QueuedConnection);
    });
}

void CCameraSourcesDlg::ShowTestResult(int position, const QImage& picture, const QString& error)
{
    m_tested[static_cast<std::size_t>(position)] = picture;
    m_preview->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture.scaled(m_preview->size(), Qt::KeepAspectRatio)));
    m_status->setText(picture.isNull() ? QStringLiteral("没有图像：%1").arg(error)
                                       : QStringLiteral("连接成功：%1 × %2").arg(picture.width()).arg(picture.height()));
}

// A test still opening is told to give up; its result, if any, is dropped
// with the dialog.
void CCameraSourcesDlg::EndTest()
{
    if (m_testSource)
        m_testSource->RequestStop();
    if (m_tester.joinable())
        m_tester.join();
    m_testSource.reset();
}

void CCameraSourcesDlg::OnOK()
{
    std::array<std::string, kPositions> entries;
    for (int position = 0; position < kPositions; ++position) {
        const std::optional<std::string> entry = EntryOfBox(SourceBox(position), position);
        if (!entry) {
            MessageBoxWarning(this, QStringLiteral("摄像头 %1 的地址不正确，请重新输入！").arg(position + 1));
            SourceBox(position)->setFocus();
            return;
        }
        entries[static_cast<std::size_t>(position)] = *entry;
    }
    EndTest();
    for (int position = 0; position < kPositions; ++position) {
        WriteSetting(MotionSettingKey(position), MotionBox(position)->currentData().toString().toStdString());
        WriteSetting(MotionZoneKey(position), MotionZonesText(Zones(position)));
    }
    m_changed.clear();
    for (int position = 0; position < kPositions; ++position) {
        if (ReadSetting(CameraSourceKey(position)) == entries[static_cast<std::size_t>(position)])
            continue;
        WriteSetting(CameraSourceKey(position), entries[static_cast<std::size_t>(position)]);
        m_changed.push_back(position);
    }
    accept();
}
