#include "ui/wx/uri_list.h"

#include <glib.h>

namespace ui {

namespace {

bool IsThisHost(const char* host, const std::string& thisHost)
{
    // Host names don't depend on letter case.
    return host == nullptr || *host == '\0' || g_ascii_strcasecmp(host, "localhost") == 0 ||
           (!thisHost.empty() && g_ascii_strcasecmp(host, thisHost.c_str()) == 0);
}

bool HasControlCharacter(const std::string& text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

ListedUri ReadUri(std::string uri, const std::string& thisHost)
{
    ListedUri listed;
    listed.uri = std::move(uri);
    // A URI holds none; left in, a lone CR (a line end of the wrong kind)
    // would end up in the file name.
    if (HasControlCharacter(listed.uri))
        return listed;
    // GLib decodes the name and refuses what no file name can hold (an
    // encoded NUL or slash, a query, a fragment, a host that is no name).
    gchar* host = nullptr;
    gchar* path = g_filename_from_uri(listed.uri.c_str(), &host, nullptr);
    if (path) {
        if (IsThisHost(host, thisHost)) {
            listed.kind = ListedUri::Kind::LocalFile;
            listed.path = path;
        } else {
            listed.kind = ListedUri::Kind::OtherHost;
        }
    }
    g_free(path);
    g_free(host);
    return listed;
}

}  // namespace

std::vector<ListedUri> ReadUriList(const std::string& list, const std::string& thisHost)
{
    // Some sources count the C string's terminator into the length; nothing
    // after it is part of the list.
    const std::string text = list.substr(0, list.find('\0'));
    // GLib's own splitter (g_uri_list_extract_uris) skips blanks across line
    // ends, so a comment after an empty line would come back as a URI.
    std::vector<ListedUri> uris;
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        // Blanks around a URI are no part of it (a space in a name is
        // written %20).
        const std::string::size_type first = line.find_first_not_of(" \t");
        const std::string::size_type last = line.find_last_not_of(" \t\r");
        if (first == std::string::npos || last == std::string::npos || last < first)
            continue;
        line = line.substr(first, last - first + 1);
        if (line[0] == '#')
            continue;
        uris.push_back(ReadUri(std::move(line), thisHost));
    }
    return uris;
}

}  // namespace ui
