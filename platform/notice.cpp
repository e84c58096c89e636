#include "platform/notice.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace platform {

namespace {
NoticeSink* g_noticeSink = nullptr;
TitleSink* g_titleSink = nullptr;
thread_local int t_noticeError = 0;
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

void ShowNotice(const std::string& text, const std::string& caption,
                NoticeIcon icon, NoticeOwner owner)
{
    if (g_noticeSink)
        g_noticeSink->Show(text, caption, icon, owner);
}

void ShowFailure(const std::string& text, const std::string& caption, int systemError)
{
    struct Scope {
        int previous = t_noticeError;
        ~Scope() { t_noticeError = previous; }
    } scope;
    t_noticeError = systemError;
    ShowNotice(text, caption);
}

int NoticeSystemError() { return t_noticeError; }

void SetTitleText(const std::string& text)
{
    if (g_titleSink)
        g_titleSink->SetTitle(text);
}

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    std::string result;
    if (needed > 0) {
        std::vector<char> buffer(static_cast<size_t>(needed) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, args);
        result.assign(buffer.data(), static_cast<size_t>(needed));
    }
    va_end(args);
    return result;
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

void ConsoleNoticeSink::Show(const std::string& text, const std::string& caption,
                             NoticeIcon, NoticeOwner)
{
    std::fprintf(stderr, "%s\n", ConsoleNoticeLine(text, caption).c_str());
    std::fflush(stderr);
}

}  // namespace platform
