#include "ui/wx/file_chooser.h"

#include "platform/notice.h"
#include "platform/translation.h"

#include <wx/filedlg.h>

namespace {

// The filter's name; its pattern, "*", matches every name, dots or none.
const char kAllFilesFilter[] = TR_MARK("All Files (*.*)");

// A failure's notice carries a code; these are the codes the same failures
// have on Windows, so that the notice reads alike on both systems.
constexpr int kDialogNotCreated = 0xFFFF;
constexpr int kNoFileName = 0x3002;

}  // namespace

int BrowseForFile(wxWindow* owner, wxString& path)
{
    // The dialog opens with no name filled in, whatever the field holds.
    path.clear();
    // No file-must-exist demand: a typed name is taken wherever the toolkit
    // lets the user type one, and the request check reports a file that
    // isn't there.
    wxFileDialog dialog;
    if (!dialog.Create(owner, wxFileSelectorPromptStr, wxString(), wxString(),
                       wxString::FromUTF8(platform::Tr(kAllFilesFilter)) + "|*", wxFD_OPEN))
        return platform::Report(platform::NoticeKind::FileDialogFailed, {}, kDialogNotCreated);
    if (dialog.ShowModal() != wxID_OK)
        return 0;
    path = dialog.GetPath();
    if (path.empty())
        return platform::Report(platform::NoticeKind::FileDialogFailed, {}, kNoFileName);
    return 1;
}
