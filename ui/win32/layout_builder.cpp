#include "ui/win32/layout_builder.h"

#include "platform/win32/text.h"
#include "ui/win32/dialog_template.h"

namespace ui {

namespace {

std::u16string WidenToUtf16(const std::string& utf8)
{
    const std::wstring wide = platform::Widen(utf8);
    return std::u16string(wide.begin(), wide.end());
}

INT_PTR CALLBACK Inert(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// `layout` fitted to its texts as the system's dialog face draws them (see
// ui::FitToTexts). Measured in the font the dialog manager gives an empty
// dialog of the same kind, and turned into dialog units by that dialog's own
// base units, so nothing guesses how the system maps the face or the scale.
res::DialogLayout FitToDialogFont(const res::DialogLayout& layout, std::vector<res::ControlLayout>& controls)
{
    const std::vector<WORD> empty = ComposeDialogTemplate({0, "", 0, 0, nullptr, 0}, false, 0, WidenToUtf16);
    HWND probe = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(empty.data()),
                                            nullptr, Inert, 0);
    DialogFont font;
    if (!probe)
        return FitToTexts(layout, font, controls);  // as the table has it
    RECT units{0, 0, 4, 8};
    MapDialogRect(probe, &units);
    HDC dc = GetDC(probe);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(probe, WM_GETFONT, 0, 0)));
    font.baseX = static_cast<int>(units.right);
    font.baseY = static_cast<int>(units.bottom);
    // A check box's text begins past the box and a letter's gap.
    font.checkBoxLead = GetSystemMetrics(SM_CXMENUCHECK) + font.baseX;
    font.measure = [dc](const char* text, unsigned style, long long wrapWidth) {
        RECT box{0, 0, static_cast<LONG>(wrapWidth), 0};
        DrawTextW(dc, platform::Widen(text).c_str(), -1, &box,
                  DT_CALCRECT | DT_EXPANDTABS | (style & res::kNoPrefix ? DT_NOPREFIX : 0) |
                      (wrapWidth > 0 ? DT_WORDBREAK : 0));
        return PixelSize{box.right - box.left, box.bottom - box.top};
    };
    const res::DialogLayout fitted = FitToTexts(layout, font, controls);
    SelectObject(dc, previous);
    ReleaseDC(probe, dc);
    DestroyWindow(probe);
    return fitted;
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                      std::vector<res::ControlLayout>& placed)
{
    return ComposeDialogTemplate(FitToDialogFont(layout, placed), main, iconId, WidenToUtf16);
}

}  // namespace ui
