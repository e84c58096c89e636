#include "ui/wx/about_dlg.h"

#include "res/layout.h"
#include "res/resource.h"
#include "ui/wx/accessible.h"
#include "ui/wx/layout_builder.h"

#include <wx/stattext.h>

CAboutDlg::CAboutDlg()
{
    const res::DialogLayout& layout = res::AboutDialogLayout();
    Create(nullptr, IDD_ABOUTBOX, wxString::FromUTF8(layout.caption), wxDefaultPosition, wxDefaultSize,
           wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    BuildControls(this, layout);
    // Read as a dialog whose texts are its description, so that a screen
    // reader speaks them as the box opens, as it does a message box's.
    wxString texts;
    for (wxWindow* child : GetChildren()) {
        if (auto* label = wxDynamicCast(child, wxStaticText)) {
            if (!texts.empty())
                texts += "\n";
            texts += label->GetLabelText();
        }
    }
    ui::SetAccessibleName(this, wxString(), texts, ui::Role::Dialog);
    CentreOnScreen();
}
