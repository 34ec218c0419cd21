#include "VideoEncoder.h"
#include "ErrorLog.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {
constexpr std::uint8_t kSequenceEndCode[4] = {0x00, 0x00, 0x01, 0xB7};
}

void CVideoEncoder::Init(int deviceIndex, int width, int height)
{
    m_deviceIndex = deviceIndex;
    m_target.SetCamera(deviceIndex);
    if (m_initialised)
        return;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
    if (codec == nullptr) {
        LogStampedLine("codec not found");
        std::exit(1);
    }
    m_context.reset(avcodec_alloc_context3(codec));
    for (auto& picture : m_pictures)
        picture.reset(av_frame_alloc());
    m_packet.reset(av_packet_alloc());
    if (!m_context || !m_packet || !m_pictures.back())
        return FreeCodec();
    AVCodecContext* c = m_context.get();
    c->bit_rate = kBitRate;
    c->width = width;
    c->height = height;
    c->time_base = AVRational{1, kFramesPerSecond};
    c->framerate = AVRational{kFramesPerSecond, 1};
    c->gop_size = kGopSize;
    c->max_b_frames = kMaxBFrames;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    const int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) {
        LogError("cannot open the MPEG-1 encoder at %dx%d: %s\n", width, height,
                     AvErrorText(rc).c_str());
        return FreeCodec();
    }
    m_nextSlot = 0;
    m_lastIntraSlot = 0;
    m_pendingRepeats = 0;
    m_numbering.Reset();
    const auto typical = static_cast<std::uint64_t>(8 * TypicalBytesPerSecond(RecordFormat::kMpeg1, width, height));
    m_numbering.SetBitRate(m_bitRate > 0 ? m_bitRate : typical);
    m_repeatPicture = RepeatPicture(width, height, 0);
    m_initialised = 1;
}

void CVideoEncoder::EncodeFrame(const std::uint8_t* frame, int width, int height, PreciseTime pictureTime)
{
    m_pictureTime = pictureTime;
    EncodeFrame(frame, width, height);
    m_pictureTime = -1;
}

void CVideoEncoder::EncodeFrame(const std::uint8_t* frame, int width, int height)
{
    if (!m_initialised || frame == nullptr || width <= 0 || height <= 0)
        return;
    if (m_target.AwaitsRoom())
        return;
    if (m_target.RetryDue())
        NewFile();
    else if (m_target.IsOpen())
        HandleTrouble(m_target.CheckTrouble());
    if (!ConvertFrame(frame, width, height))
        return;
    if (m_format == RecordFormat::kH264) {
        if (!m_h264.IsOpen() && m_target.IsOpen() && m_nextSlot == 0)
            OpenTransportStream(m_fileFirstPicture);  // the file began before the size was known
        if (m_h264.IsOpen() && m_h264.Write(m_current, m_nextSlot, false))
            ++m_framesEncoded;
        ++m_nextSlot;
        return;
    }
    SendPicture(m_current, m_nextSlot - m_lastIntraSlot >= kGopSize);
}

// A group may not outgrow its temporal references: the picture is then
// encoded again as an intra picture, which begins a new group.
void CVideoEncoder::RepeatLastPicture()
{
    if (!m_initialised || m_current == nullptr || !m_target.IsOpen())
        return;
    if (m_format == RecordFormat::kH264) {  // the stream's time goes on; players hold the picture
        ++m_nextSlot;
        ++m_framesEncoded;
        return;
    }
    if (m_nextSlot - m_lastIntraSlot < SlotNumbering::kMaxGroupSlots) {
        ++m_pendingRepeats;
        ++m_nextSlot;
        ++m_framesEncoded;
        return;
    }
    if (!m_repeat)
        m_repeat.reset(av_frame_alloc());
    if (!m_repeat || av_frame_ref(m_repeat.get(), m_current) < 0)
        return;
    SendPicture(m_repeat.get(), true);
    av_frame_unref(m_repeat.get());
}

void CVideoEncoder::SendPicture(AVFrame* picture, bool intra)
{
    picture->pict_type = intra ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (intra)
        m_lastIntraSlot = m_nextSlot;
    picture->pts = m_nextSlot++;
    SendToCodec(picture);
}

// The frame's blue-green-red bytes go to libswscale as they are, rows
// bottom-up (the last row first, a negative stride): its direct path turns
// them into YUV without a copy, and the file holds the scene's true colours.
bool CVideoEncoder::ConvertFrame(const std::uint8_t* frame, int width, int height)
{
    m_current = WritablePicture();
    if (m_current == nullptr)
        return false;
    SwsContext* scaler = CachedScaler(m_scaler, width, height, AV_PIX_FMT_BGR24, m_context->width,
                                      m_context->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC);
    if (scaler == nullptr)
        return false;
    const int stride = 3 * width;
    const std::uint8_t* const rows[4] = {frame + static_cast<std::ptrdiff_t>(height - 1) * stride, nullptr, nullptr,
                                         nullptr};
    const int strides[4] = {-stride, 0, 0, 0};
    sws_scale(scaler, rows, strides, 0, height, m_current->data, m_current->linesize);
    return true;
}

// The codec keeps a reference to the picture it holds back until the next
// one comes, so the pictures take turns: one the codec has let go of is
// written again without a copy or an allocation.
AVFrame* CVideoEncoder::WritablePicture()
{
    for (auto& picture : m_pictures) {
        if (picture->data[0] == nullptr) {
            picture->format = AV_PIX_FMT_YUV420P;
            picture->width = m_context->width;
            picture->height = m_context->height;
            return av_frame_get_buffer(picture.get(), 0) < 0 ? nullptr : picture.get();
        }
        if (av_frame_is_writable(picture.get()))
            return picture.get();
    }
    return av_frame_make_writable(m_pictures[0].get()) < 0 ? nullptr : m_pictures[0].get();
}

void CVideoEncoder::SendToCodec(const AVFrame* picture)
{
    if (avcodec_send_frame(m_context.get(), picture) < 0)
        return;
    if (picture != nullptr)
        ++m_framesEncoded;
    for (;;) {
        const int rc = avcodec_receive_packet(m_context.get(), m_packet.get());
        if (rc < 0)
            break;  // EAGAIN: the codec wants the next picture; EOF: drained
        WritePacket(m_packet.get());
        av_packet_unref(m_packet.get());
        WritePendingRepeats();
    }
    if (picture == nullptr)
        WritePendingRepeats();  // drained: the last picture's repeats follow it
}

// A new file's first coded bytes begin with the sequence header; the mark
// of its first picture's time goes right after it, where the stream's
// syntax allows user data. The headers are renumbered by slot first.
void CVideoEncoder::WritePacket(AVPacket* packet)
{
    if (av_packet_make_writable(packet) < 0)
        return;
    if (packet->flags & AV_PKT_FLAG_KEY) {
        m_lastIntraSlot = std::max(m_lastIntraSlot, m_numbering.Slot());
        if (m_numbering.Slot() - m_rateSlot >= kRateUpdateSlots)
            UpdateHeaderRate();
    }
    const auto size = static_cast<std::size_t>(packet->size);
    if (!m_firstPictureMark.empty())
        m_headerPlaces.clear();  // a new file
    NoteSequenceHeader(packet->data, size);
    m_numbering.Renumber(packet->data, size);
    if (m_firstPictureMark.empty()) {
        m_target.Write(packet->data, size);
        return;
    }
    const std::size_t place = FirstPictureMarkPlace(packet->data, size);
    std::vector<std::uint8_t> first(packet->data, packet->data + place);
    first.insert(first.end(), m_firstPictureMark.begin(), m_firstPictureMark.end());
    first.insert(first.end(), packet->data + place, packet->data + size);
    m_firstPictureMark.clear();
    m_target.Write(first.data(), first.size());
}

// The repeats of a picture go into the file in one write.
void CVideoEncoder::WritePendingRepeats()
{
    if (m_pendingRepeats == 0 || m_repeatPicture.size() < 6)
        return;
    const std::size_t one = m_repeatPicture.size();
    m_repeatBuffer.resize(one * static_cast<std::size_t>(m_pendingRepeats));
    for (int i = 0; i < m_pendingRepeats; ++i) {
        std::uint8_t* picture = m_repeatBuffer.data() + one * static_cast<std::size_t>(i);
        std::copy(m_repeatPicture.begin(), m_repeatPicture.end(), picture);
        WriteTemporalReference(picture + 4, m_numbering.NextRepeat());
    }
    m_pendingRepeats = 0;
    m_target.Write(m_repeatBuffer.data(), m_repeatBuffer.size());
}

void CVideoEncoder::HandleTrouble(RecordingFile::Trouble trouble)
{
    switch (trouble) {
    case RecordingFile::Trouble::kNone:
        return;
    case RecordingFile::Trouble::kRemoved:
        return ReplaceRemovedFile();
    case RecordingFile::Trouble::kOutOfReach:
        // Its disk was unmounted under it: the file ends, and the folder says where things stand.
        LogError("recording file '%s' is out of reach: its disk went away\n", m_target.Path().c_str());
        NewFile();
        return;
    case RecordingFile::Trouble::kDiskError:
        return m_target.EndForError(m_target.LastError());
    }
}

// Writing on into a deleted file would lose everything from now on, so a new
// file is begun; while the folder is missing, each frame tries again.
void CVideoEncoder::ReplaceRemovedFile()
{
    const std::string removed = m_target.Path();
    if (NewFile() == 1)
        LogError("recording file '%s' was removed; recording goes on in '%s'\n", removed.c_str(), m_target.Path().c_str());
}

int CVideoEncoder::NewFile()
{
    return NewFile(m_pictureTime >= 0 ? m_pictureTime : m_clock() * kMicrosPerSecond);
}

int CVideoEncoder::NewFile(PreciseTime firstPicture)
{
    RestartStream();
    m_h264.Close();  // its last pictures go into the file they belong to
    m_firstPictureMark.clear();
    m_format = ChosenRecordFormat();
    m_fileFirstPicture = firstPicture;
    if (!m_target.Open(WholeSeconds(firstPicture), RecordFormatExtension(m_format)))
        return 0;
    if (m_format == RecordFormat::kH264)
        return OpenTransportStream(firstPicture) ? 1 : 0;
    m_firstPictureMark = FirstPictureMark(firstPicture);
    return 1;
}

bool CVideoEncoder::OpenTransportStream(PreciseTime firstPicture)
{
    m_nextSlot = 0;
    if (!m_initialised)
        return true;  // opened at the first picture, once the size is known
    std::string error;
    if (m_h264.Open(m_context->width, m_context->height, firstPicture,
                    [this](const std::uint8_t* data, std::size_t size) { return m_target.Write(data, size); }, &error))
        return true;
    LogError("camera %d: %s\n", m_deviceIndex + 1, error.c_str());
    return false;
}

// A stream that already carries pictures ends in the file it is in, and the
// codec starts afresh, so every file begins with a sequence header and an
// intra picture and plays from its first picture on.
void CVideoEncoder::RestartStream()
{
    if (!m_initialised || m_nextSlot == 0)
        return;
    SendToCodec(nullptr);
    UpdateHeaderRate();
    const int width = m_context->width;
    const int height = m_context->height;
    FreeCodec();
    Init(m_deviceIndex, width, height);
}

void CVideoEncoder::Close()
{
    if (m_format == RecordFormat::kH264) {
        m_h264.Close();
        m_target.Close(nullptr, 0);
        FreeCodec();
        return;
    }
    if (m_initialised) {
        SendToCodec(nullptr);  // drain the picture the codec holds back, and its repeats
        UpdateHeaderRate();
    }
    m_target.Close(kSequenceEndCode, sizeof kSequenceEndCode);
    FreeCodec();
}

void CVideoEncoder::FreeCodec()
{
    m_scaler.reset();
    m_packet.reset();
    m_current = nullptr;
    m_repeat.reset();
    for (auto& picture : m_pictures)
        picture.reset();
    m_context.reset();
    m_initialised = 0;
}

// A raw MPEG-1 stream has no index: players take its length from the size
// and the bit rate of the sequence headers they read first. A file's
// headers say the rate the camera's last file had (before one, the typical
// rate of its size, TypicalBytesPerSecond); those of its first ten seconds are set to the file's
// own average once a minute and when the file ends, so a finished file
// gives its length, and one cut off by a kill its length within what a
// minute changed.
void CVideoEncoder::NoteSequenceHeader(const std::uint8_t* data, std::size_t size)
{
    if (m_numbering.Slot() > kProbedSlots || size < 12 || data[0] != 0 || data[1] != 0 || data[2] != 1 ||
        data[3] != 0xB3)
        return;
    if (m_headerPlaces.empty())
        m_rateSlot = 0;
    m_headerPlaces.push_back(HeaderPlace{m_target.Size() + 4, data[10]});
}

void CVideoEncoder::UpdateHeaderRate()
{
    const long long slots = m_numbering.Slot();
    m_rateSlot = slots;
    if (slots < kRecordingPicturesPerSecond || !m_target.IsOpen())
        return;
    m_bitRate = m_target.Size() * 8 * kRecordingPicturesPerSecond / static_cast<std::uint64_t>(slots);
    for (const HeaderPlace& place : m_headerPlaces) {
        std::uint8_t body[7] = {0, 0, 0, 0, 0, 0, place.lastByte};
        WriteSequenceBitRate(body, m_bitRate);
        m_target.Rewrite(place.body + 4, body + 4, 3);
    }
}
