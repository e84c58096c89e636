#include "ui/win32/dialog_template.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace ui {

namespace {

// The values of the Windows headers, written out for the build on Linux;
// the Windows build checks each against the headers.
constexpr std::uint32_t kWsPopup = 0x80000000, kWsChild = 0x40000000, kWsVisible = 0x10000000, kWsCaption = 0x00C00000,
                        kWsBorder = 0x00800000, kWsSysMenu = 0x00080000, kWsGroup = 0x00020000, kWsTabStop = 0x00010000,
                        kWsMinimizeBox = 0x00020000, kWsExDlgModalFrame = 0x1, kWsExAppWindow = 0x40000,
                        kDsModalFrame = 0x80, kDsShellFont = 0x48, kDsCenter = 0x800, kBsPushButton = 0,
                        kBsDefPushButton = 1, kBsAutoCheckBox = 3, kEsLeft = 0, kEsAutoHScroll = 0x80, kSbsVert = 1,
                        kSsLeft = 0, kSsIcon = 3, kSsOwnerDraw = 0xD, kSsEtchedHorz = 0x10, kSsNoPrefix = 0x80;
constexpr std::uint16_t kFwNormal = 400;
#ifdef _WIN32
static_assert(kWsPopup == WS_POPUP && kWsChild == WS_CHILD && kWsVisible == WS_VISIBLE && kWsCaption == WS_CAPTION &&
                  kWsBorder == WS_BORDER && kWsSysMenu == WS_SYSMENU && kWsGroup == WS_GROUP &&
                  kWsTabStop == WS_TABSTOP && kWsMinimizeBox == WS_MINIMIZEBOX &&
                  kWsExDlgModalFrame == WS_EX_DLGMODALFRAME && kWsExAppWindow == WS_EX_APPWINDOW &&
                  kDsModalFrame == DS_MODALFRAME && kDsShellFont == DS_SHELLFONT && kDsCenter == DS_CENTER &&
                  kBsPushButton == BS_PUSHBUTTON && kBsDefPushButton == BS_DEFPUSHBUTTON &&
                  kBsAutoCheckBox == BS_AUTOCHECKBOX && kEsLeft == ES_LEFT && kEsAutoHScroll == ES_AUTOHSCROLL &&
                  kSbsVert == SBS_VERT && kSsLeft == SS_LEFT && kSsIcon == SS_ICON && kSsOwnerDraw == SS_OWNERDRAW &&
                  kSsEtchedHorz == SS_ETCHEDHORZ && kSsNoPrefix == SS_NOPREFIX && kFwNormal == FW_NORMAL,
              "a style value differs from the Windows headers");
#endif

using Words = std::vector<std::uint16_t>;

void Align(Words& t)
{
    // Items start on a DWORD boundary; the buffer itself starts on one.
    if (t.size() % 2)
        t.push_back(0);
}

void PutDword(Words& t, std::uint32_t value)
{
    t.push_back(static_cast<std::uint16_t>(value & 0xFFFF));
    t.push_back(static_cast<std::uint16_t>(value >> 16));
}

void PutText(Words& t, const std::u16string& text)
{
    t.insert(t.end(), text.begin(), text.end());
    t.push_back(0);
}

struct ItemClass {
    std::uint16_t atom;
    std::uint32_t style;
    std::uint32_t exStyle;
};

ItemClass ClassOf(const res::ControlLayout& c)
{
    using K = res::ControlKind;
    switch (c.kind) {
    case K::PushButton:
        return {0x0080, c.style & res::kDefaultButton ? kBsDefPushButton : kBsPushButton, 0};
    case K::EditField:
        return {0x0081, kEsLeft | kEsAutoHScroll | kWsBorder, 0};
    case K::ArrowPair:
        return {0x0084, kSbsVert, 0};
    case K::CheckBox:
        return {0x0080, kBsAutoCheckBox, 0};
    case K::StaticText:
        return {0x0082, kSsLeft | (c.style & res::kNoPrefix ? kSsNoPrefix : 0), 0};
    case K::StaticIcon:
        return {0x0082, kSsIcon, 0};
    case K::RaisedFrame:
        // Owner-drawn and drawn by nobody: only the raised border shows,
        // and what it frames stays visible.
        return {0x0082, kSsOwnerDraw, kWsExDlgModalFrame};
    case K::EtchedLine:
        return {0x0082, kSsEtchedHorz, 0};
    }
    return {0x0082, kSsLeft, 0};
}

}  // namespace

std::vector<std::uint16_t> ComposeDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                                 std::u16string (*widen)(const std::string& utf8))
{
    std::uint32_t style = kDsModalFrame | kWsPopup | kWsCaption | kWsSysMenu | kDsShellFont;
    std::uint32_t exStyle = 0;
    if (main) {
        style |= kWsVisible | kWsMinimizeBox | kDsCenter;
        exStyle |= kWsExAppWindow;
    }
    Words t;
    t.push_back(1);       // dlgVer
    t.push_back(0xFFFF);  // signature: DLGTEMPLATEEX
    PutDword(t, 0);       // helpID
    PutDword(t, exStyle);
    PutDword(t, style);
    t.push_back(static_cast<std::uint16_t>(layout.count));
    t.push_back(0);  // x, y: centred or placed by the system
    t.push_back(0);
    t.push_back(static_cast<std::uint16_t>(layout.width));
    t.push_back(static_cast<std::uint16_t>(layout.height));
    t.push_back(0);  // no menu
    t.push_back(0);  // the dialog class
    PutText(t, widen(layout.caption));
    t.push_back(kDialogPointSize);
    t.push_back(kFwNormal);
    t.push_back(0);  // italic, charset
    PutText(t, kShellDialogFace);

    for (std::size_t i = 0; i < layout.count; ++i) {
        const res::ControlLayout& c = layout.controls[i];
        const ItemClass cls = ClassOf(c);
        Align(t);
        PutDword(t, 0);  // helpID
        PutDword(t, cls.exStyle);
        std::uint32_t itemStyle = kWsChild | kWsVisible | cls.style;
        if (c.style & res::kTabStop)
            itemStyle |= kWsTabStop;
        if (c.style & res::kDefaultButton)
            itemStyle |= kWsGroup;
        PutDword(t, itemStyle);
        t.push_back(static_cast<std::uint16_t>(c.x));
        t.push_back(static_cast<std::uint16_t>(c.y));
        t.push_back(static_cast<std::uint16_t>(c.width));
        t.push_back(static_cast<std::uint16_t>(c.height));
        PutDword(t, static_cast<std::uint32_t>(c.id));
        t.push_back(0xFFFF);
        t.push_back(cls.atom);
        if (c.kind == res::ControlKind::StaticIcon) {
            t.push_back(0xFFFF);
            t.push_back(static_cast<std::uint16_t>(iconId));
        } else {
            // A title that begins with U+FFFF would be read as a resource
            // number; that noncharacter is shown as the replacement one.
            std::u16string title = widen(c.text ? c.text : "");
            if (!title.empty() && title[0] == u'\uFFFF')
                title[0] = u'\uFFFD';
            PutText(t, title);
        }
        t.push_back(0);  // no creation data
    }
    return t;
}

}  // namespace ui
