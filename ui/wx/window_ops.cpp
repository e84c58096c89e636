#include "ui/wx/window_ops.h"

#include "ui/wx/about_dlg.h"
#include "ui/wx/file_chooser.h"
#include "ui/wx/narrow.h"
#include "ui/wx/pass_loop.h"
#include "ui/wx/path_drop.h"

#include <wx/dialog.h>
#include <wx/spinctrl.h>
#include <wx/textctrl.h>

namespace ui {

int WxDialogOps::ChooseFile(std::string& path)
{
    path.clear();
    if (!BrowseForFile(wxGetActiveWindow(), m_chosen))
        return 0;
    path = ui::ToNarrow(m_chosen);
    return 1;
}

void WxDialogOps::ShowPath(int id, const std::string& path)
{
    const wxString shown = ui::ToNarrow(m_chosen) == path ? m_chosen : ui::FromNarrow(path);
    ::ShowPath(wxDynamicCast(m_dialog.FindWindow(id), wxTextCtrl), shown);
}

void WxDialogOps::RunAboutBox()
{
    CAboutDlg about;
    about.ShowModal();
}

std::string WxDialogOps::ItemText(int id) const
{
    wxWindow* item = m_dialog.FindWindow(id);
    if (auto* spin = wxDynamicCast(item, wxSpinCtrl))
        return ToNarrow(spin->GetTextValue());
    auto* field = wxDynamicCast(item, wxTextCtrl);
    return field ? ToNarrow(field->GetValue()) : std::string();
}

void WxDialogOps::SetItemText(int id, const std::string& text)
{
    // SetValue, not ChangeValue: every write to a path field raises its
    // change notification, which updates its tooltip. The offset is only
    // ever written a number, which the spin control takes as its value.
    wxWindow* item = m_dialog.FindWindow(id);
    if (auto* spin = wxDynamicCast(item, wxSpinCtrl))
        spin->SetValue(FromNarrow(text));
    else if (auto* field = wxDynamicCast(item, wxTextCtrl))
        field->SetValue(FromNarrow(text));
}

void WxDialogOps::EnableItem(int id, bool enable)
{
    if (wxWindow* item = m_dialog.FindWindow(id))
        item->Enable(enable);
}

void WxDialogOps::SetWindowTitle(const std::string& text) { m_dialog.SetTitle(wxString::FromUTF8(text)); }

int WxDialogOps::RunPass(const std::function<int()>& work, const std::function<void()>& onStop,
                         const std::function<int()>& notStarted)
{
    return RunWhileWindowLives(&m_dialog, m_runner, work, onStop, notStarted);
}

void WxDialogOps::EndDialog(int result)
{
    // As the dialog's own EndDialog, which it keeps to itself.
    if (m_dialog.IsModal())
        m_dialog.EndModal(result == ui::kDialogOk ? wxID_OK : wxID_CANCEL);
    else
        m_dialog.Hide();
}

void WxDialogOps::FocusItem(int id)
{
    if (wxWindow* item = m_dialog.FindWindow(id))
        item->SetFocus();
}

void WxDialogOps::SaveFocus() { m_focused = wxWindow::FindFocus(); }

void WxDialogOps::RestoreFocus()
{
    if (m_focused && m_focused != wxWindow::FindFocus() && m_dialog.IsDescendant(m_focused))
        m_focused->SetFocus();
    m_focused = nullptr;
}

}  // namespace ui
