// The dialogs' static texts as shown: each fits its control, measured in the
// control's own font and broken into lines as the control breaks them, in
// the face the window picks and in the one it picks without MS Sans Serif.
#include "res/layout.h"
#include "res/resource.h"
#include "ui/win32/veltrane_dlg.h"
#include "ui/win32/window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Shown {
    std::wstring face;
    std::vector<std::wstring> clipped;  // the texts that don't fit
};

BOOL CALLBACK NoteIfClipped(HWND control, LPARAM data)
{
    auto* shown = reinterpret_cast<Shown*>(data);
    wchar_t kind[16] = {};
    GetClassNameW(control, kind, 16);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (lstrcmpiW(kind, L"Static") != 0 || (style & SS_TYPEMASK) != SS_LEFT)
        return TRUE;
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], length + 1)));
    if (text.empty())
        return TRUE;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW logical{};
    GetObjectW(font, sizeof logical, &logical);
    shown->face = logical.lfFaceName;
    RECT box{}, needed{};
    GetClientRect(control, &box);
    needed = box;
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, font);
    DrawTextW(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | (style & SS_NOPREFIX ? DT_NOPREFIX : 0));
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    if (needed.right > box.right || needed.bottom > box.bottom)
        shown->clipped.push_back(text);
    return TRUE;
}

Shown Look(HWND dialog)
{
    Shown shown;
    EnumChildWindows(dialog, NoteIfClipped, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

std::vector<Shown> g_shown;

// Looked at once the dialog's controls are made, then the dialog is closed.
LRESULT CALLBACK AfterInit(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && call->message == WM_INITDIALOG) {
        g_shown.push_back(Look(call->hwnd));
        PostMessageW(call->hwnd, WM_COMMAND, IDCANCEL, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST(DialogFont, EveryLabelFitsInTheFaceTheWindowPicks)
{
    g_shown.clear();
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterInit, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(hook);
    CVeltraneDlg(nullptr).DoModal();
    CAboutDlg(nullptr).DoModal();
    UnhookWindowsHookEx(hook);

    ASSERT_EQ(2u, g_shown.size());
    for (const Shown& dialog : g_shown)
        EXPECT_TRUE(dialog.clipped.empty()) << "in " << testing::PrintToString(dialog.face) << ", clipped: "
                                            << testing::PrintToString(dialog.clipped);
}

TEST(DialogFont, EveryLabelFitsWhereMsSansSerifIsMissing)
{
    // Every face the window could pick, bar the one the layouts were drawn
    // for.
    std::vector<std::wstring> faces = platform::DialogFaces();
    const std::vector<std::wstring> others = platform::OtherDialogFaces();
    faces.insert(faces.end(), others.begin(), others.end());
    faces.erase(std::remove(faces.begin(), faces.end(), L"MS Sans Serif"), faces.end());
    const std::vector<const res::DialogLayout*> layouts = {&res::MainDialogLayout(), &res::AboutDialogLayout()};
    const platform::DialogFaceChoice choice = platform::ChooseDialogFace(layouts, faces);
    EXPECT_TRUE(choice.fits);
    const std::wstring& face = choice.face;
    for (const res::DialogLayout* layout : layouts) {
        const std::vector<WORD> dialog = platform::BuildDialogTemplate(*layout, false, IDR_MAINFRAME, face);
        HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                                 reinterpret_cast<LPCDLGTEMPLATEW>(dialog.data()), nullptr,
                                                 Inert, 0);
        ASSERT_TRUE(window) << GetLastError();
        const Shown shown = Look(window);
        DestroyWindow(window);
        EXPECT_EQ(face, shown.face);
        EXPECT_TRUE(shown.clipped.empty()) << "in " << testing::PrintToString(face)
                                           << ", clipped: " << testing::PrintToString(shown.clipped);
    }
}

}  // namespace
