#include "Sampler.h"

#include "ErrorLog.h"
#include "LiveTap.h"
#include "MotionStore.h"
#include "PanelLink.h"

Sampler::Sampler() : m_clock(CurrentTime), m_preciseClock(CurrentPreciseTime) {}

Sampler::Sampler(Clock clock)
    : m_clock(std::move(clock)), m_preciseClock([c = m_clock] { return c() * kMicrosPerSecond; })
{
}

Sampler::~Sampler()
{
    for (const MotionChange& change : m_tracker.Finish())
        SubmitMotionChange(change);
    m_encoder.Close();
}

void Sampler::Configure(int width, int height, const std::string& recordingRoot, int deviceIndex,
                        std::shared_ptr<PanelLink> window)
{
    m_displayWidth = width;
    m_displayHeight = height;
    m_window = std::move(window);
    m_encoder.SetRecordingRoot(recordingRoot);
    m_encoder.SetClock(m_clock);
    m_deviceIndex = deviceIndex;
    m_tracker.SetCamera(deviceIndex + 1);
    m_periodDay = FormatLocalTime("%Y-%m-%d", m_clock());
}

bool Sampler::CheckMediaType(const MediaType& type)
{
    if (type.subtype != MediaSubtype::Rgb24 || !type.hasFormat || type.width <= 0 || type.height <= 0)
        return false;
    m_frameWidth = type.width;
    m_frameHeight = type.height;
    m_encoder.Init(m_deviceIndex, type.width, type.height);
    return true;
}

bool Sampler::ChangeFrameSize(int width, int height)
{
    m_encoder.Close();
    return CheckMediaType(MediaType{MediaSubtype::Rgb24, width, height, true});
}

void Sampler::DoRenderSample(std::uint8_t* frame)
{
    if (frame == nullptr || m_frameWidth <= 0)
        return;
    const PreciseTime now = m_preciseClock();
    Show(frame, FormatLocalTime("%Y-%m-%d %H:%M:%S", WholeSeconds(now)));
    Record(frame, now);
}

void Sampler::DoRenderSample(std::uint8_t* frame, RecordTimeline::Clock::time_point captureTime)
{
    if (frame == nullptr || m_frameWidth <= 0)
        return;
    // The panel shows every frame the camera delivers, at the time it is shown.
    Show(frame, FormatLocalTime("%Y-%m-%d %H:%M:%S", m_clock()));
    RecordPlaced(frame, m_timeline.Place(captureTime));
}

void Sampler::DoRenderSample(std::uint8_t* frame, RecordTimeline::Clock::time_point captureTime,
                             RecordTimeline::Clock::duration silence)
{
    if (frame == nullptr || m_frameWidth <= 0)
        return;
    Show(frame, FormatLocalTime("%Y-%m-%d %H:%M:%S", m_clock()));
    RecordPlaced(frame, m_timeline.Place(captureTime, silence));
}

void Sampler::RecordPlaced(std::uint8_t* frame, const RecordTimeline::Placement& placement)
{
    if (placement.pictures == 0)
        return;
    for (int i = 1; i < placement.pictures; ++i)
        m_encoder.RepeatLastPicture();  // the previous picture, without a second conversion
    const bool clockSet = TakeWallOffset();
    const PreciseTime pictureTime =
        m_wallOffset + std::chrono::duration_cast<std::chrono::microseconds>(placement.slot.time_since_epoch()).count();
    Record(frame, pictureTime, placement.newFile || clockSet);
}

// Where the steady clock lies on the wall clock. It moves with every frame
// when the wall clock is slewed; a jump means the clock was set, and the
// file's pictures would no longer show their moments: a new file begins.
bool Sampler::TakeWallOffset()
{
    const auto steady = std::chrono::duration_cast<std::chrono::microseconds>(
        RecordTimeline::Clock::now().time_since_epoch());
    const PreciseTime offset = m_preciseClock() - steady.count();
    const PreciseTime jump = offset - m_wallOffset;
    const bool set = m_haveWallOffset && (jump > kClockStep || jump < -kClockStep);
    if (set)
        LogError("camera %d: the clock was set by %+lld s; recording goes on in a new file\n", m_deviceIndex + 1,
                 static_cast<long long>(jump / kMicrosPerSecond));
    m_wallOffset = offset;
    m_haveWallOffset = true;
    return set;
}

// The record stamps sit at the frame's own corners, whatever the panel's
// size, and tell the moment the picture stands for.
void Sampler::Record(std::uint8_t* frame, PreciseTime pictureTime, bool newFile)
{
    TakeMotionSettings();
    const MotionVerdict verdict = m_motion.Look(frame, m_frameWidth, m_frameHeight, pictureTime);  // before the stamps
    const std::string timeText = FormatLocalTime("%Y-%m-%d %H:%M:%S", WholeSeconds(pictureTime));
    m_stamp.Stamp(PixelView{frame, m_frameWidth, m_frameHeight, 3, 3 * m_frameWidth, true}, timeText);
    // A new folder or a format chosen for new files begins a file at this picture.
    ApplyDayRule(timeText, pictureTime, TakeNewRoot() || m_encoder.IsFormatOutdated() || newFile);
    m_encoder.EncodeFrame(frame, m_frameWidth, m_frameHeight, pictureTime);
    TrackMotion(pictureTime, verdict);
    ++m_framesRendered;
}

// An event belongs to the file its pictures went into; while nothing is
// recorded there is none.
void Sampler::TrackMotion(PreciseTime pictureTime, const MotionVerdict& verdict)
{
    const std::string& path = m_encoder.CurrentPath();
    for (const MotionChange& change : path.empty() ? m_tracker.Finish() : m_tracker.Add(path, pictureTime, verdict))
        SubmitMotionChange(change);
}

void Sampler::SetMotionSettings(const MotionSettings& settings)
{
    std::lock_guard<std::mutex> lock(m_motionMutex);
    m_motionSettings = settings;
    m_motionChanged = true;
}

// Streaming thread: settings changed since the last picture apply from this one.
void Sampler::TakeMotionSettings()
{
    if (!m_motionChanged.exchange(false))
        return;
    std::lock_guard<std::mutex> lock(m_motionMutex);
    m_motion.SetSensitivity(m_motionSettings.sensitivity);
    m_motion.SetExcludedZones(m_motionSettings.zones);
}

void Sampler::ChangeRecordingRoot(const std::string& root)
{
    std::lock_guard<std::mutex> lock(m_rootMutex);
    m_newRoot = root;
    m_rootChanged = true;
}

// Streaming thread: a folder changed since the last picture is taken up,
// and the picture begins a file there.
bool Sampler::TakeNewRoot()
{
    if (!m_rootChanged.exchange(false))
        return false;
    std::lock_guard<std::mutex> lock(m_rootMutex);
    m_encoder.SetRecordingRoot(m_newRoot);
    return true;
}

// In a full view the picture is shown at its own size, or made smaller to
// fit, keeping its shape; otherwise at the panel's size.
QSize Sampler::DisplaySize(QSize frame, QSize bound, QSize panel)
{
    if (bound.isEmpty() || frame.isEmpty())
        return panel;
    if (frame.width() <= bound.width() && frame.height() <= bound.height())
        return frame;
    return frame.scaled(bound, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

void Sampler::Show(const std::uint8_t* frame, const std::string& timeText)
{
    ShowInPanel(frame, timeText);
    OfferLive(frame, timeText);
}

// The remote view's picture, only while it is watched; stamped like the
// panel's, with the time it is shown at.
void Sampler::OfferLive(const std::uint8_t* frame, const std::string& timeText)
{
    const LiveTap::Clock::time_point now = LiveTap::Clock::now();
    if (!m_live || !m_live->Wanted(now))
        return;
    const QSize size = LiveTap::PictureSize(QSize(m_frameWidth, m_frameHeight));
    QImage image = m_live->ImageToDraw(size);
    if (image.isNull())
        return;
    DrawStamped(frame, m_liveScaler, &image, timeText);
    m_live->Put(std::move(image), timeText, now);
}

// The frame scaled into `image`, the time at its top-left corner.
void Sampler::DrawStamped(const std::uint8_t* frame, DisplayScaler& scaler, QImage* image, const std::string& timeText)
{
    scaler.Scale(frame, m_frameWidth, m_frameHeight, image);
    m_stamp.Stamp(PixelView{image->bits(), image->width(), image->height(), 4, static_cast<int>(image->bytesPerLine()), false},
                  timeText);
}

void Sampler::ShowInPanel(const std::uint8_t* frame, const std::string& timeText)
{
    if (!m_window || m_displayWidth <= 0 || m_displayHeight <= 0)
        return;
    const QSize size = DisplaySize(QSize(m_frameWidth, m_frameHeight), m_window->DisplayBound(),
                                   QSize(m_displayWidth, m_displayHeight));
    QImage image = m_window->ImageToDraw(size);
    if (image.isNull())
        return;
    DrawStamped(frame, m_displayScaler, &image, timeText);
    m_window->PutDisplayImage(std::move(image));
}

// A file ends with a new day and after a silence the timeline does not
// fill. The day is the first ten characters of the frame's time text, so the
// rule costs no second time conversion per frame.
void Sampler::ApplyDayRule(const std::string& timeText, PreciseTime pictureTime, bool newFile)
{
    const std::string day = timeText.substr(0, 10);
    if (day == m_periodDay && !newFile)
        return;
    m_encoder.NewFile(pictureTime);
    m_periodDay = day;
}
