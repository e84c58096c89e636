// System calls for the tests that fail one way on purpose.
#pragma once

#include "platform/posix/syscalls.h"

#include <sys/stat.h>

#include <cerrno>

namespace testsupport {

// The system's own calls, but a folder's flush fails with `error`: EIO for
// a failed disk, EINVAL for a file system that can't flush folders at all.
struct FolderFlushFails : platform::SystemCalls {
    int error = EIO;
    int Fsync(int fd) override
    {
        struct stat status {};
        if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
            errno = error;
            return -1;
        }
        return SystemCalls::Fsync(fd);
    }
};

}  // namespace testsupport
