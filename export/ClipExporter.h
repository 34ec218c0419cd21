// ClipExporter: a time range of one camera as one standard video file that
// every common player opens with its real duration and the scene's true
// colours (older recordings hold red and blue exchanged, and are exchanged
// back): MP4 with H.264 (libx264), the burnt-in stamps kept. Each picture keeps its time: the clip's time line
// jumps where the range has no recording. Beside the clip go its report
// NAME.txt and NAME.mp4.sha256 with the lines of both. Nothing is ever
// replaced unless asked, and nothing is left behind on failure or cancel.
#pragma once

#include "ClipLedger.h"
#include "TextFormat.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

struct ExportRequest {
    int camera = 0;  // 1 to 4
    TimeValue from = 0;
    TimeValue to = 0;
    std::string output;
    bool overwrite = false;  // an earlier export of the names may be replaced
    std::string origin;      // for the report: the command line or the window
};

struct ExportResult {
    bool ok = false;
    bool refused = false;  // the output exists or may not be replaced
    std::string error;     // one line for the user when !ok
    long long pictures = 0;
    std::string reportFile;
    std::string checksumFile;
    std::vector<TimeSpan> gaps;
    std::vector<TimeSpan> damage;
    std::vector<TimeSpan> overlaps;  // times two recordings both cover
};

class ClipExporter {
public:
    // Fraction of the range done, 0 to 1, and the pictures written so far;
    // called on the exporting thread.
    using Progress = std::function<void(double fraction, long long pictures)>;

    // Runs the export on the calling thread; `cancel` is looked at between
    // pictures and between reads. Needs the database of the working folder
    // connected.
    static ExportResult Run(const ExportRequest& request, const std::atomic<bool>* cancel = nullptr,
                            const Progress& progress = {});
};

