// The statements of the history list: the rows of a camera and a day,
// newest first; the days that have rows; a recording's row to delete; the
// rows begun since a moment. A filter of kAllFilter narrows nothing.
#pragma once

#include <QString>

#include <string>

// The filters' entry that narrows nothing.
inline const QString kAllFilter = QStringLiteral("全部");

std::string HistoryListStatement(const QString& device, const QString& date);
std::string HistoryDaysStatement(const QString& device);
std::string HistoryDeleteStatement(const QString& path);
// The rows for these filters that began at `since` or later, as listed.
std::string HistoryNewRowsStatement(const QString& device, const QString& date, const QString& since);
