// Turns a dialog layout table into controls arranged by sizers.
#pragma once

#include "res/layout.h"

#include <vector>

class wxDialog;
class wxWindow;

struct PlacedControl {
    const res::ControlLayout* layout;
    wxWindow* window;
};

// Creates the table's controls on the dialog in table order (which is the
// tab order), arranges them in the grid cells the table gives and fits the dialog to
// them. A frame is the toolkit's own box, created before the controls it
// holds so that it lies beneath them. A field followed by arrows is one
// spin control, the field's, and the arrows have no control of their own.
std::vector<PlacedControl> BuildControls(wxDialog* dialog, const res::DialogLayout& layout);
