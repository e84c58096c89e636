// What a screen reader is told about a control beyond its visible text, and
// how a control keeps its proportions for those who read larger text.
#pragma once

#include <wx/string.h>

class wxWindow;

namespace platform {

// The name announced for the control, and optionally a longer description.
void SetAccessibleName(wxWindow* control, const wxString& name,
                       const wxString& description = wxString());

// Makes `label` the label of `control`, both ways round: the label is
// announced as describing the control, and the control as described by it.
// Replaces whatever control the toolkit tied the label to on its own.
void RelateLabel(wxWindow* label, wxWindow* control);

// Sizes a check box's square, and the gap to its text, by its text's size,
// so that under a larger text scale it doesn't shrink beside its text.
void SizeIndicatorWithText(wxWindow* checkBox);

}  // namespace platform
