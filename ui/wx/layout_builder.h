// Turns a dialog layout table into controls.
#pragma once

#include "res/layout.h"

#include <wx/event.h>
#include <wx/gdicmn.h>

#include <functional>
#include <vector>

class wxDialog;
class wxWindow;

struct PlacedControl {
    const res::ControlLayout* layout;
    wxWindow* window;  // none for a frame, which the dialog draws itself
    wxRect rect;       // in the dialog's client area
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
// Frames are drawn on the dialog itself, beneath the controls: a frame with a
// window of its own would hide the texts inside it. Static controls pass a
// left press on to the dialog, in the dialog's coordinates, as if they
// weren't there. An edit field that loses the
// keyboard focus tells the dialog with VT_EVT_FIELD_KILL_FOCUS.
std::vector<PlacedControl> BuildControls(wxDialog* dialog, const res::DialogLayout& layout);

// A command event with the field's identifier, for event tables
// (EVT_COMMAND): focus events themselves don't travel up to the dialog.
wxDECLARE_EVENT(VT_EVT_FIELD_KILL_FOCUS, wxCommandEvent);

// The size control `index` needs to show its text whole in a box `width`
// pixels wide.
using MeasureControl = std::function<wxSize(std::size_t index, int width)>;

// The controls' rectangles at `unitX` by `unitY` pixels per dialog unit, each
// grown to what it needs; empty when the grown boxes don't keep the
// arrangement.
std::vector<wxRect> PlaceControls(const res::DialogLayout& layout, double unitX, double unitY,
                                  const MeasureControl& measure);
