#include "PictureTime.h"

#include <algorithm>

#include "HistoryReconcile.h"

#include <QImageWriter>
#include <QSaveFile>
#include <QStringList>

#include <ctime>

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
    TimeValue start = 0;
    ParseRecordingPath(path, &identity.camera, &start);
    identity.start = RecordingFirstPicture(path);
    return identity;
}

// Hours 0 to 23, minutes and seconds 0 to 59; the seconds may be left out.
std::vector<PreciseTime> TimesOfDay(const QString& text, PreciseTime dayOf)
{
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return {};
    int fields[3] = {0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        fields[i] = parts[i].toInt(&ok);
        if (!ok || fields[i] < 0 || fields[i] > (i == 0 ? 23 : 59))
            return {};
    }
    const std::time_t day = static_cast<std::time_t>(WholeSeconds(dayOf));
    std::tm dayParts{};
    if (localtime_r(&day, &dayParts) == nullptr)
        return {};
    // Read as standard time and as summer time: each reading the clock shows
    // as the asked time that day is a moment of it. A time the clock skipped
    // has none; it is then the library's reading, an hour on.
    std::vector<PreciseTime> moments;
    for (int dst : {1, 0, -1}) {
        std::tm local = dayParts;
        local.tm_hour = fields[0];
        local.tm_min = fields[1];
        local.tm_sec = fields[2];
        local.tm_isdst = dst;
        const std::time_t moment = std::mktime(&local);
        std::tm shown{};
        if (moment == static_cast<std::time_t>(-1) || localtime_r(&moment, &shown) == nullptr)
            continue;
        const bool asShown = shown.tm_hour == fields[0] && shown.tm_min == fields[1] && shown.tm_sec == fields[2];
        const PreciseTime at = static_cast<PreciseTime>(moment) * kMicrosPerSecond;
        if ((asShown || (dst == -1 && moments.empty())) && std::find(moments.begin(), moments.end(), at) == moments.end())
            moments.push_back(at);
    }
    std::sort(moments.rbegin(), moments.rend());
    return moments;
}

std::optional<PreciseTime> ParseTimeOfDay(const QString& text, PreciseTime dayOf)
{
    const std::vector<PreciseTime> moments = TimesOfDay(text, dayOf);
    return moments.empty() ? std::nullopt : std::optional<PreciseTime>(moments.front());
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
    // A picture of the footage is for the owner only, as the footage is.
    if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        !writer.write(image) || !file.commit()) {
        *error = file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        return false;
    }
    return true;
}
