#include "ui/path_drop.h"

#include <wx/textctrl.h>

bool PathDropTarget::OnDropFiles(wxCoord WXUNUSED(x), wxCoord WXUNUSED(y),
                                 const wxArrayString& files)
{
    if (files.empty())
        return false;
    m_field->SetValue(files[0]);
    return true;
}
