// Why a camera could not be opened, as the panel tells it in Chinese;
// FFmpeg's own text stays on standard error.
#pragma once

enum class OpenFailure {
    kNone,         // opened, or lost after it was open
    kNotFound,     // no such device
    kRefused,      // nothing listens at the address
    kCredentials,  // the user name or password was refused (401 / 403)
    kNoAnswer,     // no answer within the open's time limit
    kNoAddress,    // the host name could not be looked up
    kOther,
};

// From the error code of avformat_open_input.
OpenFailure ClassifyOpenError(int averror);

// 没有找到摄像头, 连接被拒绝, 用户名或密码错误, 没有应答, 地址找不到; empty for the rest.
const char* OpenFailureText(OpenFailure failure);
