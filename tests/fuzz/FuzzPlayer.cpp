#include "FuzzBodies.h"

#include "Mpeg1StreamDecoder.h"
#include "PackedScale.h"
#include "PictureTime.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

void FuzzPlayerBytes(const std::uint8_t* data, std::size_t size)
{
    static Mpeg1StreamDecoder decoder;
    static SwsContextPtr scaler;
    static PackedScaler packed;
    if (!decoder.IsOpen()) {
        av_log_set_level(AV_LOG_QUIET);
        if (decoder.Open() != Mpeg1StreamDecoder::kOpened)
            std::abort();
    }
    decoder.Reset();
    std::vector<std::uint8_t> rgb;
    const RecordingIdentity recording{1, TimeValue{1257064200}};
    const auto convert = [&](const AVFrame* picture) {
        const QString time = PictureTimeText(recording, Mpeg1StreamDecoder::PictureNumber(picture));
        if (Mpeg1StreamDecoder::PictureNumber(picture) >= 0 && time.isEmpty())
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
}
