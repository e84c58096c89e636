// The text/uri-list a drag source sends, read into what it names. Free of
// the toolkit, so that tests and the fuzz target read lists as a drop does.
#pragma once

#include <string>
#include <vector>

namespace ui {

struct ListedUri {
    enum class Kind {
        LocalFile,  // a file: URI of this machine; `path` holds its name
        OtherHost,  // a file: URI that names another machine
        NotAFile,   // any other URI, or none that can be read
    };
    Kind kind = Kind::NotAFile;
    std::string uri;   // as listed
    std::string path;  // the decoded name, for LocalFile only
};

// Every URI of `list` in its order: lines end with CR LF or a bare LF, and
// empty lines and comment lines ("#...") are left out. A file: URI is this
// machine's when it names no host, "localhost" or `thisHost`, the machine's
// own name.
std::vector<ListedUri> ReadUriList(const std::string& list, const std::string& thisHost);

}  // namespace ui
