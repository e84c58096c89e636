// -r: a folder named on the command line stands for the files below it.
#pragma once

#include "platform/files.h"

#include <functional>
#include <string>
#include <vector>

namespace cli {

// Given each file to work on: the folder it was found in, held open for as
// long as the call lasts, and its name there; or no folder and the path, for
// a name given as it is.
using TakeFile = std::function<void(const platform::Folder* folder, const std::string& name)>;

// Hands each of `names` to `take` in turn; one that is a folder gives way to
// every regular file below it, folder by folder in byte order of the names,
// so that two runs over the same tree take the files in the same order.
// Each folder is opened inside the one before, never through a link, and
// its files are handed over while it is open: a tree changed during the walk
// can't lead a pass outside it. Symbolic links inside a folder are not
// followed, and a file or folder reached a second way (a link to a folder
// named too, a folder mounted inside itself) is taken once. The key file and
// leftover temporary files are left out and, unless `quiet` or once a stop
// was asked for, named on standard error as skipped; so are links, files
// Windows marks as system files, and anything else that isn't a regular file. Names that aren't folders are
// handed over as they are, for the request checks to judge. Returns false
// when a folder could not be read; the files found elsewhere still count.
// `skipped` counts what was left out.
bool WalkFiles(const std::vector<std::string>& names, const std::string& keyPath, bool quiet, const TakeFile& take,
               int* skipped = nullptr);

}  // namespace cli
