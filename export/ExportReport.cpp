#include "ExportReport.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

std::tm LocalParts(PreciseTime moment)
{
    const std::time_t t = static_cast<std::time_t>(WholeSeconds(moment));
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

// The zone's name: TZ when set, else the zoneinfo file /etc/localtime
// points at; empty when neither says.
std::string ZoneName()
{
    if (const char* tz = std::getenv("TZ"); tz != nullptr && *tz != '\0')
        return tz[0] == ':' ? tz + 1 : tz;
    char target[PATH_MAX] = {};
    const ssize_t n = ::readlink("/etc/localtime", target, sizeof target - 1);
    const std::string link(target, n > 0 ? static_cast<std::size_t>(n) : 0);
    const std::size_t at = link.find("zoneinfo/");
    return at == std::string::npos ? std::string() : link.substr(at + 9);
}

std::string OffsetText(long seconds)
{
    const long minutes = std::labs(seconds) / 60;
    return StrFormat("UTC%c%02ld:%02ld", seconds < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

std::string SecondsText(PreciseTime length)
{
    return StrFormat("%lld.%02lld", static_cast<long long>(length / kMicrosPerSecond),
                     static_cast<long long>(length % kMicrosPerSecond / 10000));
}

void AddSpans(std::string& text, const char* title, const std::vector<TimeSpan>& spans)
{
    text += StrFormat("%s：%s\n", title, spans.empty() ? "无" : StrFormat("%zu 处", spans.size()).c_str());
    for (const TimeSpan& span : spans)
        text += "  " + SpanText(span) + "\n";
}

std::string PathText(const std::string& path)
{
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

void AddSources(std::string& text, const std::vector<ReportSource>& sources)
{
    text += StrFormat("源录像文件：%zu 个\n", sources.size());
    for (const ReportSource& source : sources) {
        text += "  " + source.path + "\n";
        for (const SourceRead& read : source.reads) {
            text += StrFormat("    SHA-256：%s（读取的第 %lld 至 %lld 字节，共 %lld 字节）\n", read.sha256.c_str(),
                              static_cast<long long>(read.offset + 1), static_cast<long long>(read.offset + read.bytes),
                              static_cast<long long>(read.bytes));
            text += StrFormat("    核对：tail -c +%lld %s | head -c %lld | sha256sum\n",
                              static_cast<long long>(read.offset + 1), PathText(source.path).c_str(),
                              static_cast<long long>(read.bytes));
        }
        if (source.share.pictures > 0)
            text += StrFormat("    提供的画面：%s 至 %s，%lld 个\n", PreciseText(source.share.first).c_str(),
                              PreciseText(source.share.last).c_str(), source.share.pictures);
        else
            text += "    提供的画面：无（这段时间用的是后录的文件）\n";
    }
}

void AddOverlaps(std::string& text, const std::vector<ReportOverlap>& overlaps)
{
    text += StrFormat("时间重叠：%s\n", overlaps.empty() ? "无" : StrFormat("%zu 处", overlaps.size()).c_str());
    for (const ReportOverlap& overlap : overlaps)
        text += "  " + SpanText(overlap.span) + "：" + overlap.earlier + " 与 " + overlap.later +
                " 都有这段时间的录像（时钟被调回过），导出用的是后录的 " + overlap.later + "\n";
}

}  // namespace

std::string SpanText(const TimeSpan& span)
{
    return PreciseText(span.from) + " 至 " + PreciseText(span.to) + "，长 " + SecondsText(span.to - span.from) + " 秒";
}

std::string TimeZoneText(PreciseTime moment)
{
    const std::tm local = LocalParts(moment);
    const std::string name = ZoneName();
    const std::string abbreviation = local.tm_zone != nullptr ? local.tm_zone : "";
    return (name.empty() ? abbreviation : name) + "（" + (name.empty() || name == abbreviation ? "" : abbreviation + "，") +
           OffsetText(local.tm_gmtoff) + "）";
}

std::string ReportText(const ExportFacts& facts)
{
    const ClipLedger& ledger = *facts.ledger;
    std::string text = "Lumaro 录像导出报告\n\n";
    text += "视频文件：" + facts.clip + "\n";
    text += StrFormat("摄像头：摄像头 %d\n", facts.camera);
    text += "要求的时间范围：" + FormatLocalTime("%Y-%m-%d %H:%M:%S", facts.from) + " 至 " +
            FormatLocalTime("%Y-%m-%d %H:%M:%S", facts.to) + "\n";
    text += "第一个画面：" + PreciseText(ledger.First()) + "\n";
    text += "最后一个画面：" + PreciseText(ledger.Last()) + "\n";
    text += StrFormat("画面数：%lld（每秒 %d 个）\n", ledger.Pictures(), kRecordingPicturesPerSecond);
    text += "时区：" + TimeZoneText(ledger.First()) + "\n";
    AddSpans(text, "缺口（没有录像）", ledger.Gaps());
    AddSpans(text, "损坏的片段", ledger.Damage());
    AddOverlaps(text, facts.overlaps);
    if (facts.fromTwice || facts.toTwice)
        text += "注意：夏令时结束的那一夜，时钟把同一段时间走了两次；要求的时间按第二次（调回以后）计算。\n";
    AddSources(text, facts.sources);
    text += "导出程序：Lumaro " LUMARO_VERSION "\n";
    text += "导出方式：" + facts.origin + "\n";
    text += "导出时间：" + PreciseText(facts.exportedAt) + "（" + OffsetText(LocalParts(facts.exportedAt).tm_gmtoff) + "）\n";
    return text;
}
