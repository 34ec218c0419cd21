// The player's decoding side: the decoder set-up and the decoding thread.
#include "VideoPlayDlg.h"

#include <algorithm>
#include <cstring>

int CVideoPlayDlg::InitDecoder()
{
    std::memset(m_inbuf + kChunkSize, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return m_decoder.Open();  // its codes are PlayFile's
}

int CVideoPlayDlg::DecodeThread()
{
    const auto paced = [this](const AVFrame* picture) { return ShowPaced(picture); };
    const auto last = [this](const AVFrame* picture) { return ShowLast(picture); };
    for (;;) {
        std::size_t count = 0;
        if (!ReadChunk(&count)) {
            FinishPlayback(false);
            break;
        }
        if (count > 0) {
            if (!m_decoder.Feed(m_inbuf, static_cast<int>(count), paced)) {
                FinishPlayback(false);
                break;
            }
            continue;
        }
        m_decoder.Drain(paced, last);
        WaitWhilePausedAtEnd();
        if (FinishPlayback(true))
            break;
    }
    m_endEvent.Set();
    return 0;
}

// Under the lock: false when playback is to end (stopped, or no file since
// a PlayFile could not open its file).
bool CVideoPlayDlg::ReadChunk(std::size_t* count)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_state == Stopped || !m_file)
        return false;
    if (m_bResetStream) {
        m_decoder.Reset();
        m_bResetStream = false;
        m_paceStarted = false;  // a new stream: its pictures are due from now
        m_lastPacedNumber = -1;
        m_awaitIntra = false;
    }
    UpdateDecodeMode();
    *count = std::fread(m_inbuf, 1, kChunkSize, m_file.get());
    std::memset(m_inbuf + *count, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return true;
}

// The end of a playback, unless a new file or a seek came in while the
// last pictures were drained: then the thread goes on with it.
bool CVideoPlayDlg::FinishPlayback(bool atEndOfFile)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (atEndOfFile && m_bResetStream && m_state != Stopped && m_file)
        return false;
    PostButtonImage(kImageStop);
    m_state = Stopped;
    return true;
}

// Paused on the file's last picture, the player stays paused there: a seek
// or a step back goes on from it, the play button ends the playback.
void CVideoPlayDlg::WaitWhilePausedAtEnd()
{
    for (;;) {
        {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            if (m_bResetStream)
                m_stepRequested = false;  // the seek's own picture is shown as it comes
            if (m_state != Paused || m_bResetStream)
                return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

bool CVideoPlayDlg::ShowPaced(const AVFrame* picture)
{
    if (!AcceptPicture(picture))
        return State() != Stopped;
    DisplayFrame(picture, picture->width, picture->height);
    return PollAfterPicture();
}

bool CVideoPlayDlg::ShowLast(const AVFrame* picture)
{
    if (AcceptPicture(picture))
        DisplayFrame(picture, picture->width, picture->height);
    return State() != Stopped;
}

// After intra-only decoding the next pictures lack the ones they were
// predicted from; they are not shown until an intra picture comes.
bool CVideoPlayDlg::AcceptPicture(const AVFrame* picture)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (m_bResetStream)
            return false;  // a seek came in: the rest of the old chunk is not shown
    }
    if (m_awaitIntra && picture->pict_type != AV_PICTURE_TYPE_I)
        return false;
    const long long number = Mpeg1StreamDecoder::PictureNumber(picture);
    if (IsBeforeSeekTarget(number))
        return false;
    m_awaitIntra = false;
    m_pictureNumber = number;
    return true;
}

// A seek lands on the group that holds its picture; the group's pictures
// before it are decoded for their references but not shown.
bool CVideoPlayDlg::IsBeforeSeekTarget(long long number)
{
    const long long target = m_seekTarget;
    if (target < 0)
        return false;
    if (number != PictureNumbering::kUnknown && number < target)
        return true;
    m_seekTarget = -1;
    return false;
}

bool CVideoPlayDlg::PollAfterPicture()
{
    bool paused = false;
    for (;;) {
        const PlayState state = State();
        if (state == Stopped)
            return false;
        if (state != Paused)
            break;
        if (TakeStep())
            return true;  // the next picture, at once, and paused again after it
        paused = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (paused)
        m_paceStarted = false;
    WaitForNextPicture(m_pictureNumber);
    return true;
}

bool CVideoPlayDlg::TakeStep()
{
    if (!m_stepRequested.exchange(false))
        return false;
    UpdateDecodeMode();
    m_paceStarted = false;
    return true;
}

// Fast playback above 4× decodes intra pictures only; steps while paused go
// picture by picture whatever the speed.
void CVideoPlayDlg::UpdateDecodeMode()
{
    const bool intraOnly = m_speed > kFullDecodeSpeed && State() != Paused;
    if (intraOnly == m_intraOnly)
        return;
    m_decoder.SetIntraOnly(intraOnly);
    m_awaitIntra = !intraOnly;
    m_intraOnly = intraOnly;
}

// Pictures are paced by a clock, not by a pause after each one, so the
// decoding time does not add up: 25 pictures take one second however long a
// large picture takes to decode. A picture is due its distance in pictures
// from the last one (several when only intra pictures are decoded), divided
// by the speed. After a pause, a seek, or a stretch the decoder could not
// keep up with, the clock starts again from now.
void CVideoPlayDlg::WaitForNextPicture(long long number)
{
    const int pause = m_pacingMs;
    const long long distance = number - m_lastPacedNumber;
    const long long pictures = m_lastPacedNumber >= 0 && number >= 0 && distance > 0 && distance <= 25 ? distance : 1;
    m_lastPacedNumber = number;
    if (pause <= 0) {
        std::this_thread::yield();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_paceStarted || now - m_nextPicture > std::chrono::seconds(1)) {
        m_paceStarted = true;
        m_nextPicture = now;
    }
    m_nextPicture += std::chrono::microseconds(pause * 1000LL * pictures / std::max(1, m_speed.load()));
    std::this_thread::sleep_until(m_nextPicture);
}

void CVideoPlayDlg::DisplayFrame(const AVFrame* picture, int width, int height)
{
    if (m_back.width() != width || m_back.height() != height)
        m_back = QImage(width, height, QImage::Format_BGR888);
    if (m_back.isNull() || !ConvertFrameToRGB(width, height, picture, &m_back))
        return;
    {
        std::lock_guard<std::mutex> lock(m_imageLock);
        std::swap(m_image, m_back);
        m_imageNumber = m_pictureNumber;
    }
    if (m_pictureNumber >= 0) {
        m_shownNumber = m_pictureNumber;
        PostTrackPosition(m_pictureNumber);
    }
    ++m_picturesShown;
    PostRepaint();
}

// The decoder's picture as packed RGB into an image that reads its bytes as
// blue, green, red: recordings hold the scene with red and blue exchanged,
// so this shows it in its true colours.
bool CVideoPlayDlg::ConvertFrameToRGB(int width, int height, const AVFrame* picture, QImage* output)
{
    SwsContext* scaler = CachedScaler(m_scaler, width, height, static_cast<AVPixelFormat>(picture->format),
                                      width, height, AV_PIX_FMT_RGB24, SWS_BICUBIC);
    if (scaler == nullptr)
        return false;
    m_packed.Scale(scaler, picture, width, height, output->bits(), output->bytesPerLine());
    return true;
}

void CVideoPlayDlg::ReleasePlayback()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_file.reset();
    m_decoder.Close();
    m_scaler.reset();
}
