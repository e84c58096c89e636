#include "tests/support/recorder.h"

namespace testsupport {

Recorder::Recorder() : m_previousNotice(platform::SetNoticeSink(this)), m_previousTitle(platform::SetTitleSink(this)) {}

Recorder::~Recorder()
{
    platform::SetNoticeSink(m_previousNotice);
    platform::SetTitleSink(m_previousTitle);
}

void Recorder::Show(const std::string& text, const std::string& caption, platform::NoticeIcon icon,
                    platform::NoticeOwner owner)
{
    notices.push_back({text, caption, icon, owner});
}

void Recorder::SetTitle(const std::string& text)
{
    titles.push_back(text);
    if (onTitle)
        onTitle(text);
}

}  // namespace testsupport
