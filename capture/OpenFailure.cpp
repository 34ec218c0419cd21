#include "OpenFailure.h"

extern "C" {
#include <libavutil/error.h>
}

#include <cerrno>

OpenFailure ClassifyOpenError(int averror)
{
    switch (averror) {
    case AVERROR(ENOENT):
    case AVERROR(ENODEV):
    case AVERROR(ENXIO):
        return OpenFailure::kNotFound;
    case AVERROR(ECONNREFUSED):
        return OpenFailure::kRefused;
    case AVERROR_HTTP_UNAUTHORIZED:
    case AVERROR_HTTP_FORBIDDEN:
        return OpenFailure::kCredentials;
    case AVERROR(ETIMEDOUT):
    case AVERROR(EHOSTUNREACH):
    case AVERROR_EXIT:  // our own time limit interrupted the open
        return OpenFailure::kNoAnswer;
    default:
        return averror >= 0 ? OpenFailure::kNone : OpenFailure::kOther;
    }
}

const char* OpenFailureText(OpenFailure failure)
{
    switch (failure) {
    case OpenFailure::kNotFound:
        return "没有找到摄像头";
    case OpenFailure::kRefused:
        return "连接被拒绝";
    case OpenFailure::kCredentials:
        return "用户名或密码错误";
    case OpenFailure::kNoAnswer:
        return "没有应答";
    case OpenFailure::kNoAddress:
        return "地址找不到";
    case OpenFailure::kNone:
    case OpenFailure::kOther:
        break;
    }
    return "";
}
