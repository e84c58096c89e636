#include "platform/notice.h"

namespace platform {

namespace {
NoticeSink* g_noticeSink = nullptr;
TitleSink* g_titleSink = nullptr;
ReportSink* g_reportSink = nullptr;
}  // namespace

NoticeSink* SetNoticeSink(NoticeSink* sink)
{
    NoticeSink* previous = g_noticeSink;
    g_noticeSink = sink;
    return previous;
}

TitleSink* SetTitleSink(TitleSink* sink)
{
    TitleSink* previous = g_titleSink;
    g_titleSink = sink;
    return previous;
}

void ShowNotice(const std::string& text, const std::string& caption, NoticeIcon icon, NoticeOwner owner)
{
    if (g_noticeSink)
        g_noticeSink->Show(text, caption, icon, owner);
}

ReportSink* SetReportSink(ReportSink* sink)
{
    ReportSink* previous = g_reportSink;
    g_reportSink = sink;
    return previous;
}

void Report(const Notice& notice)
{
    if (g_reportSink)
        g_reportSink->OnNotice(notice);
}

void ReportProgress(const Progress& progress)
{
    if (g_reportSink)
        g_reportSink->OnProgress(progress);
}

void SetTitleText(const std::string& text)
{
    if (g_titleSink)
        g_titleSink->SetTitle(text);
}

void SetProgressTitleText(const std::string& text, int percent)
{
    if (g_titleSink)
        g_titleSink->SetProgressTitle(text, percent);
}

std::string ConsoleNoticeLine(const std::string& text, const std::string& caption)
{
    std::string line = caption + ": ";
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        line += text[i];
    }
    return line;
}

}  // namespace platform
