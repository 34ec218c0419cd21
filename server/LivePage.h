// The live page of the remote view: every camera in a grid (two across, a
// tap shows one large), each with its name, its recording mark and the time
// of its last picture. The page's script asks each camera shown for its
// next picture as soon as the last one has arrived (at most eight a second),
// so a slow link gets fewer pictures and never a growing delay; a camera not
// shown is not asked for. All of it is served here: no outside resource.
#pragma once

#include "LiveSource.h"
#include "RemoteSite.h"

#include <string>

SiteReply LivePage(const std::string& account, LiveSource* live, LiveSource::Clock::time_point now);
SiteReply LiveScript();
// {"cameras":[{"name":…,"recording":…,"mark":…,"time":…,"fresh":…},…]}
SiteReply CamerasReply(LiveSource* live, LiveSource::Clock::time_point now);
// /live/N.jpg?after=K: camera N's newest picture when newer than K (200,
// with X-Picture, X-Picture-Time and X-Picture-Age), else 204; an unknown
// camera 404.
SiteReply PictureReply(LiveSource* live, const std::string& path, const std::string& query,
                       LiveSource::Clock::time_point now);
bool IsPicturePath(const std::string& path);
