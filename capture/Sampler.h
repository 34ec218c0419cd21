// Sampler: the renderer at the end of every capture graph, where captured
// frames enter the program. For each frame, on the streaming thread: show it
// scaled and stamped in the panel; then, as the recording's timeline asks
// (25 pictures a second of wall-clock time), repeat the previous picture or
// leave the frame out, or stamp the full-size frame in place with the
// moment its picture stands for, apply the day rule and hand it to the
// camera's encoder. A silence the timeline does not fill begins a new file.
#pragma once

#include "DisplayScaler.h"
#include "FrameStamp.h"
#include "MotionDetector.h"
#include "MotionTracker.h"
#include "RecordTimeline.h"
#include "TextFormat.h"
#include "VideoEncoder.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class LiveTap;
class PanelLink;

enum class MediaSubtype { Rgb24, Other };

// What a device proposes before frames flow: Rgb24 is the RGB frame of the
// pipeline (blue, green, red; bottom-up; 3 × width bytes a row).
struct MediaType {
    MediaSubtype subtype = MediaSubtype::Other;
    int width = 0;
    int height = 0;  // positive: bottom-up
    bool hasFormat = false;
};

class Sampler {
public:
    using Clock = std::function<TimeValue()>;

    // On the system clock, to the microsecond.
    Sampler();
    // On `clock` (whole seconds; tests move it across midnight).
    explicit Sampler(Clock clock);
    ~Sampler();
    Sampler(const Sampler&) = delete;
    Sampler& operator=(const Sampler&) = delete;

    // Display size, recording folder, camera position and the panel; starts
    // the recording period now.
    void Configure(int width, int height, const std::string& recordingRoot, int deviceIndex,
                   std::shared_ptr<PanelLink> window);
    // Accepts only Rgb24 with a format; sets up the encoder for its size.
    bool CheckMediaType(const MediaType& type);
    // The camera's pictures have a new size: the file ends, and the next
    // picture begins a file at that size.
    bool ChangeFrameSize(int width, int height);
    // The per-frame pipeline; `frame` is rewritten in place (stamps). A
    // frame with its capture time goes through the timeline; one without
    // makes exactly one picture.
    void DoRenderSample(std::uint8_t* frame);
    void DoRenderSample(std::uint8_t* frame, RecordTimeline::Clock::time_point captureTime);
    // The same after the camera sent nothing for `silence`: only a silence
    // past the stall limit ends the file, never a delay of the program's own.
    void DoRenderSample(std::uint8_t* frame, RecordTimeline::Clock::time_point captureTime,
                        RecordTimeline::Clock::duration silence);

    // The size a frame is shown at in a panel of `panel` whose full view
    // allows `bound` (empty: no full view).
    static QSize DisplaySize(QSize frame, QSize bound, QSize panel);
    // Any thread: how readily the camera's pictures count as motion, and where not.
    void SetMotionSettings(const MotionSettings& settings);
    // Any thread: the next picture goes into a new file in `root`.
    void ChangeRecordingRoot(const std::string& root);
    // The camera's way to the remote view; none: no remote picture.
    void SetLiveTap(std::shared_ptr<LiveTap> live) { m_live = std::move(live); }

    int FrameWidth() const { return m_frameWidth; }
    int FrameHeight() const { return m_frameHeight; }
    std::uint64_t FramesRendered() const { return m_framesRendered; }
    std::uint64_t FramesEncoded() const { return m_encoder.FramesEncoded(); }
    const CVideoEncoder& Encoder() const { return m_encoder; }

private:
    void Show(const std::uint8_t* frame, const std::string& timeText);
    void ShowInPanel(const std::uint8_t* frame, const std::string& timeText);
    void OfferLive(const std::uint8_t* frame, const std::string& timeText);
    void DrawStamped(const std::uint8_t* frame, DisplayScaler& scaler, QImage* image, const std::string& timeText);
    void ApplyDayRule(const std::string& timeText, PreciseTime pictureTime, bool newFile);
    void Record(std::uint8_t* frame, PreciseTime pictureTime, bool newFile = false);
    void RecordPlaced(std::uint8_t* frame, const RecordTimeline::Placement& placement);
    // Takes the wall clock's place against the steady clock; true when the
    // wall clock was set since the last frame.
    bool TakeWallOffset();
    bool TakeNewRoot();
    void TrackMotion(PreciseTime pictureTime, const MotionVerdict& verdict);
    void TakeMotionSettings();
    static constexpr PreciseTime kClockStep = 2 * kMicrosPerSecond;

    Clock m_clock;
    std::function<PreciseTime()> m_preciseClock;
    PreciseTime m_wallOffset = 0;  // wall clock less steady clock, microseconds
    bool m_haveWallOffset = false;
    int m_displayWidth = 0;
    int m_displayHeight = 0;
    std::shared_ptr<PanelLink> m_window;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    CVideoEncoder m_encoder;
    std::string m_periodDay;  // local day the current recording period began on
    int m_deviceIndex = 0;
    FrameStamp m_stamp;
    DisplayScaler m_displayScaler;
    std::shared_ptr<LiveTap> m_live;
    DisplayScaler m_liveScaler;
    RecordTimeline m_timeline;
    std::atomic<std::uint64_t> m_framesRendered{0};
    std::mutex m_rootMutex;
    std::string m_newRoot;  // guarded by m_rootMutex
    std::atomic<bool> m_rootChanged{false};
    std::mutex m_motionMutex;
    MotionSettings m_motionSettings;  // guarded by m_motionMutex
    std::atomic<bool> m_motionChanged{false};
    MotionDetector m_motion;
    MotionTracker m_tracker;
};
