// Recording notice and title sinks, installed for the lifetime of the object,
// with the engine's reports worded as the windows word them.
#pragma once

#include "platform/notice.h"
#include "ui/texts.h"

#include <functional>
#include <string>
#include <vector>

namespace testsupport {

struct RecordedNotice {
    std::string text;
    std::string caption;
    platform::NoticeIcon icon;
    platform::NoticeOwner owner;
};

class Recorder : public platform::NoticeSink, public platform::TitleSink {
public:
    Recorder();
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    void Show(const std::string& text, const std::string& caption, platform::NoticeIcon icon,
              platform::NoticeOwner owner) override;
    void SetTitle(const std::string& text) override;

    std::vector<RecordedNotice> notices;
    std::vector<std::string> titles;
    // Runs at every title change, e.g. to look at the window mid-pass.
    std::function<void(const std::string&)> onTitle;

private:
    ui::WordedReports m_words;
    platform::NoticeSink* m_previousNotice;
    platform::TitleSink* m_previousTitle;
};

}  // namespace testsupport
