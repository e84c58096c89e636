#include "cli/folders.h"

#include "cli/output.h"
#include "platform/cancel.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace cli {

namespace {

// What a pass writes before the result takes the data file's name.
const char kTemporaryEnding[] = ".1\xC3\xAA" "9";

bool EndsWith(const std::string& name, const std::string& ending)
{
    return name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
}

class Walk {
public:
    Walk(const std::string& keyPath, bool quiet) : m_quiet(quiet)
    {
        m_haveKey = ::stat(keyPath.c_str(), &m_key) == 0;
    }

    // `named`: the folder was named on the command line, where a link to a
    // folder is taken at its word.
    void Folder(const std::string& folder, FileList& list, bool named = false)
    {
        std::vector<std::string> names;
        if (!ReadNames(folder, named, names)) {
            Say("cannot read folder " + QuoteName(folder) + ": " + std::strerror(errno));
            list.failed = true;
            return;
        }
        std::sort(names.begin(), names.end());
        const std::string prefix = EndsWith(folder, "/") ? folder : folder + "/";
        for (const std::string& name : names) {
            if (platform::CancelRequested())
                return;
            const std::string path = prefix + name;
            struct stat status {};
            if (::lstat(path.c_str(), &status) != 0) {
                Say("cannot read " + QuoteName(path) + ": " + std::strerror(errno));
                list.failed = true;
            } else if (S_ISDIR(status.st_mode)) {
                Folder(path, list);
            } else if (S_ISLNK(status.st_mode)) {
                Skip("a symbolic link", path);
            } else if (!S_ISREG(status.st_mode)) {
                Skip("not a regular file", path);
            } else if (m_haveKey && status.st_dev == m_key.st_dev && status.st_ino == m_key.st_ino) {
                Skip("the key file", path);
            } else if (EndsWith(name, kTemporaryEnding)) {
                Skip("a temporary file", path);
            } else {
                list.files.push_back(path);
            }
        }
    }

private:
    // All names first, so that no folder stays open while its subfolders
    // are read however deep the tree goes.
    static bool ReadNames(const std::string& folder, bool followLink, std::vector<std::string>& names)
    {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
        if (fd < 0)
            return false;
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return false;
        }
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
            errno = 0;
        }
        const int error = errno;
        ::closedir(dir);
        errno = error;
        return error == 0;
    }

    void Skip(const char* why, const std::string& path) const
    {
        if (!m_quiet)
            Say(std::string("skipped (") + why + "): " + QuoteName(path));
    }

    bool m_quiet;
    bool m_haveKey = false;
    struct stat m_key {};
};

}  // namespace

FileList ExpandFolders(const std::vector<std::string>& names, const std::string& keyPath, bool quiet)
{
    Walk walk(keyPath, quiet);
    FileList list;
    for (const std::string& name : names) {
        struct stat status {};
        if (::stat(name.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
            walk.Folder(name, list, true);
        else
            list.files.push_back(name);
    }
    return list;
}

}  // namespace cli
