#include "cli/keygen.h"

#include "cli/output.h"
#include "platform/cancel.h"
#include "platform/files.h"

// Making the file is the system's business: Windows has its own in
// keygen_win32.cpp.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <future>
#include <limits>
#include <memory>

namespace cli {

#ifndef _WIN32
namespace {

constexpr size_t kChunk = 4 << 20;

std::string Reason(int error) { return platform::SystemErrorText(error); }

// The folder that holds `path`, to flush the new entry in it.
std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool FillRandom(unsigned char* buffer, size_t count)
{
    while (count > 0) {
        const ssize_t got = ::getrandom(buffer, count, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        buffer += got;
        count -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const unsigned char* buffer, size_t count)
{
    while (count > 0) {
        const ssize_t wrote = ::write(fd, buffer, count);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            if (wrote == 0)
                errno = ENOSPC;
            return false;
        }
        buffer += wrote;
        count -= static_cast<size_t>(wrote);
    }
    return true;
}

bool SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

// The key file as it is being made; unless kept, it is removed again, but
// only while the name still stands for the file created here.
class NewKeyFile {
public:
    explicit NewKeyFile(const std::string& path) : m_path(path) {}
    ~NewKeyFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        struct stat now {};
        if (!m_kept && m_created && ::lstat(m_path.c_str(), &now) == 0 && now.st_dev == m_made.st_dev &&
            now.st_ino == m_made.st_ino)
            ::unlink(m_path.c_str());
    }
    NewKeyFile(const NewKeyFile&) = delete;
    NewKeyFile& operator=(const NewKeyFile&) = delete;

    bool Create()
    {
        // O_EXCL also refuses a symlink standing at the name, dangling or not.
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR);
        if (m_fd < 0)
            return false;
        m_created = ::fstat(m_fd, &m_made) == 0;
        // Exactly owner-read, whatever the umask took away.
        return m_created && ::fchmod(m_fd, S_IRUSR) == 0;
    }
    int Descriptor() const { return m_fd; }
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    void Keep() { m_kept = true; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_created = false;
    bool m_kept = false;
    struct stat m_made {};
};

}  // namespace
#endif

bool ParseSize(const std::string& text, std::int64_t& bytes)
{
    size_t at = 0;
    std::uint64_t number = 0;
    constexpr std::uint64_t kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const unsigned digit = static_cast<unsigned>(text[at] - '0');
        // Checked before the step: past 2^64 the number would wrap round
        // into a smaller size and make a key of the wrong length.
        if (number > (kMax - digit) / 10)
            return false;
        number = number * 10 + digit;
    }
    if (at == 0)
        return false;
    const std::string suffix = text.substr(at);
    int shift = 0;
    if (!suffix.empty()) {
        const std::string units = "KMGT";
        const size_t unit = units.find(suffix[0]);
        if (unit == std::string::npos || (suffix.size() != 1 && suffix.substr(1) != "iB"))
            return false;
        shift = 10 * static_cast<int>(unit + 1);
    }
    if (number == 0 || number > kMax >> shift)
        return false;
    bytes = static_cast<std::int64_t>(number << shift);
    return true;
}

#ifndef _WIN32
std::int64_t LargestFile(const std::vector<std::string>& files)
{
    std::int64_t largest = 1;
    for (const std::string& file : files) {
        struct stat status {};
        if (::stat(file.c_str(), &status) != 0) {
            Say("cannot size the key for " + QuoteName(file) + ": " + Reason(errno));
            return -1;
        }
        if (!S_ISREG(status.st_mode)) {
            Say("cannot size the key for " + QuoteName(file) + ": not a regular file");
            return -1;
        }
        if (status.st_size > largest)
            largest = status.st_size;
    }
    return largest;
}

KeygenResult MakeKeyFile(const std::string& path, std::int64_t bytes)
{
    // Refused at once when the file system says there isn't room: finding
    // out by writing would take every free block from whatever runs beside
    // it, and leave no room for the message either.
    struct statvfs room {};
    if (::statvfs(FolderOf(path).c_str(), &room) == 0) {
        const auto free = static_cast<std::uint64_t>(room.f_bavail) * room.f_frsize;
        if (static_cast<std::uint64_t>(bytes) > free) {
            Say("cannot make a key of " + std::to_string(bytes) + " bytes in " + QuoteName(FolderOf(path)) +
                ": there are only " + std::to_string(free) + " bytes free; no key file made");
            return KeygenResult::Failed;
        }
    }
    NewKeyFile key(path);
    if (!key.Create()) {
        if (errno == EEXIST)
            Say(QuoteName(path) + " already exists; a key file is never written over");
        else
            Say("cannot create " + QuoteName(path) + ": " + Reason(errno));
        return KeygenResult::Failed;
    }
    const auto Fail = [&](const char* what) {
        Say(std::string(what) + " " + QuoteName(path) + ": " + Reason(errno) + "; no key file made");
        return KeygenResult::Failed;
    };

    // Room for the whole key first, where the filesystem can say: a disk too
    // full is then found at once, not after most of the key was written. The
    // length still grows only as random bytes arrive, so that a file left by
    // a kill is short (and warned of when used), never padded with zeros.
    if (::fallocate(key.Descriptor(), FALLOC_FL_KEEP_SIZE, 0, bytes) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        return Fail("could not write");

    // The next chunk is drawn on a second thread while this one is written:
    // drawing and writing take about as long as each other.
    const auto draw = [](unsigned char* buffer, size_t count) { return FillRandom(buffer, count) ? 0 : errno; };
    const auto chunkAt = [](std::int64_t left) {
        return left < static_cast<std::int64_t>(kChunk) ? static_cast<size_t>(left) : kChunk;
    };
    std::unique_ptr<unsigned char[]> buffers[2] = {std::make_unique<unsigned char[]>(kChunk),
                                                   std::make_unique<unsigned char[]>(kChunk)};
    std::int64_t left = bytes;
    size_t count = chunkAt(left);
    std::future<int> drawn = std::async(std::launch::async, draw, buffers[0].get(), count);
    for (int current = 0; left > 0; current ^= 1) {
        const int error = drawn.get();
        if (error != 0) {
            errno = error;
            return Fail("no random bytes for");
        }
        const size_t ready = count;
        left -= static_cast<std::int64_t>(ready);
        if (left > 0) {
            count = chunkAt(left);
            drawn = std::async(std::launch::async, draw, buffers[current ^ 1].get(), count);
        }
        // Returning waits for the chunk being drawn, before its buffer goes.
        if (platform::CancelRequested())
            return KeygenResult::Stopped;
        if (!WriteAll(key.Descriptor(), buffers[current].get(), ready))
            return Fail("could not write");
    }
    if (::fsync(key.Descriptor()) != 0 || !key.Close())
        return Fail("could not flush");
    if (!SyncFolder(FolderOf(path)))
        return Fail("could not flush the folder of");
    // A stop that came during the flush still means no key file.
    if (platform::CancelRequested())
        return KeygenResult::Stopped;
    key.Keep();
    return KeygenResult::Made;
}

#endif

}  // namespace cli
