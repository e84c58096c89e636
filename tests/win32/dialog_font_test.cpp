// The dialogs as shown in the system's dialog face, at the display's scale
// (run once more at twice the scale, VELTRANE_TEST_DPI=192), in whatever
// language the texts come in: every static text, check box and button
// fits its control, measured in the control's own font and broken into lines
// as the control breaks them; no control overlaps another but the frame
// around what it holds; every control lies inside the dialog, and the
// dialog on the screen. Also in a face with wider glyphs than the layout was
// drawn for.
#include "platform/translation.h"
#include "ui/win32/about_dlg.h"
#include "ui/win32/veltrane_dlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Shown {
    std::wstring face;                  // the face the texts are drawn in
    int dpi = 0;                        // the dialog's pixels per inch
    std::vector<std::wstring> clipped;  // the texts that don't fit
    std::vector<std::wstring> apart;    // what overlaps or leaves the dialog or the screen
};

struct Placed {
    std::wstring text;
    RECT at;
    bool frame;  // the raised frame, which holds what lies inside it
};

struct Looking {
    HWND dialog;
    std::vector<Placed> placed;
    Shown shown;
};

std::wstring TextOf(HWND control)
{
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], length + 1)));
    return text;
}

BOOL CALLBACK LookAt(HWND control, LPARAM data)
{
    auto* looking = reinterpret_cast<Looking*>(data);
    Shown& shown = looking->shown;
    const std::wstring text = TextOf(control);
    RECT at{};
    GetWindowRect(control, &at);
    MapWindowPoints(nullptr, looking->dialog, reinterpret_cast<POINT*>(&at), 2);

    wchar_t kind[16] = {};
    GetClassNameW(control, kind, 16);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const bool isStatic = lstrcmpiW(kind, L"Static") == 0, isButton = lstrcmpiW(kind, L"Button") == 0;
    looking->placed.push_back({text, at, isStatic && (style & SS_TYPEMASK) == SS_OWNERDRAW});
    const bool label = isStatic && (style & SS_TYPEMASK) == SS_LEFT;
    const bool checkBox = isButton && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    if (text.empty() || !(label || isButton))
        return TRUE;
    RECT box{}, needed{};
    GetClientRect(control, &box);
    // At the least, a check box's text begins past the box, and a button's
    // within its edges.
    if (checkBox)
        box.left += GetSystemMetrics(SM_CXMENUCHECK);
    else if (isButton)
        InflateRect(&box, -GetSystemMetrics(SM_CXEDGE), 0);
    needed = box;
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    // The family the font file names, not the name asked for.
    std::vector<BYTE> metrics(GetOutlineTextMetricsW(dc, 0, nullptr) + 1);
    auto* outline = reinterpret_cast<OUTLINETEXTMETRICW*>(metrics.data());
    if (GetOutlineTextMetricsW(dc, static_cast<UINT>(metrics.size()), outline)) {
        const auto family = reinterpret_cast<UINT_PTR>(outline->otmpFamilyName);  // an offset
        shown.face = reinterpret_cast<const wchar_t*>(metrics.data() + family);
    }
    DrawTextW(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | (label ? DT_WORDBREAK : DT_SINGLELINE) |
                  (label && (style & SS_NOPREFIX) ? DT_NOPREFIX : 0));
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    if (needed.right > box.right || needed.bottom > box.bottom)
        shown.clipped.push_back(text);
    return TRUE;
}

bool Inside(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

void LookApart(Looking& looking)
{
    RECT client{}, window{}, screen{};
    GetClientRect(looking.dialog, &client);
    GetWindowRect(looking.dialog, &window);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    if (!Inside(screen, window))
        looking.shown.apart.push_back(L"the dialog leaves the screen");
    for (const Placed& a : looking.placed) {
        if (!Inside(client, a.at))
            looking.shown.apart.push_back(a.text + L" leaves the dialog");
        for (const Placed& b : looking.placed) {
            RECT both{};
            if (&a < &b && IntersectRect(&both, &a.at, &b.at) && !(a.frame && Inside(a.at, b.at)) &&
                !(b.frame && Inside(b.at, a.at)))
                looking.shown.apart.push_back(a.text + L" overlaps " + b.text);
        }
    }
}

std::vector<Shown> g_shown;

// Looked at once the dialog's controls are made, then the dialog is closed.
LRESULT CALLBACK AfterInit(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    // (Dialogs without controls are none of the program's.)
    if (code == HC_ACTION && call->message == WM_INITDIALOG && GetWindow(call->hwnd, GW_CHILD)) {
        Looking looking{call->hwnd, {}, {}};
        EnumChildWindows(call->hwnd, LookAt, reinterpret_cast<LPARAM>(&looking));
        LookApart(looking);
        HDC dc = GetDC(call->hwnd);
        looking.shown.dpi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(call->hwnd, dc);
        g_shown.push_back(looking.shown);
        PostMessageW(call->hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool g_shownBefore = false;

std::vector<Shown> ShowBothDialogs()
{
    // In the user's language, as the program shows them: a run in German
    // or French has the longer words to fit.
    platform::UseUserLanguage();
    g_shownBefore = true;
    g_shown.clear();
    // As the program's manifest makes it, it sees the display's own scale.
    SetProcessDPIAware();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterInit, nullptr, GetCurrentThreadId());
    EXPECT_TRUE(hook);
    CVeltraneDlg(nullptr).DoModal();
    CAboutDlg(nullptr).DoModal();
    UnhookWindowsHookEx(hook);
    return g_shown;
}

void ExpectEveryTextFitsApart(const std::vector<Shown>& dialogs)
{
    ASSERT_EQ(2u, dialogs.size());
    const char* dpi = std::getenv("VELTRANE_TEST_DPI");
    for (const Shown& dialog : dialogs) {
        EXPECT_TRUE(dialog.clipped.empty())
            << "in " << testing::PrintToString(dialog.face) << ", clipped: " << testing::PrintToString(dialog.clipped);
        EXPECT_TRUE(dialog.apart.empty()) << testing::PrintToString(dialog.apart);
        if (dpi) {
            EXPECT_EQ(std::atoi(dpi), dialog.dpi);
        }
    }
}

TEST(DialogFont, EveryTextFitsInTheSystemsDialogFace) { ExpectEveryTextFitsApart(ShowBothDialogs()); }

TEST(DialogFont, EveryTextFitsInAFaceWithWiderGlyphs)
{
    // Wine's own Tahoma, the face Wine maps the dialog face to, is wider than
    // the MS Sans Serif the layouts were drawn for. Wine keeps reusing the
    // fonts a process has made, so only a process of its own sees it.
    if (g_shownBefore)
        GTEST_SKIP() << "run alone: the dialogs' font is already made in this process";
    const wchar_t* const kTahoma = L"Z:\\usr\\share\\wine\\fonts\\tahoma.ttf";
    if (!AddFontResourceExW(kTahoma, FR_PRIVATE, nullptr))
        GTEST_SKIP() << "no Tahoma to install";
    const std::vector<Shown> dialogs = ShowBothDialogs();
    RemoveFontResourceExW(kTahoma, FR_PRIVATE, nullptr);
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(L"Tahoma", dialogs.front().face);
    ExpectEveryTextFitsApart(dialogs);
}

}  // namespace
