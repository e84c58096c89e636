// The Windows application: its start-up runs the main dialog as the
// program's whole life.
#include "ui/win32/veltrane_dlg.h"

#include <commctrl.h>
#include <windows.h>

class CVeltraneApp {
public:
    BOOL InitInstance();
};

BOOL CVeltraneApp::InitInstance()
{
    // The controls in the look of the system's version 6 common controls,
    // which the manifest asks for.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CVeltraneDlg dlg(nullptr);
    dlg.DoModal();
    // The dialog was the program; no message loop of its own.
    return FALSE;
}

namespace {
CVeltraneApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // No command line, no settings.
    theApp.InitInstance();
    return 0;
}
