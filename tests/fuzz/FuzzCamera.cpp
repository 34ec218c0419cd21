// Arbitrary bytes as what an MJPEG camera sends over HTTP or TCP: cut into
// pictures by their markers (in chunks of the sizes the input's first byte
// picks, as the network would hand them over), each picture's size read
// from its header and the picture decoded as the camera's decoder would.
#include "FuzzBodies.h"

#include "FfmpegPtr.h"
#include "JpegSplitter.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

void Decode(const JpegSplitter::Picture& picture)
{
    static CodecContextPtr decoder = [] {
        CodecContextPtr c(avcodec_alloc_context3(avcodec_find_decoder(AV_CODEC_ID_MJPEG)));
        if (c && avcodec_open2(c.get(), avcodec_find_decoder(AV_CODEC_ID_MJPEG), nullptr) < 0)
            c.reset();
        return c;
    }();
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!decoder || !packet || !frame || av_new_packet(packet.get(), static_cast<int>(picture.bytes.size())) < 0)
        return;
    std::copy(picture.bytes.begin(), picture.bytes.end(), packet->data);
    if (avcodec_send_packet(decoder.get(), packet.get()) == 0)
        while (avcodec_receive_frame(decoder.get(), frame.get()) == 0)
            av_frame_unref(frame.get());
}

}  // namespace

void FuzzCameraBytes(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return;
    const std::size_t chunk = data[0] % 64 + 1;
    JpegSplitter splitter;
    std::vector<JpegSplitter::Picture> pictures;
    for (std::size_t at = 1; at < size; at += chunk)
        splitter.Feed(data + at, std::min(chunk, size - at), JpegSplitter::Clock::now(), &pictures);
    for (const JpegSplitter::Picture& picture : pictures) {
        const auto& b = picture.bytes;
        // Every picture is whole: from its start marker to its end marker.
        if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8 || b[b.size() - 2] != 0xFF || b.back() != 0xD9 ||
            b.size() > JpegSplitter::kMaxPicture)
            std::abort();
        if (JpegPictureSize(b.data(), b.size()))
            Decode(picture);
    }
}
