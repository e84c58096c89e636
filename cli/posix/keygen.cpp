// Making the key file on POSIX systems.
#include "cli/keygen.h"

#include "cli/output.h"
#include "platform/cancel.h"
#include "platform/files.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <memory>

namespace cli {

namespace {

constexpr size_t kChunk = 4 << 20;

std::string Reason(int error) { return platform::SystemErrorText(error); }

// The folder that holds `path`, as it is measured and named.
std::string FolderOf(const std::string& path)
{
    const std::string folder = platform::FolderOfPath(path);
    if (folder.empty())
        return ".";
    return folder.size() == 1 ? folder : folder.substr(0, folder.size() - 1);
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

}  // namespace

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
    // Without a name (or under a private one) until it is whole and
    // flushed, so that nothing stopped or killed midway leaves a file at the
    // key's name that looks like a key. Exactly owner-read, whatever the
    // umask took away.
    platform::Folder folder;
    platform::ReplacementFile key;
    if (!folder.Open(platform::FolderOfPath(path)) || !key.CreateNew(folder, platform::LastNameOf(path)) ||
        ::fchmod(key.Descriptor(), S_IRUSR) != 0) {
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
    if (::fallocate(key.Descriptor(), FALLOC_FL_KEEP_SIZE, 0, bytes) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
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
        if (!key.Write(buffers[current].get(), ready))
            return Fail("could not write");
    }
    // A stop that came during the writing still means no key file.
    if (platform::CancelRequested())
        return KeygenResult::Stopped;
    if (!key.Place()) {
        if (errno == EEXIST) {
            Say(QuoteName(path) + " already exists; a key file is never written over");
            return KeygenResult::Failed;
        }
        return Fail("could not flush");
    }
    return KeygenResult::Made;
}

}  // namespace cli
