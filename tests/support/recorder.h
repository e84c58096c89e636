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
    void ShowBox(const ui::NoticeWords& words) override { notices.push_back(words); }
    void ShowTitle(const std::string& text, int /*percent*/) override
    {
        titles.push_back(text);
        if (onTitle)
            onTitle(text);
    }

    std::vector<ui::NoticeWords> notices;
    std::vector<std::string> titles;
    // Runs at every title change, e.g. to look at the window mid-pass.
    std::function<void(const std::string&)> onTitle;
};

}  // namespace testsupport
