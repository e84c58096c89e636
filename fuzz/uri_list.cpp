// A drop from a file manager: the path field is given what the program
// reads off the text/uri-list the drag source sends. Any list gives only
// whole absolute names, and the list a file manager sends for a file, with
// either line end and with or without a comment before it, gives back
// exactly that file's name, the way the field will hand it to the pass.
#include "fuzz/harness.h"
#include "ui/wx/narrow.h"
#include "ui/wx/uri_list.h"

#include <glib.h>

#include <clocale>

namespace {

const char kThisHost[] = "thisbox";

std::vector<ui::ListedUri> Read(const std::string& list) { return ui::ReadUriList(list, kThisHost); }

// The name a list of one URI gives, or "" when it gives none.
std::string OnlyName(const std::string& list)
{
    const std::vector<ui::ListedUri> uris = Read(list);
    if (uris.size() != 1 || uris[0].kind != ui::ListedUri::Kind::LocalFile)
        return std::string();
    return uris[0].path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The program runs in the user's locale, UTF-8 on any current system.
    static const bool once = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
    FUZZ_CHECK(once);
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    for (const ui::ListedUri& uri : Read(bytes)) {
        if (uri.kind == ui::ListedUri::Kind::LocalFile)
            FUZZ_CHECK(!uri.path.empty() && uri.path[0] == '/');
        else
            FUZZ_CHECK(uri.path.empty());
    }

    // The same bytes as the name of a file, as a file manager offers it.
    const std::string name = fuzz::UpToNul(data, size);
    std::string path = "/" + name;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    FUZZ_CHECK(uri != nullptr);
    const std::string line(uri);
    g_free(uri);
    FUZZ_CHECK(OnlyName(line + "\r\n") == path);
    FUZZ_CHECK(OnlyName(line + "\n") == path);
    FUZZ_CHECK(OnlyName("# " + name.substr(0, name.find_first_of("\r\n")) + "\r\n" + line) == path);
    gchar* elsewhere = g_filename_to_uri(path.c_str(), "elsewhere", nullptr);
    FUZZ_CHECK(elsewhere != nullptr);
    const std::vector<ui::ListedUri> other = Read(elsewhere);
    g_free(elsewhere);
    FUZZ_CHECK(other.size() == 1 && other[0].kind == ui::ListedUri::Kind::OtherHost);

    // Names that aren't UTF-8 don't survive the toolkit's strings yet: the
    // field gets another name, so the trip through the field is checked for
    // UTF-8 names only.
    if (g_utf8_validate(path.c_str(), -1, nullptr))
        FUZZ_CHECK(ui::ToNarrow(ui::FromNarrow(path)) == path);
    return 0;
}
