// String resources and the fixed texts of the start-up log.
#pragma once

#include <string>

// The text of string resource `id`; empty text when there is none.
std::string LoadResString(unsigned id);

enum ResStringId : unsigned {
    IDS_ABOUTBOX = 101,
    IDS_VERSION = 103,
    IDS_DELETE_VIDEO_QUESTION = 105,
    AFX_IDS_APP_TITLE = 57344,
};

// The start-up log: each line is written as a first piece when its step
// begins and one of the ending pieces when it ends.
namespace StartupLog {
inline constexpr const char* kCodecBegin = "初始化编码器 ... ";
inline constexpr const char* kCodecOk = "(OK)\r\n";
inline constexpr const char* kDatabaseBegin = "连接数据库  ... ";
inline constexpr const char* kDatabaseOk = " (OK)\r\n";
inline constexpr const char* kDatabaseFailed = "(失败)\r\n";
inline constexpr const char* kMonitorBegin = "初始化监视窗 ...";
inline constexpr const char* kMonitorOk = " (OK)\r\n";
}  // namespace StartupLog
