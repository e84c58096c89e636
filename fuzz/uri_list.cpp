// A drop from a file manager: the toolkit reads the text/uri-list the drag
// source sends, and the path field takes the first name as the pass will
// read it back. Any list gives only whole absolute paths; the list a file
// manager sends for a file gives back exactly that file's path.
#include "fuzz/harness.h"
#include "ui/wx/narrow.h"

#include <wx/dataobj.h>

#include <glib.h>

#include <clocale>

namespace {

// What the pass would be given after dropping `list` on a path field.
std::vector<std::string> Dropped(const std::string& list)
{
    wxFileDataObject files;
    // GTK hands the selection over with a NUL after it.
    files.SetData(list.size() + 1, list.c_str());
    std::vector<std::string> paths;
    for (const wxString& name : files.GetFilenames())
        paths.push_back(platform::ToNarrow(name));
    return paths;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The program runs in the user's locale, UTF-8 on any current system.
    static const bool once = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
    FUZZ_CHECK(once);
    const std::string bytes = fuzz::UpToNul(data, size);

    for (const std::string& path : Dropped(bytes))
        FUZZ_CHECK(!path.empty() && path[0] == '/');

    // The same bytes as the name of a file, as a file manager offers it.
    std::string path = "/" + bytes;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    // Names that aren't UTF-8 don't survive the toolkit's strings yet: the
    // field gets another name (see the report of issue 22), so the exact
    // check is for UTF-8 names for now.
    if (!g_utf8_validate(path.c_str(), -1, nullptr))
        return 0;
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    FUZZ_CHECK(uri != nullptr);
    const std::vector<std::string> got = Dropped(std::string(uri) + "\r\n");
    g_free(uri);
    FUZZ_CHECK(got.size() == 1 && got[0] == path);
    return 0;
}
