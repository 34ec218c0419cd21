#include "OpenRecordings.h"

#include "JetDialect.h"
#include "TextFormat.h"

#include <algorithm>
#include <mutex>

namespace {
std::mutex g_mutex;
std::vector<std::string> g_paths;  // a path may be open twice (two writers); counted as entries
}  // namespace

void AddOpenRecording(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_paths.push_back(path);
}

void RemoveOpenRecording(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = std::find(g_paths.begin(), g_paths.end(), path);
    if (it != g_paths.end())
        g_paths.erase(it);
}

bool IsOpenRecording(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return std::find(g_paths.begin(), g_paths.end(), path) != g_paths.end();
}

std::vector<std::string> OpenRecordingPaths()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_paths;
}

std::string KeepOpenRecordingsClause()
{
    std::string clause;
    for (const std::string& path : OpenRecordingPaths())
        clause += StrFormat(" AND video_save_path<>'%s'", SqlText(path).c_str());
    return clause;
}
