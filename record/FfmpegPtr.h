// Owners for FFmpeg objects: each is freed by its library function, once.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

struct AvCodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct AvFrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct AvPacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsContextFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct AvCodecParametersFree {
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};
struct AvParserClose {
    void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextFree>;
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, AvCodecParametersFree>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, AvParserClose>;

// Reuses `current` when it already converts with these parameters, otherwise
// replaces it. Null when the scaler cannot be made.
inline SwsContext* CachedScaler(SwsContextPtr& current, int srcW, int srcH, AVPixelFormat srcFormat,
                                int dstW, int dstH, AVPixelFormat dstFormat, int flags)
{
    SwsContext* s = sws_getCachedContext(current.release(), srcW, srcH, srcFormat, dstW, dstH,
                                         dstFormat, flags, nullptr, nullptr, nullptr);
    current.reset(s);
    return s;
}

// FFmpeg's text for an error code.
inline std::string AvErrorText(int rc)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(rc, text, sizeof text);
    return text;
}
