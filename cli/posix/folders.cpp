#include "cli/folders.h"

#include "cli/output.h"
#include "platform/cancel.h"
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

namespace cli {

namespace {

bool EndsWith(const std::string& name, const std::string& ending)
{
    return name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
}

// A file being made by a pass on a file system that can't make nameless
// files, left by a pass that was killed: ".veltrane-" and 16 hex digits, or
// ".veltrane-PID-N" from earlier versions.
bool IsPrivateLeftover(const std::string& name)
{
    const std::string start = ".veltrane-";
    if (name.compare(0, start.size(), start) != 0)
        return false;
    const std::string rest = name.substr(start.size());
    if (rest.size() == 16 && rest.find_first_not_of("0123456789abcdef") == std::string::npos)
        return true;
    const size_t dash = rest.find('-');
    return dash != std::string::npos && dash > 0 && dash + 1 < rest.size() &&
           rest.find_first_not_of("0123456789-") == std::string::npos && rest.find('-', dash + 1) == std::string::npos;
}

using Identity = std::pair<std::uint64_t, std::uint64_t>;

Identity Key(const platform::FileIdentity& identity) { return {identity.volume, identity.index}; }

class Walk {
public:
    Walk(const std::string& keyPath, bool quiet, const TakeFile& take) : m_quiet(quiet), m_take(take)
    {
        struct stat key {};
        if (::stat(keyPath.c_str(), &key) == 0)
            m_key = {static_cast<std::uint64_t>(key.st_dev), static_cast<std::uint64_t>(key.st_ino)};
    }

    // A folder named on the command line, where a link is taken at its word.
    void Named(const std::string& path)
    {
        platform::Folder folder;
        if (folder.Open(path))
            Folder(folder, path);
        else
            CannotRead(path);
    }

    bool failed = false;

private:
    void Folder(const platform::Folder& folder, const std::string& path)
    {
        if (!m_folders.insert(Key(folder.Identity())).second) {
            Skip("reached a second way", path);
            return;
        }
        // All names before any file is handed over: the passes add and
        // replace names in this folder as they go.
        std::vector<std::string> names;
        if (!ReadNames(folder, names)) {
            CannotRead(path);
            return;
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names)
            Entry(folder, name, folder.Shown() + name);
    }

    void Entry(const platform::Folder& folder, const std::string& name, const std::string& path)
    {
        struct stat status {};
        if (::fstatat(folder.Descriptor(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            Say("cannot read " + QuoteName(path) + ": " + platform::SystemErrorText(errno));
            failed = true;
            return;
        }
        const Identity identity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
        if (S_ISDIR(status.st_mode)) {
            // Opened from the folder just read, so a folder swapped for a
            // link meanwhile is not followed.
            platform::Folder sub;
            if (sub.OpenWithin(folder, name))
                Folder(sub, path);
            else if (errno == ELOOP || errno == ENOTDIR)
                Skip("changed while the folder was read", path);
            else
                CannotRead(path);
        } else if (S_ISLNK(status.st_mode)) {
            Skip("a symbolic link", path);
        } else if (!S_ISREG(status.st_mode)) {
            Skip("not a regular file", path);
        } else if (identity == m_key) {
            Skip("the key file", path);
        } else if (EndsWith(name, platform::kTemporaryEnding) || IsPrivateLeftover(name)) {
            Skip("a temporary file", path);
        } else if (!m_files.insert(identity).second) {
            Skip("reached a second way", path);
        } else {
            m_take(&folder, name);
        }
    }

    static bool ReadNames(const platform::Folder& folder, std::vector<std::string>& names)
    {
        const int fd = ::fcntl(folder.Descriptor(), F_DUPFD_CLOEXEC, 0);
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

    void CannotRead(const std::string& path)
    {
        Say("cannot read folder " + QuoteName(path) + ": " + platform::SystemErrorText(errno));
        failed = true;
    }

    // Once a stop was asked for, the files that follow are only handed over
    // to be named as unchanged, and nothing else is said of them.
    void Skip(const char* why, const std::string& path) const
    {
        if (!m_quiet && !platform::CancelRequested())
            Say(std::string("skipped (") + why + "): " + QuoteName(path));
    }

    bool m_quiet;
    const TakeFile& m_take;
    Identity m_key{~0ull, ~0ull};
    std::set<Identity> m_folders, m_files;
};

}  // namespace

bool WalkFiles(const std::vector<std::string>& names, const std::string& keyPath, bool quiet, const TakeFile& take)
{
    Walk walk(keyPath, quiet, take);
    for (const std::string& name : names) {
        struct stat status {};
        if (::stat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            walk.Named(name);
        else
            take(nullptr, name);
    }
    return !walk.failed;
}

}  // namespace cli
