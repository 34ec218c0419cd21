#include "PictureTime.h"

#include "HistoryReconcile.h"

#include <QImageWriter>
#include <QSaveFile>

namespace {

// The picture's time with `dateFormat` (strftime) and its hundredths, or as
// hours, minutes and seconds since the file's start joined by `separator`
// when the start is not known.
QString TimeText(const RecordingIdentity& recording, long long number, const char* dateFormat,
                 const char* separator)
{
    if (number < 0)
        return QString();
    const PreciseTime moment = PictureTime(recording.start.value_or(0), number);
    std::string text;
    if (recording.start)
        text = FormatLocalTime(dateFormat, WholeSeconds(moment));
    if (text.empty()) {
        const long long seconds = WholeSeconds(PictureTime(0, number));
        text = StrFormat("%02lld%s%02lld%s%02lld", seconds / 3600, separator, seconds / 60 % 60, separator,
                         seconds % 60);
    }
    return QString::fromStdString(text) + QStringLiteral(".%1").arg(Hundredths(moment), 2, 10, QLatin1Char('0'));
}

}  // namespace

RecordingIdentity IdentifyRecording(const std::string& path)
{
    RecordingIdentity identity;
    const std::size_t slash = path.rfind('/');
    TimeValue start = 0;
    ParseRecordingName(slash == std::string::npos ? path : path.substr(slash + 1), &identity.camera, &start);
    identity.start = RecordingFirstPicture(path);
    return identity;
}

QString PictureTimeText(const RecordingIdentity& recording, long long number)
{
    return TimeText(recording, number, "%Y-%m-%d %H:%M:%S", ":");
}

QString SnapshotFileName(const RecordingIdentity& recording, long long number)
{
    const QString camera = recording.camera > 0 ? QStringLiteral("摄像头%1 ").arg(recording.camera)
                                                 : QStringLiteral("录像截图 ");
    const QString time = TimeText(recording, std::max(number, 0LL), "%Y-%m-%d %H%M%S", "");
    return camera + time + QStringLiteral(".png");
}

bool SaveSnapshotPng(const QImage& picture, const QString& path, const QString& description, QString* error)
{
    if (picture.isNull()) {
        *error = QStringLiteral("没有可保存的画面");
        return false;
    }
    QImage image = picture;
    image.setText(QStringLiteral("Description"), description);
    QSaveFile file(path);
    QImageWriter writer(&file, "png");
    if (!file.open(QIODevice::WriteOnly) || !writer.write(image) || !file.commit()) {
        *error = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        return false;
    }
    return true;
}
