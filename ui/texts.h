// The program's own texts: how each notice the engine or a window reports
// reads, and the titles of the main window. One table for both window
// toolkits; the command line takes the same words, with the names it puts
// in quoted for a terminal.
#pragma once

#include "platform/notice.h"

#include <string>
#include <vector>

namespace ui {

enum class NoticeIcon { Warning, Error };

// Whether the box belongs to the active window (which it then blocks) or
// stands alone.
enum class NoticeOwner { ActiveWindow, None };

struct NoticeWords {
    std::string text;  // lines broken with "\n"
    std::string caption;
    NoticeIcon icon = NoticeIcon::Warning;
    NoticeOwner owner = NoticeOwner::ActiveWindow;

    // The notice as one sentence on a line: "CAPTION: TEXT", the caption
    // without its full stops, and each of `more` after a further colon
    // ("Encrypt file error: Cannot find a.txt: Permission denied.").
    std::string Line(const std::vector<std::string>& more = {}) const;
};

// The notice in words, each of its paths put in as `shownPaths` gives it
// (the same order as notice.paths).
NoticeWords WordNotice(const platform::Notice& notice, const std::vector<std::string>& shownPaths);
// The same with the paths as they are.
NoticeWords WordNotice(const platform::Notice& notice);

// The title during a pass, with the file's name as it is to be shown.
std::string ProgressTitle(const std::string& shownName, int percent);

// The main window's title while no pass runs.
extern const char kIdleTitle[];

// The window program's answer to "--help" or "--version" on its command
// line, without its last line break; null for any other argument.
const char* StartAnswer(const std::string& argument);

// Where a window shows the reports: each is worded here, once, on the
// thread that shows it, and handed to the toolkit's box and title.
// Installed as the process's report sink for the object's lifetime.
class ReportView : public platform::ReportSink {
public:
    ReportView() : m_previous(platform::SetReportSink(this)) {}
    ~ReportView() override { platform::SetReportSink(m_previous); }
    ReportView(const ReportView&) = delete;
    ReportView& operator=(const ReportView&) = delete;

    void OnNotice(const platform::Notice& notice) override;
    void OnProgress(const platform::Progress& progress) final;

    // Returns once the user has dismissed the box.
    virtual void ShowBox(const NoticeWords& words) = 0;
    // Shows the text at once, even while no events are being processed;
    // `percent` is a pass's progress where the title shows one, else -1.
    virtual void ShowTitle(const std::string& text, int percent) = 0;

private:
    platform::ReportSink* m_previous;
};

}  // namespace ui
