// Choosing a file with the toolkit's own Open dialog.
#pragma once

#include <wx/string.h>

class wxWindow;

// How one showing of a file dialog ended.
struct FileDialogOutcome {
    enum Kind { Chosen, Cancelled, Failed } kind = Cancelled;
    wxString path;   // when Chosen
    long error = 0;  // when Failed
};

// Error codes of a file dialog that failed, in the customary numbering of
// common dialogs.
constexpr long kFileDialogNotCreated = 0xFFFF;
constexpr long kFileDialogNoFileName = 0x3002;

// Shows the file dialog. The toolkit's own is used unless a test puts a
// stand-in in its place.
class FileDialogRunner {
public:
    virtual ~FileDialogRunner() = default;
    virtual FileDialogOutcome Run(wxWindow* owner) = 0;
};

// Installs a runner; nullptr restores the toolkit's dialog. Returns the
// runner that was installed before.
FileDialogRunner* SetFileDialogRunner(FileDialogRunner* runner);

// Empties `path`, shows the Open dialog owned by `owner`, and returns
// nonzero with the chosen path in `path`. Cancelling returns 0 silently; a
// dialog that fails returns 0 after a notice with its error code.
int BrowseForFile(wxWindow* owner, wxString& path);
