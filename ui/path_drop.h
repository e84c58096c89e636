// Dropping a file from a file manager onto a path field.
#pragma once

#include <wx/dnd.h>

class wxTextCtrl;

// Puts the dropped file's path into the field; of several files, the first.
class PathDropTarget : public wxFileDropTarget {
public:
    explicit PathDropTarget(wxTextCtrl* field) : m_field(field) {}

    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) override;

private:
    wxTextCtrl* m_field;
};
