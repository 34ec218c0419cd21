// The process-wide registry of the recording files that are being written
// right now. On Linux an open file can be deleted without error, and whatever
// the camera writes afterwards is lost, so deleters ask here first.
#pragma once

#include <string>
#include <vector>

void AddOpenRecording(const std::string& path);
void RemoveOpenRecording(const std::string& path);
bool IsOpenRecording(const std::string& path);
std::vector<std::string> OpenRecordingPaths();

// " AND video_save_path<>'...'" for every open recording: a statement that
// deletes rows keeps those of files still being written.
std::string KeepOpenRecordingsClause();
