// File services that are the same on every system, built on the primitives
// that each system's implementation file gives.
#include "platform/files.h"

#include <cstdio>

namespace platform {

ReplacementFile::~ReplacementFile()
{
    if (!m_keep)
        Discard();
    else
        Release();
}

ReplacementFile::Replaced ReplacementFile::Replace(const std::string& targetName, InputFile& original,
                                                   bool flushFolderLater)
{
    if (!m_created || m_fd < 0)
        return Replaced::Failed;
    if (!StillNamesThisFile()) {
        m_created = false;  // not ours to remove
        Release();
        return Replaced::TemporaryChanged;
    }
    // Looked at last, just before the rename: the data file's name still
    // names the file that was read, and nothing has written to that file,
    // truncated it or given it a second name since it was opened.
    Replaced refused = Replaced::TargetChanged;
    if (NameIs(targetName, original.Identity())) {
        switch (original.ChangeSinceOpened()) {
        case InputFile::Change::None:
            // A mount made meanwhile shows the file under another path.
            refused = original.MountedElsewhere() ? Replaced::TargetLinked : Replaced::Yes;
            break;
        case InputFile::Change::Links:
            refused = Replaced::TargetLinked;
            break;
        case InputFile::Change::Content:
            break;
        }
    }
    if (refused != Replaced::Yes) {
        Discard();
        return refused;
    }
    const Replaced renamed = RenameOver(targetName, original, flushFolderLater);
    if (renamed == Replaced::Failed)
        return renamed;
    m_created = false;
    // A close that fails now can't undo the replacement, and the data were
    // flushed before it. The folder stays open for the flush to come.
    if (!flushFolderLater)
        Release();
    return renamed;
}

std::string FolderOfPath(const std::string& path)
{
    const size_t slash = path.find_last_of(kPathSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string LastNameOf(const std::string& path) { return path.substr(FolderOfPath(path).size()); }

std::string PrivateName()
{
    unsigned long long random = 0;
    if (!RandomBytes(&random, sizeof random))
        return std::string();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", random);
    return kPrivateNameStart + std::string(hex);
}

bool SameFile(const std::string& a, const std::string& b)
{
    FileIdentity first, second;
    return PathIdentity(a, first) && PathIdentity(b, second) && first == second;
}

}  // namespace platform
