#include "ClipExporter.h"

#include "ClipCopier.h"
#include "ExportDelivery.h"
#include "ExportRange.h"
#include "Mp4Writer.h"
#include "RecordingDecoder.h"
#include "PackedScale.h"
#include "RecordingSeeker.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr std::size_t kChunk = 65536;

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// One export's state: the clip being written and where the pictures stand.
class ExportRun {
public:
    ExportRun(const ExportRequest& request, const std::atomic<bool>* cancel, const ClipExporter::Progress& progress)
        : m_request(request), m_cancel(cancel), m_progress(progress),
          m_ledger(request.from * kMicrosPerSecond, request.to * kMicrosPerSecond, Mp4Writer::kTimeScale)
    {
    }

    ExportResult Run();

private:
    bool Validate();
    bool CheckNames(ExportResult& result);
    bool Plan();
    bool Export();
    bool MakePiece(const ExportPiece& piece);
    std::int64_t StartAtPiece(std::FILE* file, const ExportSource& source, PreciseTime from) const;
    bool ReadPiece(std::FILE* file, SourceRead& read);
    bool CopyPiece(std::FILE* file, SourceRead& read);
    bool OpenDecoder(const ExportSource& source);
    using Feed = std::function<bool(const std::uint8_t* data, std::size_t size)>;
    bool ReadBytes(std::FILE* file, SourceRead& read, const Feed& feed);
    Mp4Writer::Tags ClipTags() const;
    void Shown(PreciseTime at);
    bool TakePicture(const AVFrame* picture);
    bool TakeNumbered(const AVFrame* picture, long long number);
    bool WritePicture(const AVFrame* picture, PreciseTime at, std::int64_t stamp);
    bool Deliver(ExportResult& result);
    bool Cancelled() const { return m_cancel != nullptr && *m_cancel; }
    bool Fail(const std::string& error)
    {
        if (m_error.empty())
            m_error = error;
        return false;
    }

    const ExportRequest& m_request;
    const std::atomic<bool>* m_cancel;
    const ClipExporter::Progress& m_progress;
    ExportNames m_names;
    std::unique_ptr<TempFile> m_clip;
    SourcePlan m_plan;
    std::vector<std::vector<SourceRead>> m_reads;  // by source
    ClipLedger m_ledger;
    Mp4Writer m_writer;
    RecordingDecoder m_decoder;
    SwsContextPtr m_toRgb;
    PackedScaler m_packed;
    std::vector<std::uint8_t> m_rgb;
    const ExportPiece* m_piece = nullptr;
    long long m_index = 0;  // picture of the current piece's source, in decoding order
    FramePtr m_held;            // a transport stream's last picture, which fills the slots after it
    long long m_heldNumber = 0;
    std::unique_ptr<ClipCopier> m_copier;  // when the pictures are copied as recorded
    bool m_fromTwice = false;
    bool m_toTwice = false;
    std::string m_error;
};

bool ExportRun::Validate()
{
    if (m_request.camera < 1 || m_request.camera > 4)
        return Fail("the camera must be 1, 2, 3 or 4");
    if (m_request.to <= m_request.from)
        return Fail("the range is empty or given backwards (--from must be before --to)");
    if (m_request.output.empty())
        return Fail("no output file given");
    return true;
}

bool ExportRun::CheckNames(ExportResult& result)
{
    m_names = NamesFor(m_request.output);
    const OutputCheck check = CheckOutput(m_names, m_request.overwrite, GuardedFolders());
    if (check.verdict != OutputVerdict::kFree) {
        result.refused = true;
        return Fail(OutputRefusal(check));
    }
    m_clip = std::make_unique<TempFile>(m_names.clip);
    if (m_clip->Error() != 0)
        return Fail("cannot write " + m_names.clip + ": " + std::strerror(m_clip->Error()));
    return true;
}

ExportResult ExportRun::Run()
{
    ExportResult result;
    bool ok = Validate() && CheckNames(result) && Plan() && Export();
    std::string error;
    if (ok && !m_writer.Finish(&error))
        ok = Fail(error);
    ok = ok && Deliver(result);
    result.ok = ok;
    result.error = m_error;
    result.pictures = m_ledger.Pictures();
    if (ok) {
        result.reportFile = m_names.report;
        result.checksumFile = m_names.checksum;
        result.gaps = m_ledger.Gaps();
        result.damage = m_ledger.Damage();
        for (const SourceOverlap& overlap : m_plan.overlaps)
            result.overlaps.push_back(overlap.span);
    }
    return result;  // m_clip removes the temporary clip unless it was delivered
}

bool ExportRun::Plan()
{
    std::vector<ExportSource> sources;
    if (!SourcesForRange(m_request.camera, m_request.from, m_request.to, &sources, &m_error))
        return false;
    const TimeSpan range = RangeMoments(m_request.from, m_request.to);
    m_plan = PlanSources(std::move(sources), range.from, range.to);
    m_reads.assign(m_plan.sources.size(), {});
    if (std::optional<Mp4Writer::CopiedStream> stream = CopyableStream(m_plan))
        m_copier = std::make_unique<ClipCopier>(m_plan, std::move(*stream), m_ledger, m_writer, m_clip->Path(), ClipTags(),
                                                [this](PreciseTime at) { Shown(at); });
    ParseLocalTime(FormatLocalTime("%Y-%m-%d %H:%M:%S", m_request.from), &m_fromTwice);
    ParseLocalTime(FormatLocalTime("%Y-%m-%d %H:%M:%S", m_request.to), &m_toTwice);
    return true;
}

bool ExportRun::Export()
{
    for (const ExportPiece& piece : m_plan.pieces)
        if (!MakePiece(piece))
            return false;
    if (m_copier && !m_copier->Finish())
        return Fail(m_copier->Error());
    m_ledger.Finish();
    return m_ledger.Pictures() > 0 ||
           Fail("camera " + std::to_string(m_request.camera) + " has no recording in that range");
}

// Decoding begins at the group before the piece rather than at the file's
// start: a day-long recording is not decoded up to the asked hour. The
// offset of the first byte read.
std::int64_t ExportRun::StartAtPiece(std::FILE* file, const ExportSource& source, PreciseTime from) const
{
    const long long first = PictureAt(source.start, from) - 1;
    if (first <= 0)
        return 0;
    const std::optional<GroupPlace> group = RecordingSeeker(source.path).GroupOf(first);
    if (!group || group->offset <= 0 || ::fseeko(file, group->offset, SEEK_SET) != 0)
        return 0;
    return group->offset;
}

bool ExportRun::MakePiece(const ExportPiece& piece)
{
    const ExportSource& source = m_plan.sources[piece.source];
    FilePtr file(std::fopen(source.path.c_str(), "rb"), &std::fclose);
    if (!file)
        return Fail("recording file " + source.path + " cannot be read: " + std::strerror(errno));
    m_piece = &piece;
    m_index = 0;
    SourceRead read;
    read.offset = StartAtPiece(file.get(), source, piece.from);
    const bool ok = m_copier ? CopyPiece(file.get(), read) : OpenDecoder(source) && ReadPiece(file.get(), read);
    m_reads[piece.source].push_back(read);
    if (!ok)
        return false;
    if (m_index == 0)
        return Fail("recording file " + source.path + " is damaged: no picture in it");
    return true;
}

// Reads until `feed` has had the piece (true: the file ended first); every
// byte read goes into the checksum of what the clip was made from.
bool ExportRun::ReadBytes(std::FILE* file, SourceRead& read, const Feed& feed)
{
    Sha256 sha;
    std::vector<std::uint8_t> chunk(kChunk + AV_INPUT_BUFFER_PADDING_SIZE);
    bool going = true;
    while (going && m_error.empty()) {
        if (Cancelled())
            return Fail("cancelled");
        const std::size_t n = std::fread(chunk.data(), 1, kChunk, file);
        if (n == 0)
            break;
        sha.Update(chunk.data(), n);
        read.bytes += static_cast<std::int64_t>(n);
        std::memset(chunk.data() + n, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        going = feed(chunk.data(), n);
    }
    read.sha256 = sha.Hex();
    return going;
}

// Each source in its own format: a range may span both.
bool ExportRun::OpenDecoder(const ExportSource& source)
{
    const RecordingSeeker seeker(source.path);
    const auto format = seeker.IsTransportStream() ? RecordingDecoder::Format::kTransport
                                                   : RecordingDecoder::Format::kMpeg1;
    if (m_decoder.IsOpen() && m_decoder.StreamFormat() == format && m_decoder.FirstPts() == seeker.FirstPts())
        m_decoder.Reset();
    else if (m_decoder.Open(format, seeker.FirstPts()) != RecordingDecoder::kOpened)
        return Fail("no decoder for recording file " + source.path + " in this FFmpeg");
    m_held.reset();
    return true;
}

// Reads and decodes until the piece's end.
bool ExportRun::ReadPiece(std::FILE* file, SourceRead& read)
{
    const auto sink = [this](const AVFrame* picture) { return TakePicture(picture); };
    if (ReadBytes(file, read, [&](const std::uint8_t* data, std::size_t n) {
            return m_decoder.Feed(data, static_cast<int>(n), sink);
        }))
        m_decoder.Drain(sink, sink);
    return m_error.empty();
}

// Reads until the piece's end, its coded pictures going into the clip as
// they are.
bool ExportRun::CopyPiece(std::FILE* file, SourceRead& read)
{
    m_copier->BeginPiece(*m_piece);
    if (ReadBytes(file, read, [this](const std::uint8_t* data, std::size_t n) { return m_copier->Feed(data, n); }))
        m_copier->EndPiece();
    m_index = m_copier->PiecePictures();
    return m_copier->Error().empty() || Fail(m_copier->Error());
}

bool ExportRun::TakePicture(const AVFrame* picture)
{
    const long long decoded = m_index++;
    if (Cancelled())
        return Fail("cancelled");
    // The number the stream gives the picture; its place in decoding order
    // only where the stream gives none.
    long long number = RecordingDecoder::PictureNumber(picture);
    if (number == PictureNumbering::kUnknown)
        number = decoded;
    // A transport stream does not code the slots that repeat a picture: the
    // picture before them fills them, as it does in the stream's time line.
    if (m_decoder.StreamFormat() == RecordingDecoder::Format::kTransport) {
        for (long long slot = m_heldNumber + 1; m_held && slot < number && slot - m_heldNumber <= kLongestHold; ++slot)
            if (!TakeNumbered(m_held.get(), slot))
                return false;
        if (!m_held)
            m_held.reset(av_frame_alloc());
        if (m_held) {
            av_frame_unref(m_held.get());
            if (av_frame_ref(m_held.get(), picture) < 0)
                m_held.reset();
        }
        m_heldNumber = number;
    }
    return TakeNumbered(picture, number);
}

bool ExportRun::TakeNumbered(const AVFrame* picture, long long number)
{
    const PreciseTime at = PictureTime(m_plan.sources[m_piece->source].start, number);
    if (at < m_piece->from)
        return true;
    if (at >= m_piece->to)
        return false;  // past the piece: decoding stops
    const std::optional<std::int64_t> stamp = m_ledger.Take(m_piece->source, number, at, RecordingDecoder::Concealed(picture));
    return !stamp || WritePicture(picture, at, *stamp);
}

bool ExportRun::WritePicture(const AVFrame* picture, PreciseTime at, std::int64_t stamp)
{
    std::string error;
    if (!m_writer.IsOpen() && !m_writer.Open(m_clip->Path(), picture->width, picture->height, ClipTags(), &error))
        return Fail(error);
    // A recording of another size (the camera set to another resolution) is
    // scaled to the clip's.
    const int width = m_writer.Width(), height = m_writer.Height();
    const int stride = 3 * width;
    m_rgb.resize(static_cast<std::size_t>(stride) * height);
    // An older recording's pictures hold red and blue exchanged: read as
    // red, green, blue bytes they are the true blue, green, red.
    const AVPixelFormat bgr = m_plan.sources[m_piece->source].trueColours ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_RGB24;
    SwsContext* scaler = CachedScaler(m_toRgb, picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
                                      width, height, bgr, SWS_BICUBIC);
    if (scaler == nullptr)
        return Fail("out of memory");
    m_packed.Scale(scaler, picture, width, height, m_rgb.data(), stride);
    if (!m_writer.Write(m_rgb.data(), stride, stamp, &error))
        return Fail(error);
    Shown(at);
    return true;
}

// The first picture's time is set when the clip opens.
Mp4Writer::Tags ExportRun::ClipTags() const
{
    return {m_ledger.First(), "Lumaro 摄像头 " + std::to_string(m_request.camera), "Lumaro " LUMARO_VERSION};
}

void ExportRun::Shown(PreciseTime at)
{
    if (m_progress)
        m_progress(static_cast<double>(at - m_request.from * kMicrosPerSecond) /
                       static_cast<double>((m_request.to - m_request.from) * kMicrosPerSecond + kPictureInterval),
                   m_ledger.Pictures());
}

bool ExportRun::Deliver(ExportResult& result)
{
    ExportFacts facts{m_request.camera, m_request.from, m_request.to, m_names.clip, &m_ledger, {}, {}, m_request.origin,
                      CurrentPreciseTime(), m_fromTwice, m_toTwice};
    for (std::size_t i = 0; i < m_plan.sources.size(); ++i) {
        const SourceShare share = i < m_ledger.Shares().size() ? m_ledger.Shares()[i] : SourceShare{};
        facts.sources.push_back(ReportSource{m_plan.sources[i].path, m_reads[i], share});
    }
    for (const SourceOverlap& overlap : m_plan.overlaps)
        facts.overlaps.push_back({m_plan.sources[overlap.earlier].path, m_plan.sources[overlap.later].path, overlap.span});
    if (Cancelled())
        return Fail("cancelled");
    std::string error;
    return DeliverExport(*m_clip, m_names, m_request.overwrite, facts, &error, &result.refused) || Fail(error);
}

}  // namespace

ExportResult ClipExporter::Run(const ExportRequest& request, const std::atomic<bool>* cancel, const Progress& progress)
{
    return ExportRun(request, cancel, progress).Run();
}
