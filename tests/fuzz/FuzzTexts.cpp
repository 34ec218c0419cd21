#include "Accounts.h"
#include "LivePage.h"
#include "RemoteServer.h"
#include "FuzzBodies.h"
#include "RecordFormat.h"

#include "PictureTime.h"

#include "AddressSecrets.h"
#include "HostLookup.h"
#include "DayTimelineData.h"
#include "MotionDetector.h"
#include "MotionTracker.h"
#include "MotionZones.h"
#include "CameraSources.h"
#include "ExportOutput.h"
#include "ExportRange.h"
#include "FileDigest.h"
#include "Database.h"
#include "FreeSpace.h"
#include "HistoryReconcile.h"
#include "OwnRecording.h"
#include "RetentionSweep.h"
#include "Schema.h"
#include "HistoryQuery.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void Require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

std::string g_file;

// A camera entry or address: parsed and written back without loss, shown
// without what stands between "user:" and "@".
void FuzzCameraTexts(const std::string& text)
{
    const CaptureDeviceEntry entry = ParseDeviceEntry(text);
    Require(ParseDeviceEntry(DeviceEntryText(entry)) == entry, "an entry reads back as written");
    const std::string shown = RedactPassword(entry.url);
    const std::vector<SecretSpan> secrets = FindSecrets(entry.url);
    Require(shown.size() <= entry.url.size() + 3 * secrets.size(), "hiding secrets adds no more than their stars");
    Require(RestoreSecrets(shown, entry.url) == entry.url, "an address shown with stars reads back as stored");
    Require(entry.url.find("://") != std::string::npos || RedactAddresses(entry.url) == entry.url,
            "a text without an address stays as it is");
    const HostSpan host = FindHost(entry.url);
    Require(host.begin + host.length <= entry.url.size(), "the host lies inside the address");
    Require(host.bracketed || entry.url.substr(host.begin, host.length).find_first_of("@/?#:") == std::string::npos,
            "a host holds no '@', '/', '?', '#' or ':'");
    if (const std::optional<std::string> stored = SourceEntryForAddress(text); stored && !stored->empty()) {
        const auto again = SourceEntryForAddress(AddressForSourceEntry(*stored));  // "X|" may come back as "X"
        Require(again && ParseDeviceEntry(*again) == ParseDeviceEntry(*stored), "an address reads back as stored");
    }
}

// An export's command-line values and the names it derives from a path.
void FuzzExportTexts(const std::string& text)
{
    if (const std::optional<std::vector<int>> cameras = ParseCameraList(text)) {
        std::string again;
        for (int camera : *cameras)
            again += (again.empty() ? "" : ",") + std::to_string(camera);
        Require(again == text && cameras->size() <= 4, "a camera list reads back as given, each camera once");
    }
    if (const std::optional<TimeValue> time = ParseLocalTime(text))
        Require(FormatLocalTime("%Y-%m-%d %H:%M:%S", *time) == text, "a local time reads back as given");
    const ExportNames names = NamesFor(text);
    Require(names.report != names.clip && names.checksum == names.clip + ".sha256" && names.report != names.checksum,
            "an export's three files have three names");
    const std::string fuzzFolder = g_file.substr(0, g_file.rfind('/'));
    Require(JudgeRecording(text, fuzzFolder) != RecordingVerdict::kOwn, "a folder without recordings holds none of ours");
    const std::string perCamera = CameraClipName(text, 2);
    const std::size_t folder = text.rfind('/') == std::string::npos ? 0 : text.rfind('/') + 1;
    Require(perCamera != text && perCamera.compare(0, folder, text, 0, folder) == 0,
            "a camera's clip is another name in the same folder");
    const std::string line = ChecksumLine({std::string(64, 'a'), 0}, text);
    Require(std::count(line.begin(), line.end(), '\n') == 1 && line.back() == '\n', "a checksum is one line");
}

}  // namespace

// Stored zones: each inside the picture and not empty, no more than can be
// drawn, and written back to a text that reads as the same zones.
void FuzzMotionZones(const std::string& text)
{
    const std::vector<MotionZone> zones = ParseMotionZones(text);
    Require(zones.size() <= 32, "a bounded number of zones");
    for (const MotionZone& z : zones)
        Require(z.x >= 0 && z.y >= 0 && z.w > 0 && z.h > 0 && z.x + z.w <= 100.0001 && z.y + z.h <= 100.0001,
                "a zone lies in the picture");
    const std::string written = MotionZonesText(zones);
    Require(MotionZonesText(ParseMotionZones(written)) == written, "zones read back as written");
}

// A stored motion setting, zones, an event's kind and time read back as written.
void FuzzMotionTexts(const std::string& text)
{
    FuzzMotionZones(text);
    if (const std::optional<MotionEventKind> kind = ParseMotionEventKind(text))
        Require(MotionEventKindKey(*kind) == text, "an event's kind reads back as stored");
    if (const std::optional<MotionSensitivity> level = ParseMotionSensitivity(text))
        Require(text.empty() || MotionSensitivityKey(*level) == text, "a motion setting reads back as stored");
    if (const std::optional<PreciseTime> moment = ParsePreciseText(text))
        Require(text.size() == 19 ? PreciseText(*moment) == text + ".00" : PreciseText(*moment) == text,
                "an event's time reads back as stored");
}

void FuzzTextsSetUp()
{
    char dir[] = "/tmp/lumaro-fuzz-XXXXXX";
    Require(mkdtemp(dir) != nullptr, "temporary folder");
    g_file = std::string(dir) + "/fuzz.db";
    std::string error;
    Require(CreateDatabaseFile(g_file, &error), "database created");
    std::freopen("/dev/null", "w", stdout);  // the statements are echoed there
    Require(InitDatabaseConnect(g_file) == 0, "database connected");
}

// What a browser sends the remote view: a form, cookies and a path, and
// the stored port.
class FuzzCameras : public LiveSource {
public:
    int Cameras() const override { return 4; }
    LiveState State(int, Clock::time_point) const override { return {}; }
    LiveShot Take(int camera, std::uint64_t after, Clock::time_point) override
    {
        Require(camera >= 0 && camera < 4, "only a camera that is there is asked for");
        return after < 7 ? LiveShot{7, std::make_shared<const std::string>("jpeg"), "", 0} : LiveShot{};
    }
};

void FuzzRemoteTexts(const std::string& text)
{
    Require(ParseRemotePort(text) >= 1, "a port is never 0");
    Require(FormValue(text, "name").size() <= text.size() && CookieValue(text, "lumaro_session").size() <= text.size(),
            "a value is no longer than what holds it");
    static LoginThrottle throttle;
    static Sessions sessions;
    static FuzzCameras cameras;
    static RemoteSite site(throttle, sessions, [](const std::string&) {}, &cameras);
    const SiteReply reply = site.Answer({"GET", text, text, text, text, "192.0.2.1"}, Sessions::Clock::now());
    Require(reply.status == 303 || reply.status == 404 || reply.status == 401 || (text == "/login" && reply.status == 200),
            "without a session only the login page, a way to it or nothing");
    const SiteReply picture = PictureReply(&cameras, text, text, Sessions::Clock::now());
    Require(picture.status == 200 || picture.status == 204 || picture.status == 404, "a picture, none, or no camera");
}

void FuzzTexts(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int days = ParseRetentionDays(text);
    Require(days >= 0, "retention days never negative");
    const std::string day = RetentionThresholdDate(text, 1260000000);
    Require(day.empty() || (days >= 1 && day.size() == 10), "threshold date is a day, none without a period");
    if (const std::optional<std::uint64_t> mb = ParseMinFreeSpaceMb(text))
        Require(*mb <= UINT64_MAX / kMiB && MinFreeBytes(text, 0) == *mb * kMiB, "free space in whole MiB");
    else
        Require(MinFreeBytes(text, 1000 * kMiB) == 50 * kMiB, "automatic free space is 5 %");
    int camera = 0;
    TimeValue start = 0;
    if (ParseRecordingName(text, &camera, &start))
        Require(camera >= 1 && camera <= 4 && FormatLocalTime("%Y-%m-%d %H%M%S.mpg", start) == text.substr(6),
                "a recording name reads back as it was made");
    FuzzCameraTexts(text);
    FuzzExportTexts(text);
    FuzzMotionTexts(text);
    const QString typed = QString::fromUtf8(text);
    const PreciseTime dayOf = PreciseTime{1260000000} * kMicrosPerSecond;
    if (const std::optional<PreciseTime> moment = ParseTimeOfDay(typed, dayOf))
        Require(FormatLocalTime("%Y-%m-%d", WholeSeconds(*moment)) == FormatLocalTime("%Y-%m-%d", WholeSeconds(dayOf)),
                "a time of day lies on its day");
    if (IsValidRetentionDays(text))
        Require(std::to_string(ParseRetentionDays(text)) == text, "accepted days read back the same");
    const RecordFormat format = ParseRecordFormat(text);
    Require(ParseRecordFormat(RecordFormatText(format)) == format, "a recording format reads back as stored");
    if (IsAccountName(text))
        Require(!text.empty() && text.size() <= 4 * 32 && text.find_first_of(" \t\n'\"/\\") == std::string::npos &&
                    QString::fromUtf8(text).toUtf8().toStdString() == text,
                "an account name is short, valid UTF-8 and holds nothing that breaks a line or a path");
    if (const std::optional<std::string> role = ParseRole(text))
        Require(*role == "admin" || *role == "viewer", "a role is admin or viewer");
    FuzzRemoteTexts(text);

    std::string path = text;
    path.erase(std::remove(path.begin(), path.end(), '\0'), path.end());  // no path holds a NUL
    const QString qpath = QString::fromStdString(path);
    RecordsetPtr rs = OpenRecordset("select * from video_save_history where capdrive=-1");
    Require(rs != nullptr, "recordset opens");
    for (const std::string& p : {qpath.toStdString(), std::string("/keep/this.mpg")}) {
        rs->AddNew();
        rs->SetField("capdrive", std::int64_t{1});
        rs->SetField("video_save_path", p);
        rs->Update();
    }
    Require(ExecuteCommand(HistoryListStatement(QStringLiteral("全部"), qpath)) != nullptr, "day list runs");
    Require(ExecuteCommand(HistoryListStatement(QStringLiteral("2"), qpath)) != nullptr, "device day list runs");
    ExecuteCommand(HistoryDeleteStatement(qpath));
    RecordsetPtr left = ExecuteCommand("select video_save_path from video_save_history");
    Require(left != nullptr, "rows readable");
    bool kept = false;
    for (; !left->IsEOF(); left->MoveNext()) {
        const std::string p = FieldText(*left, "video_save_path");
        Require(p != qpath.toStdString() || p == "/keep/this.mpg", "delete removes its own path");
        kept = kept || p == "/keep/this.mpg";
    }
    Require(kept || qpath.toStdString() == "/keep/this.mpg", "delete leaves other paths alone");
    ExecuteCommand("delete from video_save_history");
}
