#include "RecordingDeletion.h"

#include "ResString.h"

namespace {

// Enough lines for a question on any screen; the rest are counted.
constexpr std::size_t kNamedAtMost = 10;

QString Line(const ListedRecording& recording)
{
    return QStringLiteral("摄像头 %1　%2　%3").arg(recording.camera, recording.start, recording.path);
}

}  // namespace

QString DeleteQuestion(const std::vector<ListedRecording>& recordings)
{
    if (recordings.size() == 1)
        return QString::fromStdString(LoadResString(IDS_DELETE_VIDEO_QUESTION)) + QStringLiteral("\n\n") +
               Line(recordings.front());
    QString text = QStringLiteral("是否要删除这 %1 个录像文件？\n").arg(recordings.size());
    for (std::size_t i = 0; i < recordings.size() && i < kNamedAtMost; ++i)
        text += QLatin1Char('\n') + Line(recordings[i]);
    if (recordings.size() > kNamedAtMost)
        text += QStringLiteral("\n……还有 %1 个").arg(recordings.size() - kNamedAtMost);
    return text;
}
