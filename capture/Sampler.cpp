#include "Sampler.h"

#include "PanelLink.h"

Sampler::Sampler(Clock clock) : m_clock(std::move(clock)) {}

Sampler::~Sampler()
{
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

void Sampler::DoRenderSample(std::uint8_t* frame)
{
    if (frame == nullptr || m_frameWidth <= 0)
        return;
    const std::string timeText = FormatLocalTime("%Y-%m-%d %H:%M:%S", m_clock());
    ShowInPanel(frame, timeText);
    Record(frame, timeText);
}

void Sampler::DoRenderSample(std::uint8_t* frame, RecordTimeline::Clock::time_point captureTime)
{
    if (frame == nullptr || m_frameWidth <= 0)
        return;
    const std::string timeText = FormatLocalTime("%Y-%m-%d %H:%M:%S", m_clock());
    ShowInPanel(frame, timeText);  // the panel shows every frame the camera delivers
    const int pictures = m_timeline.PicturesFor(captureTime);
    if (pictures == 0)
        return;
    for (int i = 1; i < pictures; ++i)
        m_encoder.RepeatLastPicture();  // the previous picture, without a second conversion
    Record(frame, timeText);
}

// The record stamps sit at the frame's own corners, whatever the panel's size.
void Sampler::Record(std::uint8_t* frame, const std::string& timeText)
{
    m_stamp.Stamp(PixelView{frame, m_frameWidth, m_frameHeight, 3, 3 * m_frameWidth, true}, timeText);
    ApplyDayRule(timeText);
    m_encoder.EncodeFrame(frame, m_frameWidth, m_frameHeight);
    ++m_framesRendered;
}

void Sampler::ShowInPanel(const std::uint8_t* frame, const std::string& timeText)
{
    if (!m_window || m_displayWidth <= 0 || m_displayHeight <= 0)
        return;
    QImage image = m_window->ImageToDraw(QSize(m_displayWidth, m_displayHeight));
    if (image.isNull())
        return;
    m_displayScaler.Scale(frame, m_frameWidth, m_frameHeight, &image);
    m_stamp.Stamp(PixelView{image.bits(), m_displayWidth, m_displayHeight, 4,
                            static_cast<int>(image.bytesPerLine()), false},
                  timeText);
    m_window->PutDisplayImage(std::move(image));
}

// The day is the first ten characters of the frame's time text, so the
// rule costs no second time conversion per frame.
void Sampler::ApplyDayRule(const std::string& timeText)
{
    const std::string day = timeText.substr(0, 10);
    if (day == m_periodDay)
        return;
    m_encoder.NewFile();
    m_periodDay = day;
}
