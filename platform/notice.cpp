#include "platform/notice.h"

namespace platform {

namespace {
ReportSink* g_reportSink = nullptr;
}  // namespace

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

}  // namespace platform
