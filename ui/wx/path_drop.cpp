#include "ui/wx/path_drop.h"

#include "platform/notice.h"
#include "ui/dialog_logic.h"
#include "ui/wx/narrow.h"
#include "ui/wx/uri_list.h"

#include <wx/textctrl.h>

#include <glib.h>
#include <gtk/gtk.h>

#include <optional>
#include <string>

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
    std::vector<DroppedItem> items;
    for (const ui::ListedUri& uri : uris) {
        const bool local = uri.kind == ui::ListedUri::Kind::LocalFile;
        items.push_back({local ? uri.path : uri.uri, local});
    }
    const std::optional<platform::Notice> refusal = DropRefusal(items);
    if (!refusal) {
        ShowPath(m_field, ui::FromNarrow(uris.front().path));
        return def;
    }
    // Once the drop has ended: the drag source waits for the answer, and a
    // box would keep it waiting.
    m_field->CallAfter([notice = *refusal] { platform::Report(notice); });
    return wxDragNone;
}

void RefuseDrops(wxWindow* field) { gtk_drag_dest_unset(field->GetHandle()); }
