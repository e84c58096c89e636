// Names screen readers read for the dialog's controls, through Active
// Accessibility.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

// Gives `control` the name a screen reader reads for it, in place of the one
// Windows would take from the static text before it in the control order:
// the order stays as it is. Everything else about the control's accessible
// object is the system's own. False when the control can't be annotated.
bool SetAccessibleName(HWND control, const std::wstring& name);

}  // namespace ui
