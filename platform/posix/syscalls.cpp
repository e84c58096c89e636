#include "platform/posix/syscalls.h"

#include <acl/libacl.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int SystemCalls::OpenAt(int dir, const char* name, int flags, mode_t mode) { return ::openat(dir, name, flags, mode); }
ssize_t SystemCalls::Read(int fd, void* buffer, size_t count) { return ::read(fd, buffer, count); }
ssize_t SystemCalls::Write(int fd, const void* buffer, size_t count) { return ::write(fd, buffer, count); }
int SystemCalls::Fsync(int fd) { return ::fsync(fd); }
int SystemCalls::Close(int fd) { return ::close(fd); }
int SystemCalls::Fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int SystemCalls::Fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }
int SystemCalls::CopyPermissions(const char* fromPath, int from, const char* toPath, int to)
{
    return ::perm_copy_fd(fromPath, from, toPath, to, nullptr);
}
int SystemCalls::RenameAt(int dir, const char* from, const char* to) { return ::renameat(dir, from, dir, to); }
int SystemCalls::RenameNoReplace(int dir, const char* from, const char* to)
{
    return ::renameat2(dir, from, dir, to, RENAME_NOREPLACE);
}
int SystemCalls::UnlinkAt(int dir, const char* name) { return ::unlinkat(dir, name, 0); }

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
