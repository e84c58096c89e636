// Turns a dialog layout table into a dialog template the dialog manager
// builds, fitted to its texts as the system's dialog face draws them.
#pragma once

#include "res/layout.h"

#include <windows.h>

#include <vector>

namespace ui {

// An in-memory DLGTEMPLATEEX for `layout`, in the system's dialog face;
// `main` gives the main window's styles (visible, centred, minimise box, own
// task-bar button), otherwise the About box's. Static icons show icon
// resource `iconId`. Every text's control takes the room its text needs in
// that face, and the controls around it and the dialog make way (see
// ui::FitToTexts); `placed` holds the controls where they are put.
std::vector<WORD> BuildDialogTemplate(const res::DialogLayout& layout, bool main, int iconId,
                                      std::vector<res::ControlLayout>& placed);

}  // namespace ui
