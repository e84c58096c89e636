// The About box: name, version, authors, and the warning that the program
// changes files for good.
#pragma once

#include <wx/dialog.h>

// Everything it does (OK, Enter, Escape, the Close box all close it) is the
// toolkit's standard dialog handling: it has no handlers of its own.
class CAboutDlg : public wxDialog {
public:
    CAboutDlg();
};
