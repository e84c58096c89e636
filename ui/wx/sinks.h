// The window program's notice and title sinks.
#pragma once

#include "platform/notice.h"

namespace platform {

// Each notice is a modal message box with the OK button alone: the warning
// icon or the error icon, owned by the active window (which it blocks) or by
// no window at all.
class MessageBoxNoticeSink : public NoticeSink {
public:
    void Show(const std::string& text, const std::string& caption, NoticeIcon icon, NoticeOwner owner) override;
};

// Sets the main window's caption, and pushes it to the display at once
// instead of waiting for the event loop; it reads no input.
class MainWindowTitleSink : public TitleSink {
public:
    void SetTitle(const std::string& text) override;
    // The window's progress object follows the title.
    void SetProgressTitle(const std::string& text, int percent) override;
};

// Installs both sinks for as long as the object lives.
class WindowSinks {
public:
    WindowSinks();
    ~WindowSinks();
    WindowSinks(const WindowSinks&) = delete;
    WindowSinks& operator=(const WindowSinks&) = delete;

private:
    MessageBoxNoticeSink m_notices;
    MainWindowTitleSink m_title;
    NoticeSink* m_previousNotices;
    TitleSink* m_previousTitle;
};

}  // namespace platform
