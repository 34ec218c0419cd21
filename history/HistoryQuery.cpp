#include "HistoryQuery.h"

#include "JetDialect.h"
#include "TextFormat.h"

namespace {

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

}  // namespace

std::string HistoryListStatement(const QString& device, const QString& date)
{
    const bool anyDevice = device == kAllFilter, anyDate = date == kAllFilter;
    const std::string dev = Utf8(device), day = SqlText(Utf8(date));
    if (!anyDevice && !anyDate)
        return StrFormat("select * from video_save_history where capdrive=%s and Left(start_time,10)='%s' "
                         "order by start_time desc,capdrive asc", dev.c_str(), day.c_str());
    if (!anyDevice)
        return StrFormat("select * from video_save_history where capdrive=%s order by start_time desc,capdrive asc",
                         dev.c_str());
    if (!anyDate)
        return StrFormat("select * from video_save_history where Left(start_time,10)='%s' "
                         "order by start_time desc,capdrive asc", day.c_str());
    return "select * from video_save_history order by start_time desc,capdrive asc";
}

std::string HistoryDaysStatement(const QString& device)
{
    if (device != kAllFilter)
        return StrFormat("SELECT Left(start_time,10) as start_time FROM video_save_history  where capdrive = %s "
                         "GROUP BY Left(start_time,10) ORDER BY Left(start_time,10) DESC", Utf8(device).c_str());
    return "SELECT Left(start_time,10) as start_time FROM video_save_history "
           "GROUP BY Left(start_time,10) ORDER BY Left(start_time,10) DESC";
}

std::string HistoryDeleteStatement(const QString& path)
{
    return StrFormat("DELETE FROM video_save_history  WHERE video_save_path='%s'", SqlText(Utf8(path)).c_str());
}

// The list's own statement with the start bounded: its filters end at the
// first " order by".
std::string HistoryNewRowsStatement(const QString& device, const QString& date, const QString& since)
{
    const std::string listed = HistoryListStatement(device, date);
    const std::size_t order = listed.find(" order by ");
    const std::string filters = listed.substr(0, order);
    const std::string bound = StrFormat("start_time>='%s'", SqlText(since.toStdString()).c_str());
    const bool hasWhere = filters.find(" where ") != std::string::npos;
    return filters + (hasWhere ? " and " : " where ") + bound + listed.substr(order);
}
