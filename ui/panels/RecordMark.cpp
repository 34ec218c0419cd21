#include "RecordMark.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

const char* ReasonText(RecordState state)
{
    switch (state) {
    case RecordState::kNoFolder:
        return "没有设置录像文件夹";
    case RecordState::kFolderMissing:
        return "录像文件夹不存在";
    case RecordState::kDiskFull:
        return "磁盘已满";
    case RecordState::kCannotWrite:
        return "录像文件夹不能写入";
    case RecordState::kDiskAway:
        return "录像磁盘没有接上";
    case RecordState::kDiskError:
        return "录像磁盘出错";
    case RecordState::kFolderTaken:
        return "另一个 Lumaro 在用这个录像文件夹";
    default:
        return "";
    }
}

const QString kSeparator = QStringLiteral("：");

}  // namespace

// The rows of a camera that records go on waiting while the database is
// refused, and the file grows: the mark says both.
RecordMark MakeRecordMark(const RecordMarkInput& input)
{
    const QString notRecording = QStringLiteral("未录像");
    if (input.stopped)
        return {false, notRecording + kSeparator + QStringLiteral("监控已停止")};
    if (!input.live)
        return {false, notRecording};
    if (input.state == RecordState::kRecording)
        return {true, input.databaseFailing ? QStringLiteral("录像（数据库不能写入）") : QStringLiteral("录像")};
    const QString reason = QString::fromUtf8(ReasonText(input.state));
    return {false, reason.isEmpty() ? notRecording : notRecording + kSeparator + reason};
}

QString RecordMarkReason(const RecordMark& mark)
{
    const int colon = mark.text.indexOf(kSeparator);
    return mark.recording || colon < 0 ? QString() : mark.text.mid(colon + 1);
}

// A dark box keeps the mark readable over any picture.
void DrawRecordMark(QPainter& painter, const QRect& panel, const QFont& font, const RecordMark& mark)
{
    const QFontMetrics metrics(font);
    const int dot = mark.recording ? metrics.height() - 6 : 0;
    const int gap = mark.recording ? 4 : 0;
    const QRect box(panel.left(), panel.bottom() + 1 - metrics.height(),
                    metrics.horizontalAdvance(mark.text) + dot + gap + 8, metrics.height());
    painter.save();
    painter.fillRect(box, QColor(0, 0, 0, 160));
    if (mark.recording) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(230, 0, 0));
        painter.drawEllipse(QRect(box.left() + 4, box.top() + 3, dot, dot));
    }
    painter.setFont(font);
    painter.setPen(mark.recording ? QColor(255, 255, 255) : QColor(255, 200, 0));
    painter.drawText(box.left() + 4 + dot + gap, box.top() + metrics.ascent(), mark.text);
    painter.restore();
}
