// The Windows calls beneath the file services, behind one seam.
//
// Tests replace a single call to fail the way a full disk, a failing device
// or a refused rename would. Production code always goes through Sys().
#pragma once

#include <windows.h>

namespace platform {

class SystemCalls {
public:
    virtual ~SystemCalls() = default;
    virtual HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
    virtual BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done);
    virtual BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done);
    virtual BOOL Flush(HANDLE file);
    virtual BOOL Close(HANDLE file);
    // Renames, deletes and attribute changes through an open handle.
    virtual BOOL SetFileInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, void* info, DWORD size);
    virtual BOOL SetAttributes(const wchar_t* path, DWORD attributes);
    virtual BOOL Delete(const wchar_t* path);
    // A file's streams, the unnamed one ("::$DATA") and the named ones.
    virtual HANDLE FindFirstStream(const wchar_t* path, WIN32_FIND_STREAM_DATA* found);
    virtual BOOL FindNextStream(HANDLE search, WIN32_FIND_STREAM_DATA* found);
    virtual BOOL FindClose(HANDLE search);
};

SystemCalls& Sys();
// nullptr restores the real calls; returns the previous replacement.
SystemCalls* SetSystemCalls(SystemCalls* calls);

}  // namespace platform
