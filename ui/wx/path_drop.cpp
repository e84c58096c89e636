#include "ui/wx/path_drop.h"

#include "platform/notice.h"
#include "ui/wx/narrow.h"
#include "ui/wx/uri_list.h"

#include <wx/textctrl.h>

#include <glib.h>
#include <gtk/gtk.h>

#include <string>

namespace {

const char kDropError[] = "Drop file error.";

// Why a drop can't fill a path field, in words; empty when it can.
std::string Refusal(const std::vector<ui::ListedUri>& uris)
{
    if (uris.size() > 1)
        return "Drop only one file at a time.";
    const ui::ListedUri& uri = uris.front();
    if (uri.kind != ui::ListedUri::Kind::LocalFile)
        return uri.uri + " is not a file on this computer.";
    if (g_file_test(uri.path.c_str(), G_FILE_TEST_IS_DIR))
        return uri.path + " is a folder, not a file.";
    return std::string();
}

}  // namespace

void ShowPath(wxTextCtrl* field, const wxString& path)
{
    field->SetValue(path);
    field->SetInsertionPointEnd();
}

PathDropTarget::PathDropTarget(wxTextCtrl* field)
    : m_field(field), m_list(new wxCustomDataObject(wxDataFormat(wxDF_FILENAME)))
{
    SetDataObject(m_list);
}

wxDragResult PathDropTarget::OnData(wxCoord WXUNUSED(x), wxCoord WXUNUSED(y), wxDragResult def)
{
    if (!GetData())
        return wxDragNone;
    const std::string list(static_cast<const char*>(m_list->GetData()), m_list->GetSize());
    const std::vector<ui::ListedUri> uris = ui::ReadUriList(list, g_get_host_name());
    if (uris.empty())
        return wxDragNone;
    const std::string refusal = Refusal(uris);
    if (refusal.empty()) {
        ShowPath(m_field, platform::FromNarrow(uris.front().path));
        return def;
    }
    // Once the drop has ended: the drag source waits for the answer, and a
    // box would keep it waiting.
    m_field->CallAfter([refusal] { platform::ShowNotice(refusal, kDropError); });
    return wxDragNone;
}

void RefuseDrops(wxTextCtrl* field)
{
    gtk_drag_dest_unset(field->GetHandle());
}
