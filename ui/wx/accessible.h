// What a screen reader is told about a control beyond its visible text, and
// how a control keeps its proportions for those who read larger text.
#pragma once

#include <wx/string.h>

class wxWindow;

namespace ui {

// What a window is to a screen reader where GTK's own role says less: a
// notice's box an alert, read as GTK's own message dialogs are (its caption
// and text both spoken when it opens); a dialog of our own a dialog, its
// texts spoken when it opens and not just its caption and focused button.
enum class Role { AsIs, Alert, Dialog };

// The name announced for the control (an empty one leaves the toolkit's),
// optionally a longer description, and its role.
void SetAccessibleName(wxWindow* control, const wxString& name, const wxString& description = wxString(),
                       Role role = Role::AsIs);

// Makes `label` the label of `control`, both ways round: the label is
// announced as describing the control, and the control as described by it.
// Replaces whatever control the toolkit tied the label to on its own.
void RelateLabel(wxWindow* label, wxWindow* control);

// Sizes a check box's square, and the gap to its text, by its text's size,
// so that under a larger text scale it doesn't shrink beside its text.
void SizeIndicatorWithText(wxWindow* checkBox);

// A press of the button is carried out once the loop has nothing else to
// do. GTK would carry out a screen reader's press inside its request, and a
// box the press opens would hold every other request (the box's own text
// too) until it closed.
void PressAfterTheRequest(wxWindow* button);

// Input to the control is being dropped: it is insensitive to GTK, so a
// screen reader hears it as unavailable and GTK refuses its actions, while
// it is drawn as it looked before.
void ReportInputDropped(wxWindow* control, bool dropped);

// Gives `window` objects that only a screen reader sees: GTK's progress bar
// following a pass in percent, there from its start to its end, and
// news of the pass that appears with its first report (`title`, its words
// for the window's title). They take no room, no input and no focus. The
// others do nothing to a window without them.
void AddPassProgress(wxWindow* window);
void StartPassProgress(wxWindow* window);
void SetPassProgress(wxWindow* window, int percent, const wxString& title);
void EndPassProgress(wxWindow* window);

}  // namespace ui
