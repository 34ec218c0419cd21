#include "PlayerEngine.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace {

constexpr int kSpeeds[] = {1, 2, 4, 8, 16};

}  // namespace

PlayerEngine::~PlayerEngine()
{
    Stop();
    m_decoder.Close();
}

int PlayerEngine::Play(const std::string& path)
{
    Lock lock(m_lock);
    ++m_generation;
    m_file.reset();
    m_file.reset(std::fopen(path.c_str(), "rb"));
    if (!m_file)
        return kFileOpenFailed;
    m_seeker = RecordingSeeker(path);
    m_format = m_seeker.IsTransportStream() ? RecordingDecoder::Format::kTransport : RecordingDecoder::Format::kMpeg1;
    m_firstPts = m_seeker.FirstPts();
    // The first decoder is opened here, where its failure can be told; a
    // running thread opens the next one itself, between two streams.
    if (!m_decoder.IsOpen() && m_state == Stopped) {
        const int rc = m_decoder.Open(m_format, m_firstPts);  // its codes are PlayResult's
        if (rc != kPlayStarted) {
            m_file.reset();
            return rc;
        }
    }
    m_recording = IdentifyRecording(path);
    m_trueColours = RecordingHasTrueColours(path);
    m_path = path;
    m_shownNumber = -1;
    RefreshLastLocked();
    m_seekTarget = -1;
    m_resetStream = true;
    StartThread(lock);
    return kPlayStarted;
}

void PlayerEngine::StartThread(Lock& lock)
{
    if (m_state == Stopped) {
        if (m_thread.joinable()) {  // a thread that has ended or is about to
            lock.unlock();
            m_thread.join();
            lock.lock();
        }
        m_state = Playing;
        m_endEvent.Reset();  // set again by the thread as it ends
        m_thread = std::thread(&PlayerEngine::Run, this);
    }
    m_state = Playing;
    m_changed.notify_all();
}

void PlayerEngine::TogglePause()
{
    Lock lock(m_lock);
    if (m_state == Playing)
        m_state = Paused;
    else if (m_state == Paused)
        m_state = Playing;
    else if (m_file)
        SeekLocked(lock, 0);  // the end of the file was reached: play it again
    m_changed.notify_all();
}

void PlayerEngine::SeekToPicture(long long number)
{
    Lock lock(m_lock);
    SeekLocked(lock, number);
}

// The next chunk is read from the start of the picture's group; the parser
// and the decoder start afresh there, so no picture is built on references
// from elsewhere, and what is left of the old chunk is not shown.
void PlayerEngine::SeekLocked(Lock& lock, long long number)
{
    if (!m_file)
        return;
    number = std::clamp(number, 0LL, RefreshLastLocked());
    const std::optional<GroupPlace> group = m_seeker.GroupOf(number);
    fseeko(m_file.get(), group ? static_cast<off_t>(group->offset) : 0, SEEK_SET);
    m_resetStream = true;  // also a paused player shows the picture at the new place
    m_seekTarget = number;
    if (m_state == Stopped)
        StartThread(lock);
    m_changed.notify_all();
}

void PlayerEngine::Step()
{
    Lock lock(m_lock);
    if (m_state == Paused)
        m_stepRequested = true;
    else if (m_state == Playing)
        m_state = Paused;
    m_changed.notify_all();
}

void PlayerEngine::StepBack()
{
    Lock lock(m_lock);
    if (m_state == Playing)
        m_state = Paused;
    else if (m_state == Paused && m_shownNumber > 0)
        SeekLocked(lock, m_shownNumber - 1);
    m_changed.notify_all();
}

void PlayerEngine::SetSpeed(int speed)
{
    if (std::find(std::begin(kSpeeds), std::end(kSpeeds), speed) == std::end(kSpeeds))
        return;
    std::lock_guard<std::mutex> lock(m_lock);
    m_speed = speed;
    m_changed.notify_all();
}

void PlayerEngine::SetPacing(std::chrono::milliseconds pause)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pacingMs = static_cast<int>(pause.count());
}

void PlayerEngine::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        EndLocked();
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

long long PlayerEngine::RefreshLastNumber()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return RefreshLastLocked();
}

long long PlayerEngine::RefreshLastLocked()
{
    m_lastNumber = std::max({0LL, m_seeker.LastPictureNumber().value_or(0), m_shownNumber});
    return m_lastNumber;
}

QImage PlayerEngine::ShownPicture(long long* number) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    *number = m_imageNumber;
    return m_image.copy();
}

// The decoding thread.
void PlayerEngine::Run()
{
    const auto paced = [this](const AVFrame* picture) { return ShowPaced(picture); };
    const auto last = [this](const AVFrame* picture) { return ShowLast(picture); };
    for (;;) {
        std::size_t count = 0;
        if (!ReadChunk(&count))
            break;
        if (count > 0) {
            if (!m_decoder.Feed(m_inbuf, static_cast<int>(count), paced))
                break;
            continue;
        }
        m_decoder.Drain(paced, last);
        if (!GoesOnAfterEnd())
            break;
    }
    Finish();
    m_endEvent.Set();
}

// False when playback is to end (stopped, or no file since a Play could
// not open its file).
bool PlayerEngine::ReadChunk(std::size_t* count)
{
    Lock lock(m_lock);
    if (m_state == Stopped || !m_file) {
        EndLocked();
        return false;
    }
    if (m_resetStream) {
        if (!StartStream()) {
            EndLocked();
            return false;
        }
        m_resetStream = false;
        m_stepRequested = false;  // a seek's picture is shown as it comes, and paused on
        m_paceStarted = false;  // a new stream: its pictures are due from now
        m_lastPacedNumber = -1;
        m_awaitIntra = false;
    }
    UpdateDecodeMode(lock);
    *count = std::fread(m_inbuf, 1, kChunkSize, m_file.get());
    std::memset(m_inbuf + *count, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return true;
}

// Under the lock: the decoder starts afresh for the stream ahead, opened
// again when the file is of the other format (or another transport stream).
bool PlayerEngine::StartStream()
{
    if (m_decoder.IsOpen() && m_decoder.StreamFormat() == m_format && m_decoder.FirstPts() == m_firstPts) {
        m_decoder.Reset();
        return true;
    }
    return m_decoder.Open(m_format, m_firstPts) == RecordingDecoder::kOpened;
}

// At the end of the file: paused on its last picture, the player stays
// there (a seek or a step back goes on from it, the play button ends the
// playback); a new file or a seek that came in meanwhile is played on.
bool PlayerEngine::GoesOnAfterEnd()
{
    Lock lock(m_lock);
    m_changed.wait(lock, [this] { return m_state != Paused || m_resetStream; });
    if (m_resetStream && m_state != Stopped && m_file)
        return true;
    EndLocked();
    return false;
}

// The end is decided under the lock where it is found, with the playback
// it ends: a Play that comes in before the thread is gone starts a new
// thread, and the old one's notice does not stop the new playback.
void PlayerEngine::EndLocked()
{
    m_state = Stopped;
    m_endedGeneration = m_generation;
}

void PlayerEngine::Finish()
{
    Lock lock(m_lock);
    if (m_state != Stopped)
        EndLocked();  // the decoder failed
    const int generation = m_endedGeneration;
    lock.unlock();
    m_notices.Post({PlayerNotice::kStopped, -1, generation});
}

bool PlayerEngine::ShowPaced(const AVFrame* picture)
{
    if (Accept(picture) && Publish(picture))
        return WaitAfterPicture();
    return State() != Stopped;
}

bool PlayerEngine::ShowLast(const AVFrame* picture)
{
    if (Accept(picture))
        Publish(picture);
    return State() != Stopped;
}

// Not shown: the rest of a chunk after a seek came in, the pictures of a
// seek's group before its target (decoded for their references), and after
// intra-only decoding the pictures before the next intra one (they lack
// the pictures they were predicted from). The check and the target are
// taken together, so a seek that comes in meanwhile is never half seen.
bool PlayerEngine::Accept(const AVFrame* picture)
{
    const long long number = RecordingDecoder::PictureNumber(picture);
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_resetStream)
        return false;
    if (m_awaitIntra && picture->pict_type != AV_PICTURE_TYPE_I)
        return false;
    if (m_seekTarget >= 0 && number != PictureNumbering::kUnknown && number < m_seekTarget)
        return false;
    m_seekTarget = -1;
    m_awaitIntra = false;
    m_pictureNumber = number;
    return true;
}

// The picture becomes the one shown, unless a seek came in while it was
// converted.
bool PlayerEngine::Publish(const AVFrame* picture)
{
    if (!m_converter.Convert(picture, Locked(m_trueColours)))
        return false;
    Lock lock(m_lock);
    if (m_resetStream)
        return false;
    m_converter.SwapInto(m_image);
    m_imageNumber = m_pictureNumber;
    if (m_pictureNumber >= 0) {
        m_shownNumber = m_pictureNumber;
        // A file being written grows while it plays: its tail is read
        // again once a second of pictures has passed its last known one.
        if (m_shownNumber > m_lastNumber + kRecordingPicturesPerSecond)
            RefreshLastLocked();
        m_lastNumber = std::max(m_lastNumber, m_shownNumber);
    }
    ++m_picturesShown;
    const PlayerNotice notice{PlayerNotice::kPictureShown, m_pictureNumber, m_generation};
    lock.unlock();
    m_notices.Post(notice);
    return true;
}

// Paused after a picture, the thread waits for a step, a seek, play or
// stop; playing, for the next picture's time. A seek is not a step: the
// thread goes on to the new place, shows its picture and waits again.
bool PlayerEngine::WaitAfterPicture()
{
    Lock lock(m_lock);
    bool paused = false;
    while (m_state == Paused && !m_resetStream) {
        if (m_stepRequested) {
            m_stepRequested = false;  // the next picture, at once, and paused again after it
            UpdateDecodeMode(lock);
            m_paceStarted = false;
            return true;
        }
        paused = true;
        m_changed.wait(lock);
    }
    if (m_state == Stopped)
        return false;
    if (paused)
        m_paceStarted = false;
    if (m_resetStream)
        return true;
    PaceLocked(lock);
    return m_state != Stopped;
}

// Fast playback above 4× decodes intra pictures only; steps while paused go
// picture by picture whatever the speed.
void PlayerEngine::UpdateDecodeMode(const Lock&)
{
    const bool intraOnly = m_speed > kFullDecodeSpeed && m_state != Paused;
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
// keep up with, the clock starts again from now. A stop or a seek ends the
// wait at once.
void PlayerEngine::PaceLocked(Lock& lock)
{
    const long long number = m_pictureNumber;
    const long long distance = number - m_lastPacedNumber;
    const long long pictures = m_lastPacedNumber >= 0 && number >= 0 && distance > 0 && distance <= 25 ? distance : 1;
    m_lastPacedNumber = number;
    if (m_pacingMs <= 0) {
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_paceStarted || now - m_nextPicture > std::chrono::seconds(1)) {
        m_paceStarted = true;
        m_nextPicture = now;
    }
    m_nextPicture += std::chrono::microseconds(m_pacingMs * 1000LL * pictures / std::max(1, m_speed));
    m_changed.wait_until(lock, m_nextPicture, [this] { return m_state == Stopped || m_resetStream; });
}
