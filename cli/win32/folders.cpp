// -r on Windows: the same walk as on POSIX systems, with Windows' own calls.
#include "cli/folders.h"

#include "cli/output.h"
#include "platform/cancel.h"
#include "platform/files.h"
#include "platform/win32/text.h"

#include <windows.h>

#include <algorithm>

namespace cli {

namespace {

bool EndsWith(const std::string& name, const std::string& ending)
{
    return name.size() >= ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0;
}

// Windows folds names, so "OLD.1Ê9" is as much a leftover as "old.1ê9".
bool EndsWithFolded(const std::string& name, const std::string& ending)
{
    const std::wstring wideName = platform::Widen(name), wideEnding = platform::Widen(ending);
    if (wideName.size() < wideEnding.size())
        return false;
    return ::CompareStringOrdinal(wideName.c_str() + (wideName.size() - wideEnding.size()),
                                  static_cast<int>(wideEnding.size()), wideEnding.c_str(),
                                  static_cast<int>(wideEnding.size()), TRUE) == CSTR_EQUAL;
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesW(platform::SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class Walk {
public:
    Walk(const std::string& keyPath, bool quiet, const TakeFile& take)
        : m_keyPath(keyPath), m_quiet(quiet), m_take(take)
    {
    }

    void Folder(const std::string& folder)
    {
        std::vector<std::pair<std::string, DWORD>> entries;
        if (!ReadNames(folder, entries)) {
            Say("cannot read folder " + QuoteName(folder));
            failed = true;
            return;
        }
        // Byte order of the UTF-8 names, as on POSIX systems.
        std::sort(entries.begin(), entries.end());
        const std::string prefix = EndsWith(folder, "\\") || EndsWith(folder, "/") ? folder : folder + "\\";
        for (const auto& [name, attributes] : entries) {
            const std::string path = prefix + name;
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                Skip("a symbolic link", path);
            else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                Folder(path);
            else if (attributes & FILE_ATTRIBUTE_DEVICE)
                Skip("not a regular file", path);
            else if (platform::SameFile(path, m_keyPath))
                Skip("the key file", path);
            else if (EndsWithFolded(name, platform::kTemporaryEnding))
                Skip("a temporary file", path);
            else
                m_take(nullptr, path);
        }
    }

    bool failed = false;

private:
    static bool ReadNames(const std::string& folder, std::vector<std::pair<std::string, DWORD>>& entries)
    {
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW((platform::SystemPath(folder) + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return false;
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                entries.emplace_back(platform::Narrow(name), found.dwFileAttributes);
        } while (::FindNextFileW(search, &found));
        const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
        ::FindClose(search);
        return complete;
    }

    // Once a stop was asked for, the files that follow are only handed over
    // to be named as unchanged, and nothing else is said of them.
    void Skip(const char* why, const std::string& path) const
    {
        if (!m_quiet && !platform::CancelRequested())
            Say(std::string("skipped (") + why + "): " + QuoteName(path));
    }

    std::string m_keyPath;
    bool m_quiet;
    const TakeFile& m_take;
};

}  // namespace

bool WalkFiles(const std::vector<std::string>& names, const std::string& keyPath, bool quiet, const TakeFile& take)
{
    Walk walk(keyPath, quiet, take);
    for (const std::string& name : names) {
        if (IsFolder(name))
            walk.Folder(name);
        else
            take(nullptr, name);
    }
    return !walk.failed;
}

}  // namespace cli
