// The program's own texts: how each notice the engine or a window reports
// reads, and the titles of the main window. One table for both window
// toolkits; the command line takes the same words, with the names it puts
// in quoted for a terminal.
#pragma once

#include "platform/notice.h"

#include <string>
#include <vector>

namespace ui {

struct NoticeWords {
    std::string text;  // lines broken with CR LF
    std::string caption;
    platform::NoticeIcon icon = platform::NoticeIcon::Warning;
    platform::NoticeOwner owner = platform::NoticeOwner::ActiveWindow;
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

// Words every report and hands it on to the notice and title sinks in
// place (the windows' own, or the pass runner's); installed as the report
// sink for the object's lifetime.
class WordedReports : public platform::ReportSink {
public:
    WordedReports();
    ~WordedReports() override;
    WordedReports(const WordedReports&) = delete;
    WordedReports& operator=(const WordedReports&) = delete;

    void OnNotice(const platform::Notice& notice) override;
    void OnProgress(const platform::Progress& progress) override;

private:
    platform::ReportSink* m_previous;
};

}  // namespace ui
