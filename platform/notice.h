// Notices and the title line: the two ways the engine talks to the user.
//
// Toolkit-free code reports through these calls and never includes a GUI
// header. The window program installs sinks that show message boxes and set
// the main window's caption; the command line installs console sinks; tests
// install recorders. With nothing installed the calls do nothing.
#pragma once

#include <string>

namespace platform {

enum class NoticeIcon { Warning, Error };

// Whether the box belongs to the active window (which it then blocks) or
// stands alone.
enum class NoticeOwner { ActiveWindow, None };

class NoticeSink {
public:
    virtual ~NoticeSink() = default;
    // Returns once the user has seen the notice (a modal box is dismissed).
    virtual void Show(const std::string& text, const std::string& caption,
                      NoticeIcon icon, NoticeOwner owner) = 0;
};

class TitleSink {
public:
    virtual ~TitleSink() = default;
    // Must show the text at once, even while no events are being processed.
    virtual void SetTitle(const std::string& text) = 0;
};

// Install a sink; nullptr restores the silent default. The previous sink is
// returned so that a scoped replacement can put it back.
NoticeSink* SetNoticeSink(NoticeSink* sink);
TitleSink* SetTitleSink(TitleSink* sink);

void ShowNotice(const std::string& text, const std::string& caption,
                NoticeIcon icon = NoticeIcon::Warning,
                NoticeOwner owner = NoticeOwner::ActiveWindow);
void SetTitleText(const std::string& text);

// A notice for a failure that the system gave a reason for (an errno, or a
// Windows error code; 0 for none). The windows show the text as it is; the
// command line adds the system's reason to its line.
void ShowFailure(const std::string& text, const std::string& caption, int systemError);
// While a sink shows a notice: the system error it was raised with, else 0.
int NoticeSystemError();

// printf-style formatting into a string of whatever length the result needs,
// so that no path is ever cut short.
std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Console sinks for programs without a window: notices go to standard error
// as "CAPTION: TEXT", with the text's CR LF line breaks as plain newlines.
class ConsoleNoticeSink : public NoticeSink {
public:
    void Show(const std::string& text, const std::string& caption,
              NoticeIcon icon, NoticeOwner owner) override;
};

// "CAPTION: TEXT" with CR LF pairs turned into newlines.
std::string ConsoleNoticeLine(const std::string& text, const std::string& caption);

}  // namespace platform
