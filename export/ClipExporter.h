// ClipExporter: a time range of one camera as one standard video file that
// every common player opens with its real duration and the scene's true
// colours: MP4 with H.264 (libx264), 25 pictures a second, red and blue
// exchanged back, the burnt-in stamps kept. The container's creation_time is
// the range's first picture and its title names the camera. Beside it goes
// NAME.sha256 in the sha256sum format. Nothing is left behind on failure or
// cancel: the clip is written under NAME.part and renamed at the end.
#pragma once

#include "TextFormat.h"

#include <atomic>
#include <functional>
#include <string>

struct ExportRequest {
    int camera = 0;  // 1 to 4
    TimeValue from = 0;
    TimeValue to = 0;
    std::string output;
};

struct ExportResult {
    bool ok = false;
    std::string error;  // one line for the user when !ok
    long long pictures = 0;
    std::string checksumFile;
};

class ClipExporter {
public:
    // Fraction done, 0 to 1; called on the exporting thread.
    using Progress = std::function<void(double)>;

    // Runs the export on the calling thread; `cancel` is looked at between
    // pictures. Needs the database of the working folder connected.
    static ExportResult Run(const ExportRequest& request, const std::atomic<bool>* cancel = nullptr,
                            const Progress& progress = {});
};

// The sha256sum line of `path`: hex digest, two blanks, the file's name.
bool WriteChecksumFile(const std::string& path, std::string* checksumFile, std::string* error);
