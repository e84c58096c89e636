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

// Where a control of the table goes in the grid of the frame that holds it
// (or of the dialog itself), in rows and columns read from the table's
// rectangles: a column starts at each left edge the table uses, a row at
// each height its shortest controls share, and a control spans the rows and
// columns its rectangle covers. So the table's arrangement (what stands
// beside or above what, what lines up) holds in any font and at any scale,
// while the sizes come from the controls themselves.
struct GridPlace {
    int frame;  // index of the innermost frame around it, or -1
    int row, column, rowSpan, columnSpan;
    bool spansAll;  // across every column of its grid
    bool setApart;  // its row is further from the row above than rows usually are
};
std::vector<GridPlace> ArrangeInGrid(const res::DialogLayout& layout);

// Creates the table's controls on the dialog in table order (which is the
// tab order), arranges them as ArrangeInGrid says and fits the dialog to
// them. A frame is the toolkit's own box, created before the controls it
// holds so that it lies beneath them. A field followed by arrows is one
// spin control, the field's, and the arrows have no control of their own.
std::vector<PlacedControl> BuildControls(wxDialog* dialog, const res::DialogLayout& layout);
