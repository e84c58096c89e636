// -r: a folder named on the command line stands for the files below it.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct FileList {
    std::vector<std::string> files;
    // A folder could not be read; the files found elsewhere still count.
    bool failed = false;
};

// Each of `names` that is a folder gives way to every regular file below
// it, folder by folder in byte order of the names, so that two runs over the
// same tree take the files in the same order. Symbolic links inside a
// folder are not followed. The key file and leftover temporary files are
// left out and, unless `quiet`, named on standard error as skipped; so are
// links and anything else that isn't a regular file. Names that aren't
// folders stay as they are, for the request checks to judge.
FileList ExpandFolders(const std::vector<std::string>& names, const std::string& keyPath, bool quiet);

}  // namespace cli
