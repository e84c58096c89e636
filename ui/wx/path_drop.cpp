#include "ui/wx/path_drop.h"

#include <wx/textctrl.h>

void ShowPath(wxTextCtrl* field, const wxString& path)
{
    field->SetValue(path);
    field->SetInsertionPointEnd();
}

bool PathDropTarget::OnDropFiles(wxCoord WXUNUSED(x), wxCoord WXUNUSED(y),
                                 const wxArrayString& files)
{
    if (files.empty())
        return false;
    ShowPath(m_field, files[0]);
    return true;
}
