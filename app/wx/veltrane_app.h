// The application object: its start-up runs the main dialog as the program's
// whole life.
#pragma once

#include <wx/app.h>

class CVeltraneApp : public wxApp {
public:
    bool OnInit() override;
    // 0, or 128 and the number of the signal that ended the program.
    int ExitStatus() const { return m_exitStatus; }

private:
    int m_exitStatus = 0;
    void OnHelp(wxCommandEvent& event);

    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(CVeltraneApp);
