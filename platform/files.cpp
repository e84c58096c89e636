// File services on POSIX systems.
#include "platform/files.h"

#include "platform/syscalls.h"

#include <acl/libacl.h>
#include <attr/libattr.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

const char kPathSeparators[] = "/";

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

FileIdentity IdentityOf(const struct stat& status)
{
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

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

std::string NameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether `name` in `dir` is, itself, the file open as `fd`.
bool NameIsFile(int dir, const std::string& name, int fd)
{
    struct stat entry {}, open {};
    return ::fstatat(dir, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
           IdentityOf(entry) == IdentityOf(open);
}

bool WriteAll(int fd, const char* in, size_t count)
{
    while (count > 0) {
        const ssize_t put = Sys().Write(fd, in, count);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        in += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

// Access for the owner alone, and no access control list: where the
// original's permissions can't be carried over, the new file must not end up
// more open than it was, nor with the entries it inherited from its folder.
void RestrictToOwner(int fd, mode_t mode)
{
    const mode_t ownerOnly = mode & S_IRWXU;
    if (acl_t acl = ::acl_from_mode(ownerOnly)) {
        const int stored = ::acl_set_fd(fd, acl);
        ::acl_free(acl);
        if (stored == 0)
            return;
    }
    Sys().Fchmod(fd, ownerOnly);
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
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && IdentityOf(sa) == IdentityOf(sb);
}

// Names here keep their letter case: "Notes.txt" and "notes.txt" are two
// files. Where a mounted file system folds case, SameFile() still sees that
// both name one file.
bool SamePathText(const std::string& a, const std::string& b) { return a == b; }

bool EntryIsFile(const std::string& path, const std::string& other)
{
    struct stat entry {}, target {};
    return ::lstat(path.c_str(), &entry) == 0 && ::stat(other.c_str(), &target) == 0 &&
           IdentityOf(entry) == IdentityOf(target);
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
    struct stat status {};
    m_fd = OpenRegularForReading(path, &status);
    if (m_fd < 0)
        return false;
    m_path = path;
    m_size = status.st_size;
    m_identity = IdentityOf(status);
    m_links = status.st_nlink;
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

std::int64_t InputFile::ReadFull(void* buffer, size_t count)
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
    return static_cast<std::int64_t>(done);
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

bool InputFile::TakeContentIfSizeUnknown(std::int64_t limit)
{
    char first = 0;
    if (m_size != 0 || limit <= 0)
        return true;
    const ssize_t probed = Sys().ReadAt(m_fd, &first, 1, 0);
    if (probed == 0)
        return true;  // really empty
    if (probed < 0)
        return false;
    // Such files are small; they are read once, whole, and what was read is
    // what the pass uses, even if the file says otherwise later.
    const int copy = ::memfd_create("veltrane-input", MFD_CLOEXEC);
    if (copy < 0)
        return false;
    char buffer[64 * 1024];
    std::int64_t total = 0;
    while (total < limit) {
        const std::int64_t got = ReadFull(buffer, static_cast<size_t>(std::min<std::int64_t>(
                                                      static_cast<std::int64_t>(sizeof buffer), limit - total)));
        if (got < 0 || !WriteAll(copy, buffer, static_cast<size_t>(got))) {
            ::close(copy);
            return false;
        }
        if (got == 0)
            break;
        total += got;
    }
    if (::lseek(copy, 0, SEEK_SET) != 0) {
        ::close(copy);
        return false;
    }
    Sys().Close(m_fd);
    m_fd = copy;
    m_size = total;
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
    else
        Release();
}

ReplacementFile::Created ReplacementFile::Create(const std::string& tempPath)
{
    Discard();
    m_path = tempPath;
    m_name = NameOf(tempPath);
    m_keep = false;
    m_dir = ::open(DirectoryOf(tempPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_dir < 0)
        return Created::Failed;
    const long nameMax = ::fpathconf(m_dir, _PC_NAME_MAX);
    if (nameMax > 0 && m_name.size() > static_cast<size_t>(nameMax))
        return Created::NameTooLong;

    // The file is made under a private name and held before it appears under
    // the temporary name: another pass never finds it there unheld.
    static std::atomic<unsigned> made{0};
    const std::string privateName = ".veltrane-" + std::to_string(::getpid()) + "-" + std::to_string(++made);
    const auto abandon = [&](Created result) {
        if (m_fd >= 0)
            Sys().UnlinkAt(m_dir, privateName.c_str());
        Release();
        return result;
    };
    for (int attempt = 0; attempt < 8; ++attempt) {
        // Whatever stands at the temporary name: a leftover nobody holds is
        // removed while it is still the file there, and stays held by this
        // pass until the new file has taken the name, so that a third pass
        // can't mistake the new file for it.
        int leftover = Sys().OpenAt(m_dir, m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
        if (leftover >= 0) {
            if (::flock(leftover, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
                Sys().Close(leftover);
                return abandon(Created::Busy);
            }
            if (!NameIsFile(m_dir, m_name, leftover)) {
                Sys().Close(leftover);
                continue;
            }
        }
        // A symlink is removed, never followed; so is an entry this process
        // may not open.
        if (leftover >= 0 || errno != ENOENT)
            Sys().UnlinkAt(m_dir, m_name.c_str());

        if (m_fd < 0) {
            Sys().UnlinkAt(m_dir, privateName.c_str());  // a leftover of this very process id
            m_fd = Sys().OpenAt(m_dir, privateName.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
            if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0) {
                if (leftover >= 0)
                    Sys().Close(leftover);
                return abandon(Created::Failed);
            }
        }
        const int moved = ::renameat2(m_dir, privateName.c_str(), m_dir, m_name.c_str(), RENAME_NOREPLACE);
        const int error = errno;
        if (leftover >= 0)
            Sys().Close(leftover);
        if (moved == 0) {
            m_created = true;
            return Created::Yes;
        }
        if (error == EEXIST)
            continue;
        if (error != EINVAL && error != ENOSYS && error != ENOTSUP)
            return abandon(Created::Failed);
        Sys().UnlinkAt(m_dir, privateName.c_str());
        Sys().Close(m_fd);
        m_fd = -1;
        // Network file systems can't rename without replacing: the file is
        // made in place and held at once.
        m_fd = Sys().OpenAt(m_dir, m_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            S_IRUSR | S_IWUSR);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_created = true;
            return Created::Yes;
        }
        if (m_fd < 0 && errno == EEXIST)
            continue;
        // Made in place but not held: it is ours to remove.
        if (m_fd >= 0)
            Sys().UnlinkAt(m_dir, m_name.c_str());
        Release();
        return Created::Failed;
    }
    return abandon(Created::Failed);
}

bool ReplacementFile::Write(const void* buffer, size_t count)
{
    return m_fd >= 0 && WriteAll(m_fd, static_cast<const char*>(buffer), count);
}

std::int64_t ReplacementFile::Size() const
{
    struct stat status {};
    return m_fd >= 0 && ::fstat(m_fd, &status) == 0 ? status.st_size : -1;
}

bool ReplacementFile::Finish(const InputFile& original)
{
    struct stat status {};
    if (m_fd < 0 || ::fstat(original.Descriptor(), &status) != 0)
        return false;
    // Permission bits and access lists only mean what they meant with the
    // owner and group they were given for; where those can't be kept, the
    // owner alone gets access.
    if (Sys().Fchown(m_fd, status.st_uid, status.st_gid) != 0) {
        RestrictToOwner(m_fd, status.st_mode);
    } else {
        // The set-id and sticky bits, which an access list doesn't carry.
        // Some file systems (FAT on a memory stick) keep no permission bits
        // at all; the list copy below then fails too.
        Sys().Fchmod(m_fd, status.st_mode & 07777);
        if (Sys().CopyPermissions(original.Path().c_str(), original.Descriptor(), m_path.c_str(), m_fd) != 0)
            RestrictToOwner(m_fd, status.st_mode);
    }
    // Extended attributes (tags, labels, a desktop's notes) go along where
    // this process may set them; the access list ones were handled above.
    ::attr_copy_fd(original.Path().c_str(), original.Descriptor(), m_path.c_str(), m_fd, nullptr, nullptr);
    return Sys().Fsync(m_fd) == 0;
}

bool ReplacementFile::StillNamesThisFile() const
{
    return m_dir >= 0 && m_fd >= 0 && NameIsFile(m_dir, m_name, m_fd);
}

ReplacementFile::Replaced ReplacementFile::Replace(const std::string& target, const InputFile& original)
{
    if (!m_created || m_fd < 0 || DirectoryOf(target) != DirectoryOf(m_path))
        return Replaced::Failed;
    if (!StillNamesThisFile()) {
        m_created = false;  // not ours to remove
        Release();
        return Replaced::TemporaryChanged;
    }
    const std::string targetName = NameOf(target);
    struct stat now {};
    if (::fstatat(m_dir, targetName.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        IdentityOf(now) != original.Identity()) {
        Discard();
        return Replaced::TargetChanged;
    }
    if (Sys().RenameAt(m_dir, m_name.c_str(), targetName.c_str()) != 0)
        return Replaced::Failed;
    m_created = false;
    // Makes the rename itself durable; some file systems can't flush a
    // folder, and the replacement has happened either way.
    ::fsync(m_dir);
    // A close that fails now can't undo the replacement, and the data were
    // flushed before it.
    Release();
    return Replaced::Yes;
}

void ReplacementFile::Discard()
{
    // Removed only while the name still names this file: after another
    // program has put something else there, that is not ours to remove.
    if (m_created && StillNamesThisFile())
        Sys().UnlinkAt(m_dir, m_name.c_str());
    m_created = false;
    Release();
}

void ReplacementFile::Release()
{
    if (m_fd >= 0) {
        Sys().Close(m_fd);
        m_fd = -1;
    }
    if (m_dir >= 0) {
        ::close(m_dir);
        m_dir = -1;
    }
}

void EnsureStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is this one, since those below it are open.
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

}  // namespace platform
