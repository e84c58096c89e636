#include "platform/notice.h"

#include <utility>

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

int Report(NoticeKind kind, std::vector<std::string> paths, int systemError, bool endsPass)
{
    Report(Notice{kind, std::move(paths), systemError, endsPass});
    return 0;
}

void ReportProgress(const Progress& progress)
{
    if (g_reportSink)
        g_reportSink->OnProgress(progress);
}

}  // namespace platform
