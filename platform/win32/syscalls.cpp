#include "platform/win32/syscalls.h"

namespace platform {

HANDLE SystemCalls::Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return ::CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}
BOOL SystemCalls::Read(HANDLE file, void* buffer, DWORD count, DWORD* done)
{
    return ::ReadFile(file, buffer, count, done, nullptr);
}
BOOL SystemCalls::Write(HANDLE file, const void* buffer, DWORD count, DWORD* done)
{
    return ::WriteFile(file, buffer, count, done, nullptr);
}
BOOL SystemCalls::Flush(HANDLE file) { return ::FlushFileBuffers(file); }
BOOL SystemCalls::Close(HANDLE file) { return ::CloseHandle(file); }
BOOL SystemCalls::SetFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size)
{
    return ::SetFileInformationByHandle(file, kind, info, size);
}
BOOL SystemCalls::SetAttributes(const wchar_t* path, DWORD attributes)
{
    return ::SetFileAttributesW(path, attributes);
}
BOOL SystemCalls::Delete(const wchar_t* path) { return ::DeleteFileW(path); }
HANDLE SystemCalls::FindFirstStream(const wchar_t* path, WIN32_FIND_STREAM_DATA* found)
{
    return ::FindFirstStreamW(path, FindStreamInfoStandard, found, 0);
}
BOOL SystemCalls::FindNextStream(HANDLE search, WIN32_FIND_STREAM_DATA* found)
{
    return ::FindNextStreamW(search, found);
}
BOOL SystemCalls::FindClose(HANDLE search) { return ::FindClose(search); }

namespace {
SystemCalls g_real;
SystemCalls* g_current = nullptr;
}  // namespace

SystemCalls& Sys() { return g_current ? *g_current : g_real; }

SystemCalls* SetSystemCalls(SystemCalls* calls)
{
    SystemCalls* previous = g_current;
    g_current = calls;
    return previous;
}

}  // namespace platform
