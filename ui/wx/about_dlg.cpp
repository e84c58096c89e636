#include "ui/wx/about_dlg.h"

#include "res/layout.h"
#include "res/resource.h"
#include "ui/wx/layout_builder.h"

wxBEGIN_EVENT_TABLE(CAboutDlg, wxDialog)
wxEND_EVENT_TABLE()

CAboutDlg::CAboutDlg()
{
    const res::DialogLayout& layout = res::AboutDialogLayout();
    Create(nullptr, IDD_ABOUTBOX, wxString::FromUTF8(layout.caption), wxDefaultPosition,
           wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX);
    BuildControls(this, layout);
    CentreOnScreen();
}
