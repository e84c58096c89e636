// How the window program shows the engine's reports.
#pragma once

#include "ui/texts.h"

namespace ui {

// Each notice is a modal message box with the OK button alone: the warning
// icon or the error icon, owned by the active window (which it blocks) or by
// no window at all. Titles go to the program's top window and reach the
// display at once instead of waiting for the event loop, reading no input; a
// pass's progress goes to the window's progress object too.
class WindowReports : public ReportView {
public:
    void ShowBox(const NoticeWords& words) override;
    void ShowTitle(const std::string& text, int percent) override;
};

}  // namespace ui
