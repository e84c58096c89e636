// How the window program shows the engine's reports, and how it keeps a
// long path within the screen wherever it shows one.
#pragma once

#include "ui/texts.h"

#include <windows.h>

#include <string>

namespace ui {

// `text` with every word wider than `maxWidth` pixels in `font` broken into
// lines that fit: after a path separator where one falls in the line's
// second half, else at the last character that fits. Spaces and the
// program's own words are left as they are.
std::wstring BreakLongWords(const std::wstring& text, HFONT font, int maxWidth);

// The widest line a notice or a tooltip shows: two thirds of the work area
// of the monitor `window` is on (the primary one without a window).
int LongestLine(HWND window);

// Notices as MessageBoxW, titles on the main window.
class Win32Reports : public ReportView {
public:
    void ShowBox(const NoticeWords& words) override;
    void ShowTitle(const std::string& text, int percent) override;
    HWND mainWindow = nullptr;
};

}  // namespace ui
