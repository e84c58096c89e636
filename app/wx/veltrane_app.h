// The application object: its start-up runs the main dialog as the program's
// whole life.
#pragma once

#include <wx/app.h>

class CVeltraneApp : public wxApp {
public:
    bool OnInit() override;

private:
    void OnHelp(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(CVeltraneApp);
