// The Windows application: its start-up runs the main dialog as the
// program's whole life.
#include "ui/win32/veltrane_dlg.h"

#include "platform/translation.h"
#include "platform/win32/text.h"
#include "ui/texts.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windows.h>

#include <string>
#include <vector>

class CVeltraneApp {
public:
    BOOL InitInstance();
    // The command line, argv[0] left out.
    std::vector<std::wstring> m_arguments;
};

namespace {

// The command line as Windows hands it over, wide, so that any name
// arrives whole; argv[0] left out.
std::vector<std::wstring> Arguments()
{
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        arguments.assign(wide + 1, wide + count);
        LocalFree(wide);
    }
    return arguments;
}

// --help and --version answered on the console the program was started
// from, or where its output goes, without a window.
bool Answered(const std::vector<std::wstring>& arguments)
{
    for (const std::wstring& argument : arguments) {
        const char* answer = ui::StartAnswer(platform::Narrow(argument));
        if (!answer)
            continue;
        const std::string line = std::string(answer) + "\n";
        HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
        if ((!out || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
            out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        DWORD written = 0;
        WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return true;
    }
    return false;
}

// A name made whole against the folder the program was started in.
std::string FullPath(const std::wstring& name)
{
    const DWORD length = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    std::wstring full(length, L'\0');
    if (length == 0 || GetFullPathNameW(name.c_str(), length, &full[0], nullptr) >= length)
        return platform::Narrow(name);
    full.resize(length - 1);
    return platform::Narrow(full);
}

}  // namespace

BOOL CVeltraneApp::InitInstance()
{
    // The controls in the look of the system's version 6 common controls,
    // which the manifest asks for.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    CVeltraneDlg dlg(nullptr);
    for (const std::wstring& file : m_arguments)
        dlg.m_startFiles.push_back(FullPath(file));
    dlg.DoModal();
    // The dialog was the program; no message loop of its own.
    return FALSE;
}

namespace {
CVeltraneApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // No settings; the command line may name the file to work on.
    theApp.m_arguments = Arguments();
    platform::UseUserLanguage();
    if (!Answered(theApp.m_arguments))
        theApp.InitInstance();
    return 0;
}
