// -r: a folder named on the command line stands for the files below it.
#pragma once

#include "platform/files.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace cli {

// A folder the walk went through: the folder it lies in (-1 for one named on
// the command line, whose name is then the path as given) and what it was.
struct ListedFolder {
    int parent = -1;
    std::string name;
    platform::FileIdentity identity;
};

// Where a listed file was found: its folder (-1 for a name given as it is)
// and the file that stood there.
struct Place {
    int folder = -1;
    std::string name;
    platform::FileIdentity identity;
};

struct FileList {
    std::vector<std::string> files;
    // One for each file where the walk works through open folders (POSIX);
    // empty where it works by path.
    std::vector<Place> places;
    std::vector<ListedFolder> folders;
    // A folder could not be read; the files found elsewhere still count.
    bool failed = false;
};

// Opens the folders that listed files were found in again, each step inside
// the one before and never through a link, and only while each is still the
// folder that was listed: a tree changed after its listing can't lead a pass
// outside it.
class ListedFolders {
public:
    explicit ListedFolders(const FileList& list) : m_list(list) {}
    // The folder a listed file lies in, provided the file standing there now
    // is still the regular file that was listed: nullptr when it or a folder
    // on the way is gone or is another one (a link put in its place).
    const platform::Folder* FolderOf(const Place& place);

private:
    const platform::Folder* Open(int folder);

    const FileList& m_list;
    // The folders from a named one down to the last one opened.
    std::map<int, std::unique_ptr<platform::Folder>> m_open;
};

// Each of `names` that is a folder gives way to every regular file below
// it, folder by folder in byte order of the names, so that two runs over the
// same tree take the files in the same order. Symbolic links inside a
// folder are not followed, and a file or folder reached a second way (a
// link to a folder named too, a folder mounted inside itself) is taken once.
// The key file and leftover temporary files are
// left out and, unless `quiet`, named on standard error as skipped; so are
// links and anything else that isn't a regular file. Names that aren't
// folders stay as they are, for the request checks to judge.
FileList ExpandFolders(const std::vector<std::string>& names, const std::string& keyPath, bool quiet);

}  // namespace cli
