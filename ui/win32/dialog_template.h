// The in-memory dialog template (DLGTEMPLATEEX) for a layout table. Kept
// free of the Windows headers so that the same code is built and checked on
// Linux too; ui::BuildDialogTemplate is its Windows face.
#pragma once

#include "res/layout.h"

#include <cstdint>
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

}  // namespace ui
