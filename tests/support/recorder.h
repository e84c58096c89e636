// Records the engine's reports, worded as the windows word them, for the
// lifetime of the object.
#pragma once

#include "ui/texts.h"

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class Recorder : public ui::ReportView {
public:
    void OnNotice(const platform::Notice& notice) override
    {
        kinds.push_back(notice.kind);
        errors.push_back(notice.systemError);
        ui::ReportView::OnNotice(notice);
    }
    void ShowBox(const ui::NoticeWords& words) override { notices.push_back(words); }
    void ShowTitle(const std::string& text, int /*percent*/) override
    {
        titles.push_back(text);
        if (onTitle)
            onTitle(text);
    }

    std::vector<ui::NoticeWords> notices;
    // What each notice was about, and the system's reason it carried.
    std::vector<platform::NoticeKind> kinds;
    std::vector<int> errors;
    std::vector<std::string> titles;
    // Runs at every title change, e.g. to look at the window mid-pass.
    std::function<void(const std::string&)> onTitle;
};

}  // namespace testsupport
