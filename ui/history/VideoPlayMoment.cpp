// The player's tools for finding a moment: the picture's time, the speed,
// the single step and the snapshot.
#include "VideoPlayDlg.h"

#include "Dialogs.h"
#include "PlayerToolbar.h"
#include "SeekBar.h"

#include <QDir>
#include <QFileDialog>

#include <algorithm>
#include <iterator>

void CVideoPlayDlg::SetSpeed(int speed)
{
    if (std::find(std::begin(CPlayerToolbar::kSpeeds), std::end(CPlayerToolbar::kSpeeds), speed) ==
        std::end(CPlayerToolbar::kSpeeds))
        return;
    m_speed = speed;
    if (m_toolbar->Speed() != speed)
        m_toolbar->SetSpeed(speed);
}

void CVideoPlayDlg::OnStep()
{
    if (State() == Paused)
        m_stepRequested = true;
    else if (State() == Playing)
        OnPlayButton();
}

QString CVideoPlayDlg::TimeText() const
{
    return m_toolbar->TimeText();
}

void CVideoPlayDlg::UpdateTimeLabel()
{
    const long long number = m_shownNumber;
    if (number >= 0)
        m_toolbar->SetTimeText(PictureTimeText(m_recording, number));
}

// The picture is taken at the click: playback goes on while the user
// chooses where it goes.
void CVideoPlayDlg::OnSnapshot()
{
    long long number = -1;
    const QImage picture = ShownPicture(&number);
    if (picture.isNull())
        return MessageBoxWarning(this, QStringLiteral("还没有画面可以截图。"));
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存截图"),
                                                QDir::home().filePath(SnapshotFileName(m_recording, number)),
                                                QStringLiteral("PNG 图片 (*.png)"), nullptr, kQtFileDialog);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    QString error;
    if (!SavePicture(picture, number, path, &error))
        MessageBoxWarning(this, QStringLiteral("截图没有保存：%1").arg(error));
}

bool CVideoPlayDlg::SaveSnapshot(const QString& path, QString* error)
{
    long long number = -1;
    const QImage picture = ShownPicture(&number);
    return SavePicture(picture, number, path, error);
}

QImage CVideoPlayDlg::ShownPicture(long long* number) const
{
    std::lock_guard<std::mutex> lock(m_imageLock);
    *number = m_imageNumber;
    return m_image.copy();
}

bool CVideoPlayDlg::SavePicture(const QImage& picture, long long number, const QString& path, QString* error) const
{
    QString description = QStringLiteral("Lumaro");
    if (m_recording.camera > 0)
        description += QStringLiteral(" 摄像头%1").arg(m_recording.camera);
    description += QStringLiteral(" %1").arg(PictureTimeText(m_recording, number));
    return SaveSnapshotPng(picture, path, description.trimmed(), error);
}

void CVideoPlayDlg::MarkMoments(const std::vector<PreciseTime>& moments)
{
    std::vector<int> values;
    const long long last = LastPictureNumber();
    if (m_recording.start && last > 0)
        for (PreciseTime moment : moments) {
            const long long number = PictureAt(*m_recording.start, moment);
            if (number >= 0 && number <= last)
                values.push_back(static_cast<int>(number * kSeekRange / last));
        }
    m_trackbar->SetMarks(std::move(values));
}
