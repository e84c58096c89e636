// Turns a dialog layout table into controls.
#pragma once

#include "res/layout.h"

#include <wx/gdicmn.h>

#include <functional>
#include <vector>

class wxDialog;
class wxWindow;

struct PlacedControl {
    const res::ControlLayout* layout;
    wxWindow* window;
};

// Creates the table's controls on the dialog in table order (which is the tab
// order), places them from their dialog-unit rectangles with the dialog's own
// font, and sizes the client area.
//
// A control whose text doesn't fit its box gets a bigger box: wider to the
// right, and taller around its middle so that it stays level with its
// neighbours (a wrapped or multi-line text grows downwards). When that would
// make two controls overlap that didn't, or push a control out of the frame
// that holds it, the whole arrangement is spread out a step and tried again,
// so the layout keeps its shape in any font.
//
// Static controls pass a left press on to the dialog, in the dialog's
// coordinates, as if they weren't there.
std::vector<PlacedControl> BuildControls(wxDialog* dialog, const res::DialogLayout& layout);

// The size control `index` needs to show its text whole in a box `width`
// pixels wide.
using MeasureControl = std::function<wxSize(std::size_t index, int width)>;

// The controls' rectangles at `unitX` by `unitY` pixels per dialog unit, each
// grown to what it needs; empty when the grown boxes don't keep the
// arrangement.
std::vector<wxRect> PlaceControls(const res::DialogLayout& layout, double unitX, double unitY,
                                  const MeasureControl& measure);
