// The dialogs as shown in the system's dialog face: every static text and
// check box fits its control, measured in the control's own font and broken
// into lines as the control breaks them, and every control stands where the
// layout puts it (or, where the dialog grew, as far from its right edge).
// Also in a face with wider glyphs than the layout was drawn for.
#include "res/layout.h"
#include "res/resource.h"
#include "ui/win32/veltrane_dlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Shown {
    std::wstring face;                  // the face the texts are drawn in
    std::vector<std::wstring> clipped;  // the texts that don't fit
    std::vector<std::wstring> moved;    // the texts of controls not where the layout puts them
};

struct Looking {
    HWND dialog;
    const res::DialogLayout* layout;
    std::size_t next;  // controls come in the layout's order
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
    if (looking->next == looking->layout->count) {
        shown.moved.push_back(L"a control the layout doesn't have: " + text);
        return FALSE;
    }
    const res::ControlLayout& c = looking->layout->controls[looking->next++];
    // Where the layout puts it, or as far from the right edge as it was, the
    // dialog having grown.
    RECT placed{c.x, c.y, looking->layout->width - c.x, 0}, at{}, client{};
    MapDialogRect(looking->dialog, &placed);
    GetWindowRect(control, &at);
    MapWindowPoints(nullptr, looking->dialog, reinterpret_cast<POINT*>(&at), 2);
    GetClientRect(looking->dialog, &client);
    const bool keptFromRight = std::abs(client.right - at.left - placed.right) <= 1;  // rounding
    if ((at.left != placed.left && !keptFromRight) || at.top != placed.top)
        shown.moved.push_back(text);

    wchar_t kind[16] = {};
    GetClassNameW(control, kind, 16);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const bool label = lstrcmpiW(kind, L"Static") == 0 && (style & SS_TYPEMASK) == SS_LEFT;
    const bool checkBox = lstrcmpiW(kind, L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
    if (text.empty() || !(label || checkBox))
        return TRUE;
    RECT box{}, needed{};
    GetClientRect(control, &box);
    // At the least, a check box's text begins past the box.
    if (checkBox)
        box.left += GetSystemMetrics(SM_CXMENUCHECK);
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
              DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | (style & SS_NOPREFIX ? DT_NOPREFIX : 0));
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    if (needed.right > box.right || needed.bottom > box.bottom)
        shown.clipped.push_back(text);
    return TRUE;
}

std::vector<Shown> g_shown;

// Looked at once the dialog's controls are made, then the dialog is closed.
LRESULT CALLBACK AfterInit(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    // (Dialogs without controls are none of the program's.)
    if (code == HC_ACTION && call->message == WM_INITDIALOG && GetWindow(call->hwnd, GW_CHILD)) {
        const bool main = GetDlgItem(call->hwnd, IDC_FILE_PATH) != nullptr;
        Looking looking{call->hwnd, main ? &res::MainDialogLayout() : &res::AboutDialogLayout(), 0, {}};
        EnumChildWindows(call->hwnd, LookAt, reinterpret_cast<LPARAM>(&looking));
        g_shown.push_back(looking.shown);
        PostMessageW(call->hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool g_shownBefore = false;

std::vector<Shown> ShowBothDialogs()
{
    g_shownBefore = true;
    g_shown.clear();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterInit, nullptr, GetCurrentThreadId());
    EXPECT_TRUE(hook);
    CVeltraneDlg(nullptr).DoModal();
    CAboutDlg(nullptr).DoModal();
    UnhookWindowsHookEx(hook);
    return g_shown;
}

void ExpectEveryTextFitsInPlace(const std::vector<Shown>& dialogs)
{
    ASSERT_EQ(2u, dialogs.size());
    for (const Shown& dialog : dialogs) {
        EXPECT_TRUE(dialog.clipped.empty())
            << "in " << testing::PrintToString(dialog.face) << ", clipped: " << testing::PrintToString(dialog.clipped);
        EXPECT_TRUE(dialog.moved.empty()) << "moved: " << testing::PrintToString(dialog.moved);
    }
}

TEST(DialogFont, EveryTextFitsInTheSystemsDialogFace) { ExpectEveryTextFitsInPlace(ShowBothDialogs()); }

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
    ExpectEveryTextFitsInPlace(dialogs);
}

}  // namespace
