// What a screen reader is told about a control, beyond its visible text.
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

}  // namespace platform
