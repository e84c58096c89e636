// The in-memory dialog template (DLGTEMPLATEEX) for a layout table, and the
// table fitted to its texts as the dialog's font draws them. Kept free of the
// Windows headers so that the same code is built and checked on Linux too;
// ui::BuildDialogTemplate is its Windows face, which does the measuring.
#pragma once

#include "res/layout.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {

constexpr int kDialogPointSize = 8;

// The name DS_SHELLFONT looks for: Windows and Wine map it, through the
// FontSubstitutes registry key, to the system's own dialog face, which is
// always there.
constexpr char16_t kShellDialogFace[] = u"MS Shell Dlg";

// `main` gives the main window's styles (visible, centred, minimise box, own
// task-bar button), otherwise the About box's. Static icons show icon
// resource `iconId`. The dialog is drawn in the system's dialog face at
// kDialogPointSize. Texts are turned into UTF-16 by `widen`.
std::vector<std::uint16_t> ComposeDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                                 std::u16string (*widen)(const std::string& utf8));

struct PixelSize {
    long long width = 0, height = 0;
};

// What the dialog's font makes of the texts, in pixels.
struct DialogFont {
    // The dialog's base units: the pixels of 4 dialog units across and of 8
    // down.
    int baseX = 4, baseY = 8;
    // What a check box puts before its text: the box and the gap after it.
    int checkBoxLead = 0;
    // The size of a control's text (UTF-8, drawn with the control's style):
    // its lines broken at line breaks and, with `wrapWidth` above 0, between
    // words to keep within that width (a word wider than that sticks out).
    std::function<PixelSize(const char* text, unsigned style, long long wrapWidth)> measure;
};

// `layout` with every text's control as large as `font` draws the text, and
// the controls around it moved along so that none overlaps another or leaves
// the dialog, which grows to hold them. The grid cells say what stands beside
// or above what: a column that must widen pushes the columns after it right,
// a row that must deepen pushes the rows below it down, and a frame grows
// with what it holds. Where every text fits its box, the table comes back as
// it is. `controls` holds the fitted controls; the result points into it.
res::DialogLayout FitToTexts(const res::DialogLayout& layout, const DialogFont& font,
                             std::vector<res::ControlLayout>& controls);

}  // namespace ui
