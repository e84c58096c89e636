// Prints the text of every control of the top-level window whose caption is
// the argument, one line each in UTF-8, waiting up to 60 s for the window to
// show:
// what a user reads on it, for the checks in another language.
#include "platform/win32/text.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK PrintText(HWND control, LPARAM)
{
    wchar_t text[512] = L"";
    GetWindowTextW(control, text, 512);
    if (*text)
        std::printf("%s\n", platform::Narrow(text).c_str());
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // Shown only once all its controls are made.
    HWND window = nullptr;
    for (int tries = 0; argc > 1 && !(window && IsWindowVisible(window)) && tries < 600; ++tries) {
        window = FindWindowW(nullptr, argv[1]);
        if (!window || !IsWindowVisible(window))
            Sleep(100);
    }
    if (!window)
        return 1;
    EnumChildWindows(window, PrintText, 0);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
