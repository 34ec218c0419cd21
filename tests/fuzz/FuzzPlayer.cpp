#include "FuzzBodies.h"
#include "PictureClock.h"
#include "TransportStream.h"
#include "H264Units.h"

#include "RecordingDecoder.h"
#include "PackedScale.h"
#include "PictureTime.h"
#include "RecordingSeeker.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

void FuzzPlayerBytes(const std::uint8_t* data, std::size_t size)
{
    static RecordingDecoder decoder;
    static SwsContextPtr scaler;
    static PackedScaler packed;
    if (!decoder.IsOpen()) {
        av_log_set_level(AV_LOG_QUIET);
        if (decoder.Open() != RecordingDecoder::kOpened)
            std::abort();
    }
    decoder.Reset();
    std::vector<std::uint8_t> rgb;
    const RecordingIdentity recording{1, PreciseTime{1257064200} * kMicrosPerSecond};
    const auto convert = [&](const AVFrame* picture) {
        const QString time = PictureTimeText(recording, RecordingDecoder::PictureNumber(picture));
        if (RecordingDecoder::PictureNumber(picture) >= 0 && time.isEmpty())
            std::abort();  // every known picture has a time
        SwsContext* s = CachedScaler(scaler, picture->width, picture->height,
                                     static_cast<AVPixelFormat>(picture->format), picture->width,
                                     picture->height, AV_PIX_FMT_RGB24, SWS_BICUBIC);
        if (s == nullptr)
            return true;
        rgb.resize(static_cast<std::size_t>(picture->width) * picture->height * 3);
        packed.Scale(s, picture, picture->width, picture->height, rgb.data(), picture->width * 3);
        return true;
    };
    constexpr std::size_t kChunk = 4096;
    std::uint8_t chunk[kChunk + AV_INPUT_BUFFER_PADDING_SIZE];
    for (std::size_t at = 0; at < size; at += kChunk) {
        const std::size_t n = std::min(kChunk, size - at);
        std::memcpy(chunk, data + at, n);
        std::memset(chunk + n, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        decoder.Feed(chunk, static_cast<int>(n), convert);
    }
    decoder.Drain(convert, convert);
    FuzzRecordingLayout(data, size);
}

// An export that copies H.264 pictures gathers them from the transport
// packets, counts the stream's breaks and reads each picture's units.
void FuzzH264Units(const std::uint8_t* data, std::size_t size, const std::vector<std::uint8_t>& video)
{
    if (FirstSlice(video.data(), video.size()) > video.size())
        std::abort();
    const std::vector<std::uint8_t> sets = ParameterSets(video.data(), video.size());
    if (sets.size() > video.size() + video.size() / 3 + 4)
        std::abort();  // each set behind a start code no longer than three bytes and its own
    (void)IsRefreshPicture(video.data(), video.size());
    TransportDemux demux;
    std::size_t gathered = 0;
    for (std::size_t at = 0, chunk = 1; at < size; at += chunk, chunk = chunk * 3 % 401 + 1)
        demux.Feed(data + at, std::min(chunk, size - at), [&gathered](const std::uint8_t*, std::size_t n, std::optional<std::int64_t>) {
            gathered += n;
            return true;
        });
    if (gathered > size || demux.Breaks() < 0 || static_cast<std::size_t>(demux.Breaks()) > size)
        std::abort();
}

// The first picture mark and the group search read a recording's bytes too.
void FuzzRecordingLayout(const std::uint8_t* data, std::size_t size)
{
    if (FirstPictureMarkPlace(data, size) > size)
        std::abort();
    (void)FindFirstPictureMark(data, size);
    (void)FindTrueColourMark(data, size);
    std::vector<TransportPicture> pictures;
    const std::vector<std::uint8_t> video = TransportVideoPayload(data, size, &pictures);
    if (video.size() > size || pictures.size() > size / kTransportPacket)
        std::abort();
    (void)FindH264FirstPictureMark(video.data(), video.size());
    FuzzH264Units(data, size, video);
    static const std::string path = [] {
        char dir[] = "/tmp/lumaro-fuzz-XXXXXX";
        return std::string(mkdtemp(dir) != nullptr ? dir : "/tmp") + "/bytes.mpg";
    }();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    const RecordingSeeker seeker(path);
    const std::optional<long long> last = seeker.LastPictureNumber();
    for (long long target : {0LL, 7LL, 250LL, last.value_or(1000)}) {
        const std::optional<GroupPlace> group = seeker.GroupOf(target);
        if (group && (group->offset < 0 || group->offset > static_cast<std::int64_t>(size) || group->header < group->offset))
            std::abort();  // a place inside the file, its sequence header before its group header
    }
}
