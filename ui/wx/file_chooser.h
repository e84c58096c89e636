// Choosing a file with the toolkit's own Open dialog.
#pragma once

#include <wx/string.h>

class wxWindow;

// Empties `path`, shows the Open dialog owned by `owner`, and returns
// nonzero with the chosen path in `path`. Cancelling returns 0 silently; a
// dialog that fails returns 0 after a notice with its error code.
int BrowseForFile(wxWindow* owner, wxString& path);
