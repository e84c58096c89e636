#include "ui/wx/file_chooser.h"

#include "platform/notice.h"
#include "platform/translation.h"

#include <wx/filedlg.h>

namespace {

// The filter's name; its pattern, "*", matches every name, dots or none.
const char kAllFilesFilter[] = TR_MARK("All Files (*.*)");

class ToolkitFileDialog : public FileDialogRunner {
public:
    FileDialogOutcome Run(wxWindow* owner) override
    {
        FileDialogOutcome outcome;
        // No file-must-exist demand: a typed name is taken wherever the
        // toolkit lets the user type one, and the request check reports a
        // file that isn't there.
        wxFileDialog dialog;
        if (!dialog.Create(owner, wxFileSelectorPromptStr, wxString(), wxString(),
                           wxString::FromUTF8(platform::Tr(kAllFilesFilter)) + "|*", wxFD_OPEN)) {
            outcome.kind = FileDialogOutcome::Failed;
            outcome.error = kFileDialogNotCreated;
            return outcome;
        }
        if (dialog.ShowModal() != wxID_OK)
            return outcome;
        outcome.path = dialog.GetPath();
        if (outcome.path.empty()) {
            outcome.kind = FileDialogOutcome::Failed;
            outcome.error = kFileDialogNoFileName;
            return outcome;
        }
        outcome.kind = FileDialogOutcome::Chosen;
        return outcome;
    }
};

ToolkitFileDialog g_toolkitDialog;
FileDialogRunner* g_runner = &g_toolkitDialog;

}  // namespace

FileDialogRunner* SetFileDialogRunner(FileDialogRunner* runner)
{
    FileDialogRunner* previous = g_runner;
    g_runner = runner ? runner : &g_toolkitDialog;
    return previous;
}

int BrowseForFile(wxWindow* owner, wxString& path)
{
    // The dialog opens with no name filled in, whatever the field holds.
    path.clear();
    const FileDialogOutcome outcome = g_runner->Run(owner);
    switch (outcome.kind) {
    case FileDialogOutcome::Chosen:
        path = outcome.path;
        return 1;
    case FileDialogOutcome::Cancelled:
        return 0;
    case FileDialogOutcome::Failed:
        return platform::Report(platform::NoticeKind::FileDialogFailed, {}, static_cast<int>(outcome.error));
    }
    return 0;
}
