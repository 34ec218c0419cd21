#include "LibraryMessages.h"

#include "AddressSecrets.h"
#include "ErrorLog.h"

#include <QString>
#include <QtGlobal>

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <cstdlib>
#include <string>

namespace {

// FFmpeg may hand a line over in parts; each thread gathers its own.
void FfmpegMessage(void* context, int level, const char* format, va_list args)
{
    if (level > av_log_get_level())
        return;
    thread_local std::string pending;
    thread_local int printPrefix = 1;
    char part[1024];
    va_list copy;
    va_copy(copy, args);
    av_log_format_line2(context, level, format, copy, part, sizeof part, &printPrefix);
    va_end(copy);
    pending += part;
    for (std::size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
        LogStampedLine(RedactAddresses(pending.substr(0, end + 1)));
        pending.erase(0, end + 1);
    }
}

void QtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    LogStampedLine(RedactAddresses(qFormatLogMessage(type, context, message).toStdString()));
    if (type == QtFatalMsg)
        std::abort();
}

}  // namespace

void StampLibraryMessages()
{
    av_log_set_callback(FfmpegMessage);
    qInstallMessageHandler(QtMessage);
}
