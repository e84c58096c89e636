// File services on POSIX systems.
#include "platform/files.h"

#include "platform/cancel.h"
#include "platform/posix/syscalls.h"

#include <acl/libacl.h>
#include <attr/error_context.h>
#include <attr/libattr.h>
#include <dirent.h>
#include <poll.h>
#include <sys/acl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/xattr.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

namespace platform {

const char kPathSeparators[] = "/";

// With 32-bit offsets a 32-bit build couldn't even open a file of 2 GiB.
static_assert(sizeof(off_t) == 8, "build with _FILE_OFFSET_BITS=64");

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// Set on every temporary file a pass makes, and taken off before the file
// is the user's: a file at a temporary name without it was not left by a
// pass, and is never removed.
constexpr char kPassMark[] = "user.veltrane.pass";

// The reason worth telling when a file can't be opened: not for a file
// that isn't there, which "Cannot find" says already.
int ReasonToTell(int error) { return error == ENOENT ? 0 : error; }

// The system's word on writes to the files that passes read, one watch a
// file, all in one inotify instance for the process: an instance of its own
// for each file would cost a wait for the kernel at every close, far more
// than a small file's pass. A watch nobody uses any more is kept for a while:
// the key comes back with the next file of a command, and a replaced data
// file takes its watch with it when it goes.
class WriteWatch {
public:
    static WriteWatch& Get()
    {
        static WriteWatch watch;
        return watch;
    }

    // A watch on the file open as `fd`, through the descriptor's own entry
    // so that it is this very file whatever its names do: its number and
    // the writes counted so far, or -1 where nothing can watch.
    int Add(int fd, std::uint64_t& seen)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_fd < 0)
            m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        const int watch = m_fd < 0 ? -1 : ::inotify_add_watch(m_fd, self.c_str(), IN_MODIFY | IN_ATTRIB);
        if (watch >= 0) {
            // Already watched for another opening: what came before this
            // one is counted first.
            if (m_entries.count(watch) != 0)
                Drain();
            Entry& entry = m_entries[watch];
            ++entry.users;
            seen = entry.writes;
        }
        return watch;
    }

    void Remove(int watch)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_entries.find(watch);
        if (found == m_entries.end() || --found->second.users > 0)
            return;
        m_idle.push_back(watch);
        while (m_idle.size() > kIdleKept) {
            const int oldest = m_idle.front();
            m_idle.pop_front();
            const auto entry = m_entries.find(oldest);
            if (entry != m_entries.end() && entry->second.users == 0) {
                m_entries.erase(entry);
                ::inotify_rm_watch(m_fd, oldest);
            }
        }
    }

    // Whether the file was written to since `seen`.
    bool WrittenSince(int watch, std::uint64_t seen)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        Drain();
        const auto found = m_entries.find(watch);
        return found != m_entries.end() && found->second.writes != seen;
    }

private:
    struct Entry {
        int users = 0;
        std::uint64_t writes = 0;
    };

    void Drain()
    {
        alignas(inotify_event) char events[4096];
        for (ssize_t got; (got = ::read(m_fd, events, sizeof events)) > 0;) {
            for (const char* at = events; at < events + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                const auto found = m_entries.find(event->wd);
                // A watch the system took away (its file is gone) is
                // forgotten, unless somebody still reads the file.
                if (found != m_entries.end() && (event->mask & IN_IGNORED) != 0 && found->second.users == 0)
                    m_entries.erase(found);
                else if (found != m_entries.end() && (event->mask & (IN_MODIFY | IN_ATTRIB)) != 0)
                    ++found->second.writes;
                at += sizeof(inotify_event) + event->len;
            }
        }
    }

    static constexpr size_t kIdleKept = 64;
    std::mutex m_mutex;
    int m_fd = -1;
    std::map<int, Entry> m_entries;
    // Watches nobody uses, oldest first (some may be gone already).
    std::deque<int> m_idle;
};

FileIdentity IdentityOf(const struct stat& status)
{
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

FileIdentity IdentityOfOpen(int fd)
{
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? IdentityOf(status) : FileIdentity{};
}

// Fills in what a successful stat() found.
bool Found(const struct stat& status, FileIdentity& identity, EntryKind* kind)
{
    identity = IdentityOf(status);
    if (kind)
        *kind = S_ISDIR(status.st_mode)   ? EntryKind::Folder
                : S_ISLNK(status.st_mode) ? EntryKind::Link
                : S_ISREG(status.st_mode) ? EntryKind::Regular
                                          : EntryKind::Other;
    return true;
}

// Opens for reading without blocking and without becoming a controlling
// terminal, and keeps the descriptor only for a regular file: `path` as the
// user named it, or with `dir` the name in that open folder, never through a
// link there.
int OpenRegular(const std::string& path, int dir = AT_FDCWD)
{
    const int noFollow = dir == AT_FDCWD ? 0 : AT_SYMLINK_NOFOLLOW;
    struct stat status {};
    // Looked at before opening: opening some devices has side effects.
    if (::fstatat(dir, path.c_str(), &status, noFollow) != 0)
        return -1;
    if (!S_ISREG(status.st_mode)) {
        // A link is refused with the reason that opening it would give;
        // anything else that isn't a file has no system reason.
        errno = S_ISLNK(status.st_mode) ? ELOOP : 0;
        return -1;
    }
    const int fd =
        Sys().OpenAt(dir, path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (noFollow ? O_NOFOLLOW : 0), 0);
    if (fd >= 0 && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))) {
        Sys().Close(fd);
        return -1;
    }
    return fd;
}

std::int64_t Nanoseconds(const struct timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// Gives the file open as `fd` (made without a name) the name `name` in the
// folder open as `dir`, never over a file there.
int LinkOpenFile(int fd, int dir, const std::string& name)
{
    // AT_EMPTY_PATH needs a privilege most users lack; the descriptor's
    // entry in /proc links the same file without it.
    if (::linkat(fd, "", dir, name.c_str(), AT_EMPTY_PATH) == 0)
        return 0;
    if (errno == EEXIST)
        return -1;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW);
}

// Whether `name` in `dir` is, itself, the file open as `fd`.
bool NameIsFile(int dir, const std::string& name, int fd)
{
    struct stat entry {};
    struct stat open {};
    return ::fstatat(dir, name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
           IdentityOf(entry) == IdentityOf(open);
}

// Flushes the folder's names to the disk; true also where the file system
// can't flush a folder at all and says so (some network and FUSE ones).
bool FlushFolder(int dir) { return Sys().Fsync(dir) == 0 || errno == EINVAL || errno == ENOTSUP || errno == EROFS; }

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

// Readers and writers never keep each other out here.
FileProbe::FileProbe(const std::string& path, bool) : m_fd(OpenRegular(path))
{
    if (m_fd < 0)
        m_error = ReasonToTell(errno);
}

FileProbe::FileProbe(const Folder& folder, const std::string& name)
    : m_fd(folder.IsOpen() ? OpenRegular(name, folder.Descriptor()) : -1)
{
    if (m_fd < 0 && folder.IsOpen())
        m_error = ReasonToTell(errno);
}

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

bool HeldByRunningPass(const std::string& path)
{
    // A pass holds its temporary file locked from creation to its end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

bool StandardOutputIdentity(FileIdentity& identity)
{
    struct stat status {};
    if (::fstat(STDOUT_FILENO, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISBLK(status.st_mode)))
        return false;
    identity = IdentityOf(status);
    return true;
}

bool IsTemporaryName(const std::string& name)
{
    const std::string ending = kTemporaryEnding, start = kPrivateNameStart;
    if (name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
        return true;
    // The private names of PrivateName(), or ".veltrane-PID-N" from earlier
    // versions.
    if (name.compare(0, start.size(), start) != 0)
        return false;
    const std::string rest = name.substr(start.size());
    if (rest.size() == 16 && rest.find_first_not_of("0123456789abcdef") == std::string::npos)
        return true;
    const size_t dash = rest.find('-');
    return dash != std::string::npos && dash > 0 && dash + 1 < rest.size() &&
           rest.find_first_not_of("0123456789-") == std::string::npos && rest.find('-', dash + 1) == std::string::npos;
}

bool PathIdentity(const std::string& path, FileIdentity& identity, EntryKind* kind)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && Found(status, identity, kind);
}

// Names here keep their letter case: "Notes.txt" and "notes.txt" are two
// files. Where a mounted file system folds case, SameFile() still sees that
// both name one file.
bool SamePathText(const std::string& a, const std::string& b) { return a == b; }

std::string ResolvePath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string result(resolved);
    std::free(resolved);
    return result;
}

int LastSystemError() { return errno; }

bool RandomBytes(void* buffer, std::size_t count)
{
    auto* out = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const ssize_t got = ::getrandom(out, count, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        out += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

// strerror's buffer is shared by every thread, and a pass reports from its own.
std::string SystemErrorText(int systemError)
{
    char buffer[256];
    return ::strerror_r(systemError, buffer, sizeof buffer);
}

namespace {

// Writes all `count` bytes, resuming after interruptions: false with errno
// set otherwise (ENOSPC for a write that took nothing).
bool WriteAll(int fd, const void* buffer, size_t count)
{
    const char* in = static_cast<const char*>(buffer);
    while (count > 0) {
        const ssize_t put = Sys().Write(fd, in, count);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            // A write that takes nothing sets no errno; a full disk is what
            // it means.
            if (put == 0)
                errno = ENOSPC;
            return false;
        }
        in += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

Folder::~Folder() { Close(); }

void Folder::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_open = false;
}

bool Folder::Open(const std::string& path)
{
    Close();
    return Hold(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                path.empty() || path.back() == '/' ? path : path + "/");
}

bool Folder::Hold(int fd, const std::string& shown)
{
    m_fd = fd;
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0) {
        Close();
        return false;
    }
    m_open = true;
    m_identity = IdentityOf(status);
    m_shown = shown;
    return true;
}

bool Folder::OpenWithin(const Folder& parent, const std::string& name)
{
    Close();
    if (!parent.IsOpen())
        return false;
    return Hold(::openat(parent.m_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC),
                parent.m_shown + name + "/");
}

// Its identity and name stay, for Reopen().
void Folder::Release() { Close(); }

bool Folder::Reopen(const Folder& child)
{
    const FileIdentity was = m_identity;
    const std::string shown = m_shown;
    if (!child.IsOpen() || !Hold(::openat(child.m_fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC), shown))
        return false;
    if (m_identity == was)
        return true;
    Close();
    m_identity = was;
    errno = ENOENT;
    return false;
}

bool Folder::IsOpen() const { return m_open; }

bool Folder::EntryIdentity(const std::string& name, bool followLink, FileIdentity& identity, EntryKind* kind) const
{
    struct stat status {};
    return m_open && ::fstatat(m_fd, name.c_str(), &status, followLink ? 0 : AT_SYMLINK_NOFOLLOW) == 0 &&
           Found(status, identity, kind);
}

bool Folder::Names(std::vector<std::string>& names) const
{
    const int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    errno = 0;
    // Each stream is read by this thread alone, which is all readdir needs.
    while (const dirent* entry = ::readdir(dir)) {  // NOLINT(concurrency-mt-unsafe)
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
        errno = 0;
    }
    const int error = errno;
    ::closedir(dir);
    errno = error;
    return error == 0;
}

InputFile::~InputFile() { Close(); }

bool InputFile::Adopt(int fd, const std::string& path)
{
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        if (fd >= 0)
            Sys().Close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    m_regular = S_ISREG(status.st_mode);
    // Where nothing can watch, the times alone tell.
    if (m_regular)
        m_watch = WriteWatch::Get().Add(fd, m_writesSeen);
    m_size = status.st_size;
    m_identity = IdentityOf(status);
    m_links = status.st_nlink;
    m_changed = Nanoseconds(status.st_ctim);
    m_modified = Nanoseconds(status.st_mtim);
    // A file of a few blocks is read in one go whatever the advice.
    if (!m_regular || status.st_size > (std::int64_t{1} << 20))
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

bool InputFile::Open(const std::string& path)
{
    Close();
    return Adopt(OpenRegular(path), path);
}

bool InputFile::OpenStandardInput()
{
    Close();
    return Adopt(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0), "-");
}

Output WriteStandardStream(const void* buffer, std::size_t count, bool toError)
{
    if (WriteAll(toError ? STDERR_FILENO : STDOUT_FILENO, buffer, count))
        return Output::Written;
    return errno == EPIPE ? Output::ReaderGone : Output::Failed;
}

bool InputFile::OpenIn(const Folder& folder, const std::string& name)
{
    Close();
    return folder.IsOpen() && Adopt(OpenRegular(name, folder.Descriptor()), folder.Shown() + name);
}

bool InputFile::MarkedReadOnly() const
{
    struct stat status {};
    return m_fd >= 0 && ::fstat(m_fd, &status) == 0 && (status.st_mode & kWriteBits) == 0;
}

InputFile::Change InputFile::ChangeSinceOpened(bool namesCount) const
{
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0)
        return Change::Content;
    // A new link changes the change time too; it is told apart, since its
    // remedy is another.
    if (namesCount && status.st_nlink > 1)
        return Change::Links;
    // The change time moves with every write, truncation, rename and
    // attribute change, and no program can set it back; but on a file
    // system that keeps whole seconds (FAT, ext4 with small inodes, many
    // network ones) a write in the same second leaves it as it was. The
    // system's own word on writes is asked too.
    if ((m_watch >= 0 && WriteWatch::Get().WrittenSince(m_watch, m_writesSeen)) || status.st_size != m_size ||
        Nanoseconds(status.st_ctim) != m_changed || Nanoseconds(status.st_mtim) != m_modified)
        return Change::Content;
    return Change::None;
}

std::int64_t InputFile::CurrentLength() const
{
    struct stat now {};
    return ::fstat(m_fd, &now) == 0 ? static_cast<std::int64_t>(now.st_size) : -1;
}

std::int64_t InputFile::ReadFull(void* buffer, size_t count)
{
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        // A pipe or a terminal may give nothing for as long as it likes; a
        // stop asked for meanwhile ends the wait.
        if (!m_regular) {
            pollfd ready{m_fd, POLLIN, 0};
            if (CancelRequested()) {
                errno = ECANCELED;
                return -1;
            }
            if (::poll(&ready, 1, 100) == 0 || (ready.revents == 0))
                continue;
        }
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

void InputFile::Close()
{
    // Before the file goes, which may take its watch with it.
    if (m_watch >= 0)
        WriteWatch::Get().Remove(m_watch);
    m_watch = -1;
    if (m_fd >= 0) {
        Sys().Close(m_fd);
        m_fd = -1;
    }
}

namespace {

// A mount point as /proc/self/mountinfo writes it: a space, tab, line
// break or backslash as three octal digits.
std::string Unescaped(const std::string& field)
{
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

// The mount points that show part of a file system rather than the whole
// of it: a file is mounted only so, never as a file system's root "/". Read
// again only when the system says the table has changed, so that a folder
// of small files doesn't read it once a file.
class MountTable {
public:
    static MountTable& Get()
    {
        static MountTable table;
        return table;
    }

    std::vector<std::string> PartMounts()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pollfd changed{m_fd, POLLPRI, 0};
        if (m_fd < 0 || ::poll(&changed, 1, 0) != 0)
            Read();
        return m_points;
    }

private:
    void Read()
    {
        if (m_fd < 0)
            m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        m_points.clear();
        std::string text;
        char block[8192];
        ::lseek(m_fd, 0, SEEK_SET);
        for (ssize_t got; m_fd >= 0 && (got = ::read(m_fd, block, sizeof block)) > 0;)
            text.append(block, static_cast<size_t>(got));
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            // ID PARENT MAJOR:MINOR ROOT MOUNTPOINT ...
            std::istringstream fields(line);
            std::string id, parent, device, root, point;
            if ((fields >> id >> parent >> device >> root >> point) && root != "/")
                m_points.push_back(Unescaped(point));
        }
    }

    std::mutex m_mutex;
    int m_fd = -1;
    std::vector<std::string> m_points;
};

}  // namespace

bool InputFile::MountedElsewhere() const
{
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0)
        return false;
    for (const std::string& point : MountTable::Get().PartMounts()) {
        struct stat mounted {};
        if (::fstatat(AT_FDCWD, point.c_str(), &mounted, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0 &&
            !S_ISDIR(mounted.st_mode) && IdentityOf(mounted) == IdentityOf(status))
            return true;
    }
    return false;
}

namespace {

// A new file in `dir`, without a name, or where the file system can't make
// one so, under a private name left in `privateName`: its descriptor, or -1.
int MakeUnnamedFile(int dir, std::string& privateName)
{
    int fd = Sys().OpenAt(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0 && !(privateName = PrivateName()).empty()) {
        fd = Sys().OpenAt(dir, privateName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
        if (fd < 0)
            privateName.clear();
    }
    return fd;
}

// Gives a file from MakeUnnamedFile() the name `name`, never over anything
// there: 0, or -1 with errno set (EEXIST when the name is taken).
int NameNewFile(int fd, int dir, std::string& privateName, const std::string& name)
{
    if (privateName.empty())
        return LinkOpenFile(fd, dir, name);
    int named = Sys().RenameNoReplace(dir, privateName.c_str(), name.c_str());
    if (named != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
        // Network file systems can't rename without replacing; a second
        // name never replaces either, and the private one then goes.
        const int refused = errno;
        named = ::linkat(dir, privateName.c_str(), dir, name.c_str(), 0);
        if (named == 0)
            Sys().UnlinkAt(dir, privateName.c_str());
        else if (errno != EEXIST)
            errno = refused;
    }
    if (named == 0)
        privateName.clear();
    return named;
}

// Emptied before it is removed: a full file system may refuse even the
// removal, and must not be left holding a whole file of ours.
void Empty(int fd) { [[maybe_unused]] const int emptied = ::ftruncate(fd, 0); }

}  // namespace

bool ReplacementFile::Start(const Folder& folder, const std::string& name)
{
    Discard();
    m_path = folder.Shown() + name;
    m_name = name;
    m_keep = false;
    m_leftBehind.clear();
    m_made = FileIdentity{};
    m_folder = folder.Identity();
    m_dir = folder.IsOpen() ? ::fcntl(folder.Descriptor(), F_DUPFD_CLOEXEC, 0) : -1;
    return m_dir >= 0;
}

ReplacementFile::Created ReplacementFile::Create(const Folder& folder, const std::string& tempName)
{
    if (!Start(folder, tempName))
        return Created::Failed;
    const long nameMax = ::fpathconf(m_dir, _PC_NAME_MAX);
    if (nameMax > 0 && m_name.size() > static_cast<size_t>(nameMax))
        return Created::NameTooLong;

    // The new file is made without a name and held before it gets one, so
    // that another pass never finds it at the temporary name unheld, and
    // nothing can be planted at a name it will use.
    m_fd = MakeUnnamedFile(m_dir, m_private);
    const auto abandon = [&](Created result) {
        Release();
        return result;
    };
    if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0)
        return abandon(Created::Failed);
    // Where the file system keeps no such mark, a leftover of this pass
    // can't be told from a file of the user's later, and is left alone.
    ::fsetxattr(m_fd, kPassMark, "", 0, 0);
    m_made = IdentityOfOpen(m_fd);

    for (int attempt = 0; attempt < 8; ++attempt) {
        // Whatever stands at the temporary name: a leftover nobody holds is
        // removed while it is still the file there, and stays held by this
        // pass until the new file has taken the name, so that a third pass
        // can't mistake the new file for it.
        int leftover =
            Sys().OpenAt(m_dir, m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
        if (leftover < 0 && (errno == EACCES || errno == EPERM))
            return abandon(Created::NotOurs);
        // A link there is somebody's: never followed, nor removed.
        if (leftover < 0 && errno == ELOOP)
            return abandon(Created::InTheWay);
        if (leftover >= 0) {
            if (::flock(leftover, LOCK_EX | LOCK_NB) != 0 && (errno == EWOULDBLOCK || errno == EINTR)) {
                Sys().Close(leftover);
                return abandon(Created::Busy);
            }
            if (!NameIsFile(m_dir, m_name, leftover)) {
                Sys().Close(leftover);
                continue;
            }
            struct stat status {};
            const bool ours = ::fstat(leftover, &status) == 0 && S_ISREG(status.st_mode) &&
                              ::fgetxattr(leftover, kPassMark, nullptr, 0) >= 0;
            if (!ours) {
                Sys().Close(leftover);
                return abandon(Created::InTheWay);
            }
            Sys().UnlinkAt(m_dir, m_name.c_str());
        }

        const int linked = NameNewFile(m_fd, m_dir, m_private, m_name);
        const int error = errno;
        if (leftover >= 0)
            Sys().Close(leftover);
        if (linked == 0) {
            m_created = true;
            return Created::Yes;
        }
        if (error == EEXIST)
            continue;
        if (m_private.empty() || (error != EINVAL && error != ENOSYS && error != ENOTSUP))
            return abandon(Created::Failed);
        Sys().UnlinkAt(m_dir, m_private.c_str());
        m_private.clear();
        Sys().Close(m_fd);
        // Nor can they all give a file a second name: there the file is
        // made in place and held at once.
        m_fd = Sys().OpenAt(m_dir, m_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            S_IRUSR | S_IWUSR);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            ::fsetxattr(m_fd, kPassMark, "", 0, 0);
            m_made = IdentityOfOpen(m_fd);
            m_created = true;
            return Created::Yes;
        }
        // Made in place but not held: it is ours to remove.
        if (m_fd >= 0)
            Sys().UnlinkAt(m_dir, m_name.c_str());
        Release();
        return Created::Failed;
    }
    return abandon(Created::Failed);
}

bool ReplacementFile::CreateNew(const Folder& folder, const std::string& name)
{
    FileIdentity there;
    if (folder.EntryIdentity(name, false, there)) {
        errno = EEXIST;
        return false;
    }
    if (Start(folder, name) && (m_fd = MakeUnnamedFile(m_dir, m_private)) >= 0) {
        m_made = IdentityOfOpen(m_fd);
        return true;
    }
    const int error = errno;
    Release();
    errno = error;
    return false;
}

bool ReplacementFile::Flush() { return m_fd >= 0 && Sys().Fsync(m_fd) == 0; }

std::size_t OpenFilesAllowed()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > std::numeric_limits<std::size_t>::max())
        return std::numeric_limits<std::size_t>::max();
    return static_cast<std::size_t>(limit.rlim_cur);
}

namespace {

// Linux 5.8 made syncfs() report the write errors of the file system's
// files; before it, a lost write passed for a flushed one.
bool FileSystemFlushTellsFailures()
{
    static const bool tells = [] {
        utsname system{};
        int major = 0, minor = 0;
        return ::uname(&system) == 0 && std::sscanf(system.release, "%d.%d", &major, &minor) == 2 &&
               (major > 5 || (major == 5 && minor >= 8));
    }();
    return tells;
}

}  // namespace

bool ReplacementFile::FlushFileSystem() { return m_fd >= 0 && FileSystemFlushTellsFailures() && ::syncfs(m_fd) == 0; }

ReplacementFile::Replaced ReplacementFile::Place()
{
    if (m_fd < 0 || Sys().Fsync(m_fd) != 0 || NameNewFile(m_fd, m_dir, m_private, m_name) != 0)
        return Replaced::Failed;
    if (platform::FlushFolder(m_dir))
        return Replaced::Yes;
    // Not known to be on disk, so not kept: the name goes again, while it
    // is still this file's.
    const int error = errno;
    m_created = true;
    Discard();
    errno = error;
    return Replaced::NotFlushed;
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

namespace {

// Whether a failed copy of the original's permissions or attributes means
// only that they can't be held here (a file system without them, a label
// only the system may set), or that the copy itself went wrong (an I/O
// error, no room), which must not pass for a finished file.
bool CannotBeHeld(int error) { return error == EPERM || error == ENOTSUP || error == ENOSYS || error == EACCES; }

// libattr tells each failure through this, with errno set; the first one
// that is not of the kind above is kept.
struct CopyErrors : error_context {
    int failure = 0;
    CopyErrors() : error_context{&Note, nullptr, nullptr} {}
    static void Note(error_context* context, const char*, ...)
    {
        auto* self = static_cast<CopyErrors*>(context);
        if (self->failure == 0 && !CannotBeHeld(errno))
            self->failure = errno;
    }
};

}  // namespace

bool ReplacementFile::Finish(const InputFile& original, bool flushLater)
{
    struct stat status {};
    if (m_fd < 0 || ::fstat(original.Descriptor(), &status) != 0)
        return false;
    // Permission bits and access lists only mean what they meant with the
    // owner and group they were given for; where those can't be kept, the
    // owner alone gets access.
    if (Sys().Fchown(m_fd, status.st_uid, status.st_gid) != 0) {
        if (!CannotBeHeld(errno))
            return false;
        RestrictToOwner(m_fd, status.st_mode);
    } else {
        // The set-id and sticky bits, which an access list doesn't carry.
        // Some file systems (FAT on a memory stick) keep no permission bits
        // at all; the list copy below then fails too.
        Sys().Fchmod(m_fd, status.st_mode & 07777);
        if (Sys().CopyPermissions(original.Path().c_str(), original.Descriptor(), m_path.c_str(), m_fd) != 0) {
            if (!CannotBeHeld(errno))
                return false;
            RestrictToOwner(m_fd, status.st_mode);
        }
    }
    // Extended attributes (tags, labels, a desktop's notes) go along where
    // this process may set them; the access list ones were handled above.
    CopyErrors errors;
    if (::attr_copy_fd(original.Path().c_str(), original.Descriptor(), m_path.c_str(), m_fd, nullptr, &errors) != 0 &&
        errors.failure != 0) {
        errno = errors.failure;
        return false;
    }
    if (!flushLater) {
        // Finished, it is no leftover of a pass any more but a whole result:
        // a crash from here on leaves it to the user.
        Unmark();
        return Sys().Fsync(m_fd) == 0;
    }
    // Written out while the next files are read, so that the group's flush
    // finds little left to wait for. Only a hint: the flush still decides.
    ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    return true;
}

void ReplacementFile::Unmark()
{
    if (m_fd >= 0)
        ::fremovexattr(m_fd, kPassMark);
}

bool ReplacementFile::StillNamesThisFile() const { return m_dir >= 0 && m_fd >= 0 && NameIsFile(m_dir, m_name, m_fd); }

bool ReplacementFile::NameIs(const std::string& name, const FileIdentity& identity) const
{
    struct stat now {};
    return ::fstatat(m_dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && IdentityOf(now) == identity;
}

ReplacementFile::Replaced ReplacementFile::RenameOver(const std::string& targetName, InputFile&, bool flushFolderLater)
{
    if (Sys().RenameAt(m_dir, m_name.c_str(), targetName.c_str()) != 0)
        return Replaced::Failed;
    // Makes the rename itself durable: otherwise, after a crash the old
    // name may still be what the disk holds.
    return flushFolderLater || platform::FlushFolder(m_dir) ? Replaced::Yes : Replaced::NotFlushed;
}

bool ReplacementFile::FlushFolder()
{
    const bool flushed = m_dir >= 0 && platform::FlushFolder(m_dir);
    const int error = errno;
    Release();
    errno = error;
    return flushed;
}

void ReplacementFile::Discard()
{
    // Removed only while the name still names this file: after another
    // program has put something else there, that is not ours to remove.
    if (m_created && StillNamesThisFile()) {
        Empty(m_fd);
        Sys().UnlinkAt(m_dir, m_name.c_str());
    }
    m_created = false;
    Release();
}

void ReplacementFile::Release()
{
    // A file that never got its name goes with its private one; emptied
    // first, and named where even then it can't go.
    if (!m_private.empty() && m_dir >= 0) {
        if (m_fd >= 0)
            Empty(m_fd);
        if (Sys().UnlinkAt(m_dir, m_private.c_str()) != 0 && errno != ENOENT)
            m_leftBehind = FolderOfPath(m_path) + m_private;
    }
    m_private.clear();
    if (m_fd >= 0) {
        Sys().Close(m_fd);
        m_fd = -1;
    }
    if (m_dir >= 0) {
        ::close(m_dir);
        m_dir = -1;
    }
}

bool EnsureStandardStreams()
{
    bool outputClosed = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        outputClosed = outputClosed || fd == STDOUT_FILENO;
        // The lowest free number is this one, since those below it are open.
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    return outputClosed;
}

}  // namespace platform
