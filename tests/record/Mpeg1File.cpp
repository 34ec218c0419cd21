#include "Mpeg1File.h"

#include "FfmpegPtr.h"
#include "PackedScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

void Receive(AVCodecContext* ctx, AVFrame* frame, DecodedFile& out)
{
    while (avcodec_receive_frame(ctx, frame) == 0) {
        DecodedPicture pic;
        pic.width = frame->width;
        pic.height = frame->height;
        pic.rgb.resize(static_cast<std::size_t>(pic.width) * pic.height * 3);
        SwsContextPtr sws(sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                         frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_BICUBIC,
                                         nullptr, nullptr, nullptr));
        PackedScaler().Scale(sws.get(), frame, pic.width, pic.height, pic.rgb.data(), 3 * pic.width);
        out.pictures.push_back(std::move(pic));
        out.frameRateNum = ctx->framerate.num;
        out.frameRateDen = ctx->framerate.den;
    }
}

void Decode(AVCodecContext* ctx, AVPacket* packet, AVFrame* frame, DecodedFile& out)
{
    if (avcodec_send_packet(ctx, packet) < 0)
        ++out.errors;
    Receive(ctx, frame, out);
}

}  // namespace

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

DecodedFile DecodeMpeg1File(const std::string& path)
{
    DecodedFile out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG1VIDEO);
    CodecContextPtr ctx(avcodec_alloc_context3(codec));
    ParserPtr parser(av_parser_init(AV_CODEC_ID_MPEG1VIDEO));
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (avcodec_open2(ctx.get(), codec, nullptr) < 0)
        return out;
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    bytes.resize(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const std::size_t size = bytes.size() - AV_INPUT_BUFFER_PADDING_SIZE;
    std::size_t pos = 0;
    for (bool more = true; more;) {
        const int left = static_cast<int>(size - pos);
        more = left > 0;
        const int used = av_parser_parse2(parser.get(), ctx.get(), &packet->data, &packet->size,
                                          more ? bytes.data() + pos : nullptr, left,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        pos += static_cast<std::size_t>(used);
        if (packet->size > 0)
            Decode(ctx.get(), packet.get(), frame.get(), out);
    }
    Decode(ctx.get(), nullptr, frame.get(), out);
    return out;
}

void MarkAsOlderRecording(const std::string& path)
{
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    const std::string words = " true colours";
    const auto at = std::search(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 4096)),
                                words.begin(), words.end());
    ASSERT_NE(at, bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), 4096))) << path;
    std::fill(at, at + static_cast<std::ptrdiff_t>(words.size()), ' ');
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                 static_cast<std::streamsize>(bytes.size()));
}
