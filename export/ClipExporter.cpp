#include "ClipExporter.h"

#include "ExportRange.h"
#include "Mp4Writer.h"
#include "Mpeg1StreamDecoder.h"
#include "PackedScale.h"

extern "C" {
#include <libavutil/sha.h>
}

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t kChunk = 65536;

// One export's state: the clip being written and where the pictures stand.
class ExportRun {
public:
    ExportRun(const ExportRequest& request, const std::atomic<bool>* cancel, const ClipExporter::Progress& progress)
        : m_request(request), m_cancel(cancel), m_progress(progress)
    {
    }

    ExportResult Run();

private:
    bool Validate();
    bool ExportFile(const ExportSource& source);
    bool TakePicture(const ExportSource& source, const AVFrame* picture);
    bool Fail(const std::string& error)
    {
        if (m_error.empty())
            m_error = error;
        return false;
    }

    const ExportRequest& m_request;
    const std::atomic<bool>* m_cancel;
    const ClipExporter::Progress& m_progress;
    std::string m_part;
    Mp4Writer m_writer;
    Mpeg1StreamDecoder m_decoder;
    SwsContextPtr m_toRgb;
    PackedScaler m_packed;
    std::vector<std::uint8_t> m_rgb;
    long long m_index = 0;      // picture of the current source
    long long m_written = 0;    // pictures in the clip
    bool m_pastRange = false;
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

ExportResult ExportRun::Run()
{
    ExportResult result;
    m_part = m_request.output + ".part";
    bool ok = Validate();
    const std::vector<ExportSource> sources = ok ? SourcesForRange(m_request.camera, m_request.from, m_request.to)
                                                 : std::vector<ExportSource>();
    if (ok && sources.empty())
        ok = Fail("camera " + std::to_string(m_request.camera) + " has no recording in that range");
    for (const ExportSource& source : sources) {
        if (!ok || m_pastRange)
            break;
        ok = ExportFile(source);
    }
    if (ok && m_written == 0)
        ok = Fail("camera " + std::to_string(m_request.camera) + " has no recording in that range");
    std::string error;
    if (ok && !m_writer.Finish(&error))
        ok = Fail(error);
    if (ok && std::rename(m_part.c_str(), m_request.output.c_str()) != 0)
        ok = Fail("cannot write " + m_request.output + ": " + std::strerror(errno));
    if (ok && !WriteChecksumFile(m_request.output, &result.checksumFile, &error)) {
        std::remove(m_request.output.c_str());
        ok = Fail(error);
    }
    std::remove(m_part.c_str());  // nothing half-written stays
    result.ok = ok;
    result.error = m_error;
    result.pictures = m_written;
    return result;
}

bool ExportRun::ExportFile(const ExportSource& source)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(source.path.c_str(), "rb"), &std::fclose);
    if (!file)
        return Fail("recording file " + source.path + " cannot be read: " + std::strerror(errno));
    if (!m_decoder.IsOpen() && m_decoder.Open() != Mpeg1StreamDecoder::kOpened)
        return Fail("no MPEG-1 decoder in this FFmpeg");
    m_decoder.Reset();
    m_index = 0;
    std::vector<std::uint8_t> chunk(kChunk + AV_INPUT_BUFFER_PADDING_SIZE);
    const auto sink = [this, &source](const AVFrame* picture) { return TakePicture(source, picture); };
    bool going = true;
    while (going) {
        const std::size_t n = std::fread(chunk.data(), 1, kChunk, file.get());
        std::memset(chunk.data() + n, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        if (n == 0)
            break;
        going = m_decoder.Feed(chunk.data(), static_cast<int>(n), sink);
    }
    if (going)
        m_decoder.Drain(sink, sink);
    if (!m_error.empty())
        return false;
    if (m_index == 0)
        return Fail("recording file " + source.path + " is damaged: no picture in it");
    return true;
}

// The decoder's pictures hold the scene with red and blue exchanged: read
// as red, green, blue bytes they are the true blue, green, red.
bool ExportRun::TakePicture(const ExportSource& source, const AVFrame* picture)
{
    const long long index = m_index++;
    if (m_cancel != nullptr && *m_cancel)
        return Fail("cancelled");
    // The number the stream gives the picture; its place in decoding order
    // only where the stream gives none.
    long long number = Mpeg1StreamDecoder::PictureNumber(picture);
    if (number == PictureNumbering::kUnknown)
        number = index;
    if (!PictureInRange(source.start, number, m_request.from, m_request.to)) {
        m_pastRange = m_written > 0 || PictureAfterRange(source.start, number, m_request.to);
        return !m_pastRange;
    }
    std::string error;
    if (!m_writer.IsOpen() &&
        !m_writer.Open(m_part, picture->width, picture->height, WholeSeconds(PictureTime(source.start, number)),
                       "Lumaro 摄像头 " + std::to_string(m_request.camera), &error))
        return Fail(error);
    const int stride = 3 * picture->width;
    m_rgb.resize(static_cast<std::size_t>(stride) * picture->height);
    SwsContext* scaler = CachedScaler(m_toRgb, picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
                                      picture->width, picture->height, AV_PIX_FMT_RGB24, SWS_BICUBIC);
    if (scaler == nullptr)
        return Fail("out of memory");
    m_packed.Scale(scaler, picture, picture->width, picture->height, m_rgb.data(), stride);
    if (!m_writer.Write(m_rgb.data(), stride, &error))
        return Fail(error);
    ++m_written;
    if (m_progress)
        m_progress(static_cast<double>(m_written) / ((m_request.to - m_request.from) * kExportPicturesPerSecond + 1));
    return true;
}

}  // namespace

ExportResult ClipExporter::Run(const ExportRequest& request, const std::atomic<bool>* cancel, const Progress& progress)
{
    return ExportRun(request, cancel, progress).Run();
}

bool WriteChecksumFile(const std::string& path, std::string* checksumFile, std::string* error)
{
    std::unique_ptr<AVSHA, void (*)(void*)> sha(av_sha_alloc(), &av_free);
    std::ifstream in(path, std::ios::binary);
    if (!sha || !in || av_sha_init(sha.get(), 256) < 0) {
        *error = "cannot read " + path + " for its checksum";
        return false;
    }
    std::vector<char> buffer(kChunk);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        av_sha_update(sha.get(), reinterpret_cast<const std::uint8_t*>(buffer.data()), static_cast<unsigned>(in.gcount()));
    std::uint8_t digest[32];
    av_sha_final(sha.get(), digest);
    std::string hex;
    for (std::uint8_t byte : digest)
        hex += StrFormat("%02x", byte);
    const std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    *checksumFile = path + ".sha256";
    std::ofstream out(*checksumFile, std::ios::trunc);
    out << hex << "  " << name << "\n";
    out.close();
    if (!out) {
        std::remove(checksumFile->c_str());
        *error = "cannot write " + *checksumFile;
        return false;
    }
    return true;
}
