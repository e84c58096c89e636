#include "platform/files.h"

#include "platform/syscalls.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// Opens for reading without blocking and without becoming a controlling
// terminal, and keeps the descriptor only for a regular file.
int OpenRegularForReading(const std::string& path, struct stat* status)
{
    struct stat before {};
    // Looked at before opening: opening some devices has side effects.
    if (::stat(path.c_str(), &before) != 0 || !S_ISREG(before.st_mode))
        return -1;
    const int fd = Sys().Open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    struct stat after {};
    if (::fstat(fd, &after) != 0 || !S_ISREG(after.st_mode)) {
        Sys().Close(fd);
        return -1;
    }
    if (status)
        *status = after;
    return fd;
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

}  // namespace

FileProbe::FileProbe(const std::string& path) : m_fd(OpenRegularForReading(path, nullptr)) {}

FileProbe::~FileProbe() { Close(); }

bool FileProbe::MarkReadOnly()
{
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0)
        return false;
    const mode_t mode = (status.st_mode & 07777) & ~kWriteBits;
    return Sys().Fchmod(m_fd, mode) == 0;
}

void FileProbe::Close()
{
    if (m_fd >= 0) {
        Sys().Close(m_fd);
        m_fd = -1;
    }
}

bool IsMarkedReadOnly(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && (status.st_mode & kWriteBits) == 0;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool EntryIsFile(const std::string& path, const std::string& other)
{
    struct stat entry {}, target {};
    return ::lstat(path.c_str(), &entry) == 0 && ::stat(other.c_str(), &target) == 0 &&
           entry.st_dev == target.st_dev && entry.st_ino == target.st_ino;
}

std::string ResolvePath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

InputFile::~InputFile() { Close(); }

bool InputFile::Open(const std::string& path)
{
    Close();
    m_fd = OpenRegularForReading(path, &m_stat);
    if (m_fd < 0)
        return false;
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

ssize_t InputFile::ReadFull(void* buffer, size_t count)
{
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got = Sys().Read(m_fd, out + done, count - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

bool InputFile::ReadAt(std::int64_t offset, void* buffer, size_t count)
{
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t got = Sys().ReadAt(m_fd, out + done, count - done,
                                         static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

void InputFile::Close()
{
    if (m_fd >= 0) {
        Sys().Close(m_fd);
        m_fd = -1;
    }
}

ReplacementFile::~ReplacementFile()
{
    if (!m_keep)
        Discard();
    else if (m_fd >= 0)
        Sys().Close(m_fd);
}

bool ReplacementFile::Create(const std::string& tempPath)
{
    Discard();
    m_path = tempPath;
    m_keep = false;
    // A failure here shows up as a failed exclusive create just below.
    Sys().Unlink(tempPath.c_str());
    m_fd = Sys().Open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      S_IRUSR | S_IWUSR);
    m_created = m_fd >= 0;
    return m_created;
}

bool ReplacementFile::Write(const void* buffer, size_t count)
{
    const char* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t put = Sys().Write(m_fd, in, count);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (put == 0)
            return false;
        in += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

bool ReplacementFile::Finish(const struct stat& original)
{
    if (m_fd < 0)
        return false;
    mode_t mode = original.st_mode & 07777;
    // Permission bits are only meaningful with the owner and group they were
    // given for; where those can't be kept, the owner alone gets access.
    if (Sys().Fchown(m_fd, original.st_uid, original.st_gid) != 0)
        mode &= S_IRWXU;
    // Some filesystems (FAT on a memory stick) keep no permission bits and
    // refuse to change them; the file then keeps the owner-only access it
    // was created with, which is never more than the original had.
    Sys().Fchmod(m_fd, mode);
    const bool ok = Sys().Fsync(m_fd) == 0;
    const bool closed = Sys().Close(m_fd) == 0;
    m_fd = -1;
    return ok && closed;
}

bool ReplacementFile::Replace(const std::string& target)
{
    if (!m_created || m_fd >= 0)
        return false;
    if (Sys().Rename(m_path.c_str(), target.c_str()) != 0)
        return false;
    m_created = false;
    // Makes the rename itself durable; some filesystems can't flush a
    // directory, and the replacement has happened either way.
    const int dir = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void ReplacementFile::Discard()
{
    if (m_fd >= 0) {
        Sys().Close(m_fd);
        m_fd = -1;
    }
    if (m_created) {
        Sys().Unlink(m_path.c_str());
        m_created = false;
    }
}

}  // namespace platform
