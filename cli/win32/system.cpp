#include "cli/system.h"

#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/win32/text.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {

volatile LONG g_stopRequest = 0;
HANDLE g_finished = nullptr;
UINT g_savedOutputCodePage = 0;
// The code page the console showed text in when the program started, 0
// without a console.
UINT g_consoleCodePage = 0;

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

HANDLE FileHandle(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// A word with * or ? stands for the names it matches, as cmd's `dir` lists
// them: hidden and system files left out, in name order, with the folder the
// word gave. A word that matches nothing stays as it is, to be refused.
void Expand(const std::wstring& word, std::vector<std::string>& into)
{
    if (word.find_first_of(L"*?") == std::wstring::npos || word[0] == L'-') {
        into.push_back(platform::Narrow(word));
        return;
    }
    const size_t slash = word.find_last_of(platform::Widen(platform::kPathSeparators));
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : word.substr(0, slash + 1);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(word.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L".." &&
                (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0)
                names.push_back(folder + name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    if (names.empty())
        names.push_back(word);
    std::sort(names.begin(), names.end());
    for (const std::wstring& name : names)
        into.push_back(platform::Narrow(name));
}

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments{platform::Narrow(wide[0])};
    // Windows programs expand their own wildcards; "/?" asks for the help.
    for (int i = 1; i < count; ++i)
        Expand(std::wstring(wide[i]) == L"/?" ? L"--help" : wide[i], arguments);
    ::LocalFree(wide);
    // The streams carry bytes (the result of -c above all); text is made
    // for its reader by RedirectedText. A console shows the C runtime's
    // UTF-8 (the help) once its code page is UTF-8; its own setting comes
    // back when the program ends.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
    const UINT current = ::GetConsoleOutputCP();
    g_consoleCodePage = current;
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

std::int64_t FileSize(const std::string& path, bool* regular)
{
    WIN32_FILE_ATTRIBUTE_DATA status{};
    if (!::GetFileAttributesExW(platform::SystemPath(path).c_str(), GetFileExInfoStandard, &status))
        return -1;
    if (regular)
        *regular = (status.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(status.nFileSizeHigh) << 32) | status.nFileSizeLow);
}

bool ErrorIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(ErrorHandle(), &mode) != 0;
}

bool OutputIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

std::size_t TerminalWidth()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::GetConsoleScreenBufferInfo(ErrorHandle(), &info) && info.srWindow.Right >= info.srWindow.Left)
        return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
    return 80;
}

// Text for a file or a pipe as Windows' own console programs write it (dir,
// find, sort): in the console's code page, with CRLF line ends, so that
// `type` in that console, Notepad and the next program in a pipe read it
// right. A character the code page lacks comes out as "?", as theirs do.
// Without a console (a program that collects the output itself) it stays
// UTF-8, which such programs read by default, with its LF line ends.
std::string RedirectedText(const std::string& text)
{
    if (g_consoleCodePage == 0)
        return text;
    std::wstring wide;
    for (const wchar_t c : platform::Widen(text)) {
        if (c == L'\n')
            wide += L'\r';
        wide += c;
    }
    if (g_consoleCodePage == CP_UTF8)
        return platform::Narrow(wide);
    const int size = ::WideCharToMultiByte(g_consoleCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                           static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(g_consoleCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                              bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::string OutputText(const std::string& text) { return OutputIsTerminal() ? text : RedirectedText(text); }

void WriteError(const std::string& text)
{
    // A console takes UTF-16, whatever its code page.
    if (!ErrorIsTerminal()) {
        const std::string bytes = RedirectedText(text);
        platform::WriteStandardStream(bytes.data(), bytes.size(), true);
        return;
    }
    const std::wstring wide = platform::Widen(text);
    DWORD done = 0;
    ::WriteConsoleW(ErrorHandle(), wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
}

bool NameTaken(int error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

std::int64_t FreeBytes(const std::string& folder)
{
    std::wstring wide = platform::SystemPath(folder);
    if (!wide.empty() && wide.back() != L'\\')
        wide += L'\\';
    ULARGE_INTEGER free{};
    if (wide.empty() || !::GetDiskFreeSpaceExW(wide.c_str(), &free, nullptr, nullptr))
        return -1;
    return static_cast<std::int64_t>(free.QuadPart);
}

bool Reserve(int fd, std::int64_t bytes)
{
    FILE_ALLOCATION_INFO room{};
    room.AllocationSize.QuadPart = bytes;
    return ::SetFileInformationByHandle(FileHandle(fd), FileAllocationInfo, &room, sizeof room) ||
           ::GetLastError() != ERROR_DISK_FULL;
}

// The read-only mark only once the key is placed: until then the file is
// marked to go when closed, which Windows refuses a read-only file.
bool ProtectKey(int fd, bool placed)
{
    if (placed) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_READONLY;
        ::SetFileInformationByHandle(FileHandle(fd), FileBasicInfo, &basic, sizeof basic);
    }
    return true;
}

}  // namespace cli
