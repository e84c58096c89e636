// The system calls beneath the file services, behind one seam.
//
// Tests replace a single call to fail the way a full disk, a read-only medium
// or a failing device would: failures that a process running as root never
// meets for real. Production code always goes through Sys().
#pragma once

#include <sys/types.h>

namespace platform {

class SystemCalls {
public:
    virtual ~SystemCalls() = default;
    // Names relative to an open folder (AT_FDCWD for the current one): the
    // temporary file and the file it replaces always lie in one folder.
    virtual int OpenAt(int dir, const char* name, int flags, mode_t mode);
    virtual ssize_t Read(int fd, void* buffer, size_t count);
    virtual ssize_t Write(int fd, const void* buffer, size_t count);
    virtual int Fsync(int fd);
    virtual int Close(int fd);
    virtual int Fchmod(int fd, mode_t mode);
    virtual int Fchown(int fd, uid_t owner, gid_t group);
    // Copies the permission bits and the access control list of `from` onto
    // `to`.
    virtual int CopyPermissions(const char* fromPath, int from, const char* toPath, int to);
    virtual int RenameAt(int dir, const char* from, const char* to);
    // The same, but refused (EEXIST) when `to` is there.
    virtual int RenameNoReplace(int dir, const char* from, const char* to);
    virtual int UnlinkAt(int dir, const char* name);
};

SystemCalls& Sys();
// nullptr restores the real calls; returns the previous replacement.
SystemCalls* SetSystemCalls(SystemCalls* calls);

}  // namespace platform
