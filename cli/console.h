// What veltrane-cli shows on standard error: the engine's notices, and its
// progress lines in place of a window title, worded here from what the
// engine reports.
#pragma once

#include "cli/options.h"
#include "platform/notice.h"

#include <chrono>
#include <cstddef>
#include <string>

namespace cli {

// The progress line as drawn on a terminal `width` columns wide: the text,
// then a bar for `percent` and after it `pace` as far as there is room; never
// as wide as the terminal, so that the cursor stays on the line and a
// carriage return can redraw it.
std::string FitProgressLine(const std::string& text, int percent, size_t width, const std::string& pace = {});

// A notice as the command line shows it: one sentence, "CAPTION: TEXT" in
// the windows' words with their line breaks as newlines, each name quoted
// where it stands when a terminal would act on it, and the system's reason
// after it where there is one.
std::string NoticeLine(const platform::Notice& notice);

class Console : public platform::ReportSink {
public:
    // `terminal`: standard error is a terminal, so a line can be redrawn.
    Console(Verbosity verbosity, bool terminal);
    ~Console() override;
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    void OnNotice(const platform::Notice& notice) override;
    void OnProgress(const platform::Progress& progress) override;

    // Wipes the line being redrawn, so that whatever comes next starts on a
    // clean line.
    void EndProgress();

private:
    Verbosity m_verbosity;
    bool m_terminal;
    size_t m_drawnColumns = 0;
    // When the file being drawn began, for its rate and the time it has left.
    std::chrono::steady_clock::time_point m_fileStarted;
};

}  // namespace cli
