// Dropping a file from a file manager onto a path field.
#pragma once

#include <wx/dnd.h>

class wxString;
class wxTextCtrl;

// Puts a chosen path into a field with its end, the file name, in view; a
// long path's start is what the user least needs to see.
void ShowPath(wxTextCtrl* field, const wxString& path);

// Puts the dropped file's path into the field; of several files, the first.
class PathDropTarget : public wxFileDropTarget {
public:
    explicit PathDropTarget(wxTextCtrl* field) : m_field(field) {}

    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) override;

private:
    wxTextCtrl* m_field;
};
