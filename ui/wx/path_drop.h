// Dropping a file from a file manager onto a path field.
#pragma once

#include <wx/dataobj.h>
#include <wx/dnd.h>

class wxString;
class wxTextCtrl;
class wxWindow;

// Puts a chosen path into a field with its end, the file name, in view; a
// long path's start is what the user least needs to see.
void ShowPath(wxTextCtrl* field, const wxString& path);

// Puts the dropped file's path into the field. Only one file of this machine
// is taken; a drop of several, of a folder or of anything else is refused
// whole, and a notice says why, so that a field never holds half a drop.
class PathDropTarget : public wxDropTarget {
public:
    explicit PathDropTarget(wxTextCtrl* field);

    wxDragResult OnData(wxCoord x, wxCoord y, wxDragResult def) override;

private:
    wxTextCtrl* m_field;
    wxCustomDataObject* m_list;  // the list as sent; owned by the target
};

// A text field takes dropped text by itself; one that holds no path is
// better off refusing every drop than holding a URI.
void RefuseDrops(wxWindow* field);
