// What veltrane-cli shows on standard error: the engine's notices, and its
// progress lines in place of a window title.
#pragma once

#include "cli/options.h"
#include "platform/notice.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace cli {

// The progress line as drawn on a terminal `width` columns wide: the text,
// then a bar for its percentage when there is room; never as wide as the
// terminal, so that the cursor stays on the line and a carriage return can
// redraw it.
std::string FitProgressLine(const std::string& text, size_t width);

class Console : public platform::ConsoleNoticeSink, public platform::TitleSink {
public:
    // `terminal`: standard error is a terminal, so a line can be redrawn.
    Console(Verbosity verbosity, bool terminal);
    ~Console() override;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void Show(const std::string& text, const std::string& caption,
              platform::NoticeIcon icon, platform::NoticeOwner owner) override;
    void SetTitle(const std::string& text) override;

    // The file names that the request in work may show (its paths and what
    // is derived from them): any of them holding control characters is
    // shown quoted, so that a name can't act on the terminal or fake a line.
    void SetNames(std::vector<std::string> names) { m_names = std::move(names); }

    // Wipes the line being redrawn, so that whatever comes next starts on a
    // clean line.
    void EndProgress();

private:
    void Write(const std::string& bytes);

    Verbosity m_verbosity;
    bool m_terminal;
    size_t m_drawnColumns = 0;
    std::vector<std::string> m_names;
};

}  // namespace cli
