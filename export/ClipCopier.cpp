#include "ClipCopier.h"

#include "H264Units.h"
#include "RecordingDecoder.h"
#include "RecordingSeeker.h"

#include <cstdio>
#include <memory>

namespace {

constexpr std::size_t kChunk = 65536;
constexpr std::int64_t kTicksPerPicture = 90000 / kRecordingPicturesPerSecond;
constexpr std::int64_t kPictureStamps = Mp4Writer::kTimeScale / kRecordingPicturesPerSecond;

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// Feeds a recording's bytes from `offset` to its end to `feed` until it
// answers false.
template <typename Feed>
void ReadFrom(const std::string& path, std::int64_t offset, std::int64_t limit, Feed feed)
{
    FilePtr file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file || ::fseeko(file.get(), offset, SEEK_SET) != 0)
        return;
    std::vector<std::uint8_t> chunk(kChunk + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    for (std::int64_t read = 0; read < limit;) {
        const std::size_t n = std::fread(chunk.data(), 1, kChunk, file.get());
        if (n == 0)
            return;
        std::fill(chunk.begin() + static_cast<std::ptrdiff_t>(n), chunk.end(), 0);
        read += static_cast<std::int64_t>(n);
        if (!feed(chunk.data(), n))
            return;
    }
}

// The parameter sets of a transport-stream recording's first picture.
std::vector<std::uint8_t> FirstParameterSets(const std::string& path)
{
    std::vector<std::uint8_t> head;
    ReadFrom(path, 0, kChunk, [&head](const std::uint8_t* data, std::size_t n) {
        head.assign(data, data + n);
        return false;
    });
    const std::vector<std::uint8_t> video = TransportVideoPayload(head.data(), head.size());
    return ParameterSets(video.data(), video.size());
}

// The size and colours of a recording's first picture, as decoded.
std::optional<Mp4Writer::CopiedStream> DecodedShape(const std::string& path, std::int64_t firstPts)
{
    RecordingDecoder decoder;
    if (decoder.Open(RecordingDecoder::Format::kTransport, firstPts) != RecordingDecoder::kOpened)
        return std::nullopt;
    std::optional<Mp4Writer::CopiedStream> shape;
    const auto take = [&shape](const AVFrame* picture) {
        shape = Mp4Writer::CopiedStream{{}, picture->width, picture->height, picture->color_range,
                                        picture->color_primaries, picture->color_trc, picture->colorspace};
        return false;
    };
    ReadFrom(path, 0, 64 * kChunk, [&](const std::uint8_t* data, std::size_t n) {
        return decoder.Feed(data, static_cast<int>(n), take) && !shape;
    });
    if (!shape)
        decoder.Drain(take, take);
    return shape;
}

}  // namespace

std::optional<Mp4Writer::CopiedStream> CopyableStream(const SourcePlan& plan)
{
    std::optional<Mp4Writer::CopiedStream> stream;
    for (std::size_t i = 0; i < plan.pieces.size(); ++i) {
        const ExportSource& source = plan.sources[plan.pieces[i].source];
        if (i > 0 && plan.pieces[i].from > source.start)
            return std::nullopt;
        const RecordingSeeker seeker(source.path);
        if (!seeker.IsTransportStream())
            return std::nullopt;
        std::vector<std::uint8_t> sets = FirstParameterSets(source.path);
        if (sets.empty() || (stream && sets != stream->parameterSets))
            return std::nullopt;
        if (!stream && (!(stream = DecodedShape(source.path, seeker.FirstPts())) ||
                        sets != ClipHead::RecorderParameterSets(stream->width, stream->height)))
            return std::nullopt;
        stream->parameterSets = std::move(sets);
    }
    return stream;
}

ClipCopier::ClipCopier(const SourcePlan& plan, Mp4Writer::CopiedStream stream, ClipLedger& ledger, Mp4Writer& writer,
                       std::string clipPath, Mp4Writer::Tags tags, Shown shown)
    : m_plan(plan), m_stream(std::move(stream)), m_ledger(ledger), m_writer(writer), m_clipPath(std::move(clipPath)),
      m_tags(std::move(tags)), m_shown(std::move(shown))
{
}

bool ClipCopier::Fail(const std::string& error)
{
    if (m_error.empty())
        m_error = error;
    return false;
}

void ClipCopier::BeginPiece(const ExportPiece& piece)
{
    const ExportSource& source = m_plan.sources[piece.source];
    const RecordingSeeker seeker(source.path);
    m_piece = &piece;
    m_firstPts = seeker.FirstPts();
    m_demux = TransportDemux();
    m_unit.clear();
    m_unitPts.reset();
    m_unitBreaks = 0;
    m_past = false;
    m_awaitRefresh = true;
    m_damaged = false;
    m_held = -1;
    m_pictures = 0;
    CheckEnd(source, seeker);
}

// A file's last group is where a cut lands: it is decoded, and its pictures
// that do not decode cleanly are damage.
void ClipCopier::CheckEnd(const ExportSource& source, const RecordingSeeker& seeker)
{
    m_endGroup = -1;
    m_sound.clear();
    const std::optional<long long> last = seeker.LastPictureNumber();
    const std::optional<GroupPlace> group = last ? seeker.GroupOf(*last) : std::nullopt;
    RecordingDecoder decoder;
    if (m_piece->to < source.end || !group ||
        decoder.Open(RecordingDecoder::Format::kTransport, m_firstPts) != RecordingDecoder::kOpened)
        return;
    m_endGroup = group->number;
    m_endLast = *last;
    const auto sound = [this](const AVFrame* picture) {
        if (!RecordingDecoder::Concealed(picture))
            m_sound.insert(RecordingDecoder::PictureNumber(picture));
        return true;
    };
    ReadFrom(source.path, group->offset, INT64_MAX, [&](const std::uint8_t* data, std::size_t n) {
        return decoder.Feed(data, static_cast<int>(n), sound);
    });
    decoder.Drain(sound, sound);
}

bool ClipCopier::Feed(const std::uint8_t* data, std::size_t size)
{
    bool going = !m_past;
    m_demux.Feed(data, size, [this, &going](const std::uint8_t* video, std::size_t count, std::optional<std::int64_t> pts) {
        if (pts) {
            going = !m_unitPts || Picture();
            m_unit.clear();
            m_unitPts = pts;
            m_unitBreaks = m_demux.Breaks();
        }
        m_unit.insert(m_unit.end(), video, video + count);
        return going;
    });
    return going && m_error.empty();
}

bool ClipCopier::EndPiece()
{
    if (!m_past && m_unitPts)
        Picture();
    m_unitPts.reset();
    return m_error.empty();
}

// The picture gathered, complete: a packet lost within it or before the
// next breaks it and what refers to it, up to the next refresh picture.
bool ClipCopier::Picture()
{
    const long long number = TimeStampDistance(m_firstPts, *m_unitPts) / kTicksPerPicture;
    const bool refresh = IsRefreshPicture(m_unit.data(), m_unit.size());
    if (refresh)
        m_awaitRefresh = m_damaged = false;
    if (m_demux.Breaks() != m_unitBreaks)
        m_damaged = true;
    if (m_held >= 0 && !Hold(number))
        return false;
    const PreciseTime at = PictureTime(m_plan.sources[m_piece->source].start, number);
    if (at >= m_piece->to) {
        m_past = true;
        return false;
    }
    ++m_pictures;
    if (at >= m_piece->from)
        return Show(number, at, refresh);
    // Before the range: only what decodes the range's first pictures.
    if (!m_awaitRefresh && !m_writer.IsOpen() && (m_head.IsOpen() || m_head.Open(m_stream.width, m_stream.height, &m_error)))
        m_head.Lead(m_unit);
    m_held = number;
    m_heldDamaged = m_damaged;
    return true;
}

// The slots between the last coded picture and `number` show the last one
// again; longer than a hold the camera was silent and no picture shows.
bool ClipCopier::Hold(long long number)
{
    const ExportSource& source = m_plan.sources[m_piece->source];
    for (long long slot = m_held + 1; slot < number && slot - m_held <= kLongestHold; ++slot) {
        const PreciseTime at = PictureTime(source.start, slot);
        if (at < m_piece->from)
            continue;
        if (at >= m_piece->to) {
            m_past = true;
            return false;
        }
        const std::optional<std::int64_t> stamp = m_ledger.Take(m_piece->source, slot, at, m_heldDamaged);
        if (!stamp)
            continue;
        m_lastStamp = *stamp;
        m_shown(at);
        // The range begins with a repeat of a picture from before it.
        if (!m_writer.IsOpen() && m_head.IsOpen() && (!OpenWriter() || !m_head.EncodeLast(slot, *stamp, Pusher())))
            return Fail("the clip's first pictures cannot be encoded");
    }
    return true;
}

bool ClipCopier::Show(long long number, PreciseTime at, bool refresh)
{
    const bool lastGroup = m_endGroup >= 0 && number >= m_endGroup && number <= m_endLast;
    const bool damaged = m_damaged || m_awaitRefresh || (lastGroup && m_sound.count(number) == 0);
    const std::optional<std::int64_t> stamp = m_ledger.Take(m_piece->source, number, at, damaged);
    m_held = number;
    m_heldDamaged = damaged;
    if (!stamp) {  // not later than the clip's last picture: left out, and what refers to it cannot decode
        m_awaitRefresh = true;
        return true;
    }
    m_lastStamp = *stamp;
    m_shown(at);
    if (m_awaitRefresh)  // nothing before it to decode it from: counted as damage, not written
        return true;
    if (!m_writer.IsOpen() && !OpenWriter())
        return false;
    // Up to the range's first refresh picture the pictures are the head's.
    if (!m_copying && refresh) {
        if (!m_head.Finish(Pusher()))
            return Fail("the clip's first pictures cannot be encoded");
        m_copying = true;
    }
    if (m_copying)
        return Push(std::move(m_unit), *stamp, refresh);
    if (!m_head.IsOpen())
        return Fail("the clip's first pictures cannot be encoded: " + m_error);
    return m_head.Encode(m_unit, number, *stamp, Pusher()) || Fail("the clip's first pictures cannot be encoded");
}

bool ClipCopier::OpenWriter()
{
    m_tags.firstPicture = m_ledger.First();
    return m_writer.OpenCopy(m_clipPath, m_stream, m_tags, &m_error);
}

ClipHead::Out ClipCopier::Pusher()
{
    return [this](std::vector<std::uint8_t> bytes, std::int64_t stamp, bool refresh) {
        return Push(std::move(bytes), stamp, refresh);
    };
}

// Each picture is written when the next one's time, which ends it, is known.
bool ClipCopier::Push(std::vector<std::uint8_t> bytes, std::int64_t stamp, bool refresh)
{
    if (m_pending && !WritePending(stamp - m_pendingStamp))
        return false;
    m_pending = Coded{std::move(bytes), refresh};
    m_pendingStamp = stamp;
    return true;
}

bool ClipCopier::WritePending(std::int64_t duration)
{
    const Coded coded = std::move(*m_pending);
    m_pending.reset();
    return m_writer.WriteCoded(coded.bytes.data(), coded.bytes.size(), m_pendingStamp, duration, coded.refresh,
                               &m_error);
}

bool ClipCopier::Finish()
{
    if (!m_head.Finish(Pusher()))
        return Fail("the clip's first pictures cannot be encoded");
    if (m_pending && !WritePending(m_lastStamp + kPictureStamps - m_pendingStamp))
        return false;
    return m_ledger.Pictures() == 0 || m_writer.IsOpen() || Fail("the recordings in that range are damaged: no picture decodes");
}
