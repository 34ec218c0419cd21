// Settings of the program, kept as key-value rows in table soft_set.
#pragma once

#include <string>

inline constexpr const char* kKeyVideoRootPath = "video_root_path";
inline constexpr const char* kKeyCycleDelDays = "cycle_del_video_recd";
// Free space to keep on the recording folder's file system, in MiB: empty
// or absent for automatic, 0 for none.
inline constexpr const char* kKeyMinFreeSpaceMb = "min_free_space_mb";
inline constexpr const char* kKeyRecordFormat = "record_format";
inline constexpr const char* kKeyRemoteView = "remote_view";  // "on" or "off"
inline constexpr const char* kKeyRemotePort = "remote_port";

// The value stored for `key`; empty text when there is none or on failure.
std::string ReadSetting(const std::string& key);

// Stores `value` for `key`, changing the key's row or adding one.
void WriteSetting(const std::string& key, const std::string& value);
