#include "cli/system.h"

#include "platform/cancel.h"
#include "platform/win32/text.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {

volatile LONG g_stopRequest = 0;
HANDLE g_finished = nullptr;
UINT g_savedOutputCodePage = 0;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    LONG signal = 15;
    if (event == CTRL_C_EVENT)
        signal = 2;
    else if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        signal = 1;
    ::InterlockedCompareExchange(&g_stopRequest, signal, 0);
    platform::RequestCancel();
    // Windows ends the program as soon as this returns from a closing
    // console, and at the latest after 5 seconds: the pass gets that long to
    // remove its temporary file.
    if (signal == 1 && g_finished)
        ::WaitForSingleObject(g_finished, 4500);
    return TRUE;
}

void RestoreCodePage()
{
    if (g_savedOutputCodePage)
        ::SetConsoleOutputCP(g_savedOutputCodePage);
}

HANDLE ErrorHandle() { return ::GetStdHandle(STD_ERROR_HANDLE); }

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(platform::Narrow(wide[i]));
    ::LocalFree(wide);
    // Output is byte for byte what the Linux program writes: LF line ends
    // (which consoles, editors and scripts take), UTF-8 text. A console
    // shows the C runtime's UTF-8 (usage errors, help) once its code page is
    // UTF-8; its own setting comes back when the program ends.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    const UINT current = ::GetConsoleOutputCP();
    if (current != 0 && current != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
        g_savedOutputCodePage = current;
        std::atexit(RestoreCodePage);
    }
    return arguments;
}

void CatchStopRequests()
{
    g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

int StopRequest() { return static_cast<int>(g_stopRequest); }

void Finished()
{
    if (g_finished)
        ::SetEvent(g_finished);
}

std::int64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA status{};
    if (!::GetFileAttributesExW(platform::SystemPath(path).c_str(), GetFileExInfoStandard, &status))
        return -1;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(status.nFileSizeHigh) << 32) | status.nFileSizeLow);
}

bool ErrorIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(ErrorHandle(), &mode) != 0;
}

std::size_t TerminalWidth()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(ErrorHandle(), &info) && info.srWindow.Right >= info.srWindow.Left)
        return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    return 80;
}

void WriteError(const std::string& text)
{
    const HANDLE handle = ErrorHandle();
    DWORD done = 0;
    // A console takes UTF-16, whatever its code page; a pipe or a file gets
    // the UTF-8 bytes.
    if (ErrorIsTerminal()) {
        const std::wstring wide = platform::Widen(text);
        ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
        return;
    }
    size_t at = 0;
    while (at < text.size()) {
        if (!::WriteFile(handle, text.data() + at, static_cast<DWORD>(text.size() - at), &done, nullptr) || done == 0)
            return;
        at += done;
    }
}

}  // namespace cli
