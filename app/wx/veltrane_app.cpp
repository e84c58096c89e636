#include "app/wx/veltrane_app.h"

#include "platform/files.h"
#include "platform/translation.h"
#include "ui/wx/pass_loop.h"
#include "ui/wx/narrow.h"
#include "ui/texts.h"
#include "ui/wx/sinks.h"
#include "ui/wx/veltrane_dlg.h"

#include <wx/filefn.h>
#include <wx/init.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include <glib.h>

#include <cstdio>

wxBEGIN_EVENT_TABLE(CVeltraneApp, wxApp)
    EVT_MENU(wxID_HELP, CVeltraneApp::OnHelp)
wxEND_EVENT_TABLE()

wxIMPLEMENT_APP_NO_MAIN(CVeltraneApp);

bool CVeltraneApp::OnInit()
{
    // No command line, no settings, no log: the toolkit's own option parsing
    // in wxApp::OnInit is left out on purpose.
    // wx's own texts (its stock buttons, its messages) from its catalogue.
    wxUILocale::UseDefault();
    wxTranslations::Set(new wxTranslations);
    wxTranslations::Get()->AddStdCatalog();
    ui::WindowReports reports;
    CVeltraneDlg dlg(nullptr, reports);
    // Files from a file manager's "Open With", the toolkit's own options
    // taken out; a relative name is taken from the folder it was started in.
    for (int i = 1; i < argc; ++i) {
        const std::string file = ui::ToNarrow(argv[i]);
        dlg.m_startFiles.push_back(file.empty() || file[0] == '/' ? file : ui::ToNarrow(wxGetCwd()) + "/" + file);
    }
    SetTopWindow(&dlg);
    {
        // Asked to end from outside, the program ends as Escape ends it.
        ui::EndRequests ends([&dlg] { static_cast<CVeltraneDlgLogic&>(dlg).OnCancel(); });
        dlg.ShowModal();
        // The status tells the caller that the signal ended the program,
        // as the command line's does; whether the pass running then was
        // stopped or had already replaced its file is said on standard
        // error.
        if (ends.Signal()) {
            m_exitStatus = 128 + ends.Signal();
            ends.SayHowThePassEnded();
        }
    }
    SetTopWindow(nullptr);
    // The dialog was the program; don't start an event loop of its own.
    return false;
}

void CVeltraneApp::OnHelp(wxCommandEvent& WXUNUSED(event))
{
    // No help file ships with the program; the Help command does nothing.
}

int main(int argc, char** argv)
{
    // Started with a standard stream closed, the toolkit's warnings would go
    // into whatever file took its number.
    platform::EnsureStandardStreams();
    // The user's language, before the toolkit starts: GTK's own dialogs
    // and wx's texts follow the locale taken here.
    platform::UseUserLanguage();
    // The start-up hook ends the program by returning false, which the
    // toolkit's own entry point would report as a failure; a run that ends
    // with the dialog is a success, one ended by a signal says which.
    //
    // The window's class (X11) and application id (Wayland) are the desktop
    // entry's name, so that docks group the window with its launcher.
    g_set_prgname("org.veltrane.Veltrane");
    // As desktop programs answer them, without a window.
    for (int i = 1; i < argc; ++i) {
        if (const char* answer = ui::StartAnswer(argv[i])) {
            std::puts(answer);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "veltrane: %s\n", platform::Tr("cannot open the display (is DISPLAY set?)"));
        return 1;
    }
    wxTheApp->CallOnInit();
    const int status = wxGetApp().ExitStatus();
    wxEntryCleanup();
    return status;
}
